#include "LogFile.h"

#include <fstream>

namespace nox_test {

std::vector<LogLine> ReadLogLines(const std::filesystem::path &path) {
    std::vector<LogLine> lines;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        const size_t open = line.find(" [");
        const size_t close = line.find("] ", open == std::string::npos ? 0 : open);
        if (open == std::string::npos || close == std::string::npos) continue;
        const size_t colon = line.find(": ", close + 2);
        if (colon == std::string::npos) continue;
        lines.push_back({line.substr(open + 2, close - open - 2), line.substr(close + 2, colon - close - 2),
                         line.substr(colon + 2)});
    }
    return lines;
}

}  // namespace nox_test
