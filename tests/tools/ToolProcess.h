#pragma once
// Runs a program of the build tree as its own process and collects what it printed.
#include <chrono>
#include <map>
#include <string>
#include <vector>

namespace nox_test {

struct ToolRun {
    int exitCode = -1;  // -1 when it did not exit by itself (killed at the deadline, or by a signal)
    std::string out, err;
};

struct ToolLaunch {
    std::string program;
    std::vector<std::string> arguments;
    std::map<std::string, std::string> environment;  // added to (or replacing in) this process's environment
    std::chrono::milliseconds deadline{60000};        // killed when it runs longer
};

// Stdout and stderr through pipes: neither is a terminal.
ToolRun RunTool(const ToolLaunch &launch);

// Stdout and stderr both on one pseudo-terminal; everything it printed lands in out.
ToolRun RunToolOnTerminal(const ToolLaunch &launch);

}  // namespace nox_test
