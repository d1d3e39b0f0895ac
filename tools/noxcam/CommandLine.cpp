#include "CommandLine.h"

#include <cstdlib>

namespace noxcam {

CLI::App *CommandTable::Add(CLI::App &parent, const std::string &name, const std::string &description,
                            CommandAction action) {
    CLI::App *command = parent.add_subcommand(name, description);
    commands_.emplace_back(command, std::move(action));
    return command;
}

CLI::App *CommandTable::AddGroup(CLI::App &parent, const std::string &name, const std::string &description) {
    CLI::App *group = parent.add_subcommand(name, description);
    group->require_subcommand(1);
    return group;
}

CommandAction CommandTable::Selected() const {
    for (const auto &[command, action] : commands_)
        if (command->parsed()) return action;
    return {};
}

void AddCommonOptions(CLI::App &app, CommonOptions &options) {
    app.add_option("-b,--board", options.board, "Board index")->check(CLI::Range(0u, 63u));
    app.add_option("-c,--camera", options.camera, "Camera slot (default: the first discovered camera)")
        ->check(CLI::Range(0u, 3u));
    app.add_flag("--json", options.json, "Machine-readable output");
    app.add_flag("-v,--verbose", options.verbosity,
                 "Log the library's records to stderr: -v information, -vv everything");
    app.add_flag("--fast", options.fast,
                 "Set the waits of the runtime settings to 0 (for the virtual frame grabber)");
    app.add_option("--config", options.config,
                   "Take the cameras from a link configuration file (config save) instead of a scan");
    // Subcommands created from here on hand options they do not know to their parent.
    app.fallthrough();
}

namespace {

// The waits a scan, a link connect and a power switch spend for real hardware to settle.
constexpr const char *kWaitVariables[] = {
    "VEXO_CXP_WAIT_AFTER_LINK_RESET_ON_EACH_PORT", "VEXO_CXP_WAIT_AFTER_LINK_RESET_DONE",
    "VEXO_CXP_WAIT_AFTER_LINK_LOCK_FOUND",         "VEXO_CXP_WAIT_AFTER_CAMERA_CONFIG_CHANGED",
    "VEXO_CXP_WAIT_AFTER_UPLINK_SPEED_CHANGED",    "VEXO_CXP_WAIT_AFTER_POWERUP",
    "VEXO_CXP_WAIT_AFTER_POWERDOWN",               "VEXO_NOX_SYNC_MONITOR_INITIAL_WAIT_IN_MS",
};

}  // namespace

void ApplyEnvironment(const CommonOptions &options) {
    if (options.fast)
        for (const char *variable : kWaitVariables) ::setenv(variable, "0", 1);
    if (options.verbosity > 0) {
        ::setenv("VEXO_LOG", options.verbosity == 1 ? "3" : "1", 1);
        ::unsetenv("VEXO_LOG_FILE");  // the records go to stderr
    }
}

}  // namespace noxcam
