#pragma once
#include <filesystem>
#include <string>
#include <vector>

namespace nox_test {

// One line the log relay wrote: "<date> <time> [<level>] <logger>: <text>".
struct LogLine {
    std::string level;
    std::string logger;
    std::string text;
};

std::vector<LogLine> ReadLogLines(const std::filesystem::path &path);

}  // namespace nox_test
