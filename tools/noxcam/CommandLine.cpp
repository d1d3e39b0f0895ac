#include "CommandLine.h"

#include <algorithm>
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

namespace {

// Edits (insertions, deletions, substitutions, swaps of neighbours) that turn one word into the other.
size_t EditDistance(const std::string &a, const std::string &b) {
    std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
    for (size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
    for (size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
    for (size_t i = 1; i <= a.size(); ++i)
        for (size_t j = 1; j <= b.size(); ++j) {
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] != b[j - 1])});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    return d[a.size()][b.size()];
}

// The closest subcommand name within two edits (or one the word begins), else "".
std::string ClosestName(CLI::App &parent, const std::string &word) {
    std::string best;
    size_t bestDistance = 3;
    for (const CLI::App *command : parent.get_subcommands({})) {
        const std::string &name = command->get_name();
        const size_t distance = name.rfind(word, 0) == 0 ? 1 : EditDistance(word, name);
        if (distance < bestDistance) {
            best = name;
            bestDistance = distance;
        }
    }
    return best;
}

// The option a word names, here or where the parse hands it up to; null for none.
const CLI::Option *FindOption(CLI::App *app, const std::string &word) {
    const std::string name = word.substr(0, word.find('='));
    for (; app != nullptr; app = app->get_parent())
        if (const CLI::Option *option = app->get_option_no_throw(name)) return option;
    return nullptr;
}

}  // namespace

std::string UnknownSubcommand(CLI::App &app, int argc, const char *const *argv) {
    CLI::App *current = &app;
    for (int i = 1; i < argc && current->get_subcommands({}).size() > 0; ++i) {
        const std::string word = argv[i];
        if (word == "--") return {};
        if (word.size() > 1 && word[0] == '-') {
            const CLI::Option *option = FindOption(current, word);
            // A value of its own follows an option that takes one, unless given as --name=value.
            if (option != nullptr && option->get_items_expected_min() > 0 && word.find('=') == std::string::npos) ++i;
            continue;
        }
        const std::vector<CLI::App *> named =
            current->get_subcommands([&word](CLI::App *command) { return command->check_name(word); });
        if (!named.empty()) {
            current = named.front();
            continue;
        }
        const std::string where = current == &app ? "" : " of '" + current->get_name() + "'";
        const std::string closest = ClosestName(*current, word);
        return "unknown subcommand '" + word + "'" + where + (closest.empty() ? "" : "; did you mean '" + closest + "'?");
    }
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

// Camera Link: no pause between connection tries, and a shorter acknowledge
// time-out, which still lets a whole packet cross the line at 19200 baud.
constexpr const char *kFastClConnectionRetryWait = "0";
constexpr const char *kFastClAckTimeout = "400";

}  // namespace

void ApplyEnvironment(const CommonOptions &options) {
    if (options.fast) {
        for (const char *variable : kWaitVariables) ::setenv(variable, "0", 1);
        ::setenv("VEXO_CL_CONNECTION_RETRY_WAIT", kFastClConnectionRetryWait, 1);
        ::setenv("VEXO_CL_GENCP_ACK_TIMEOUT", kFastClAckTimeout, 1);
    }
    if (options.verbosity > 0) {
        ::setenv("VEXO_LOG", options.verbosity == 1 ? "3" : "1", 1);
        ::unsetenv("VEXO_LOG_FILE");  // the records go to stderr
    }
}

}  // namespace noxcam
