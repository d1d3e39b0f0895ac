#include "ToolProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

extern char **environ;

namespace nox_test {

namespace {

using Clock = std::chrono::steady_clock;

std::vector<std::string> EnvironmentFor(const ToolLaunch &launch) {
    std::map<std::string, std::string> merged;
    for (char **entry = environ; *entry; ++entry) {
        const std::string text = *entry;
        const size_t equals = text.find('=');
        if (equals != std::string::npos) merged[text.substr(0, equals)] = text.substr(equals + 1);
    }
    for (const auto &[name, value] : launch.environment) merged[name] = value;
    std::vector<std::string> result;
    for (const auto &[name, value] : merged) result.push_back(name + "=" + value);
    return result;
}

std::vector<char *> Pointers(std::vector<std::string> &texts) {
    std::vector<char *> pointers;
    for (std::string &text : texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

// Reads every descriptor until it closes or the deadline passes; then kills the child if needed
// and collects its status.
int Collect(pid_t child, std::vector<std::pair<int, std::string *>> sources, Clock::time_point deadline) {
    bool killed = false;
    while (!sources.empty()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            ::kill(child, SIGKILL);
            killed = true;
            break;
        }
        std::vector<pollfd> descriptors;
        for (const auto &[fd, sink] : sources) descriptors.push_back({fd, POLLIN, 0});
        if (::poll(descriptors.data(), descriptors.size(), static_cast<int>(left)) < 0 && errno != EINTR) break;
        for (size_t i = descriptors.size(); i-- > 0;) {
            if (!descriptors[i].revents) continue;
            char buffer[4096];
            const ssize_t got = ::read(descriptors[i].fd, buffer, sizeof buffer);
            if (got > 0) {
                sources[i].second->append(buffer, static_cast<size_t>(got));
            } else if (got == 0 || errno != EINTR) {
                ::close(descriptors[i].fd);  // closed, or a terminal whose other side is gone (EIO)
                sources.erase(sources.begin() + static_cast<std::ptrdiff_t>(i));
            }
        }
    }
    for (const auto &[fd, sink] : sources) ::close(fd);
    int status = 0;
    ::waitpid(child, &status, 0);
    return !killed && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

ToolRun RunTool(const ToolLaunch &launch) {
    int outPipe[2], errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(errPipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], STDERR_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    std::vector<std::string> arguments{launch.program};
    arguments.insert(arguments.end(), launch.arguments.begin(), launch.arguments.end());
    std::vector<std::string> environment = EnvironmentFor(launch);
    const auto deadline = Clock::now() + launch.deadline;
    pid_t child = 0;
    const int spawned = posix_spawn(&child, launch.program.c_str(), &actions, nullptr, Pointers(arguments).data(),
                                    Pointers(environment).data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    if (spawned != 0) {
        ::close(outPipe[0]);
        ::close(errPipe[0]);
        throw std::runtime_error("cannot start " + launch.program + ": " + std::strerror(spawned));
    }
    ToolRun run;
    run.exitCode = Collect(child, {{outPipe[0], &run.out}, {errPipe[0], &run.err}}, deadline);
    return run;
}

ToolRun RunToolOnTerminal(const ToolLaunch &launch) {
    std::vector<std::string> arguments{launch.program};
    arguments.insert(arguments.end(), launch.arguments.begin(), launch.arguments.end());
    std::vector<std::string> environment = EnvironmentFor(launch);
    std::vector<char *> argv = Pointers(arguments), envp = Pointers(environment);
    const auto deadline = Clock::now() + launch.deadline;
    int terminal = -1;
    const pid_t child = ::forkpty(&terminal, nullptr, nullptr, nullptr);
    if (child < 0) throw std::runtime_error("forkpty");
    if (child == 0) {
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    ToolRun run;
    run.exitCode = Collect(child, {{terminal, &run.out}}, deadline);
    return run;
}

}  // namespace nox_test
