#pragma once
// The options every subcommand shares, and the table of subcommands the command line dispatches to.
#include <CLI/CLI.hpp>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace noxcam {

struct CommonOptions {
    uint32_t board = 0;
    std::optional<uint32_t> camera;  // slot; unset: the first discovered camera
    bool json = false;
    int verbosity = 0;  // -v 1, -vv 2
    bool fast = false;  // runtime-setting waits 0: for the virtual frame grabber
    std::string config;  // a link configuration file that replaces the scan
};

// What a subcommand runs once the whole command line is parsed; it throws ToolError on failure.
using CommandAction = std::function<void()>;

class CommandTable {
public:
    // A subcommand of parent that runs the action.
    CLI::App *Add(CLI::App &parent, const std::string &name, const std::string &description, CommandAction action);
    // A subcommand that only groups others (reg, power, params...): one of them is required.
    static CLI::App *AddGroup(CLI::App &parent, const std::string &name, const std::string &description);
    // The action of the subcommand the command line named; empty when none was.
    CommandAction Selected() const;

private:
    std::vector<std::pair<CLI::App *, CommandAction>> commands_;
};

// The words of argv that name subcommands, checked against the table before CLI11 parses them: a
// word that names none of the subcommands at its place. The message says which was meant when one
// is close ("unknown subcommand 'scna'; did you mean 'scan'?"); empty when every word fits.
std::string UnknownSubcommand(CLI::App &app, int argc, const char *const *argv);

// Adds the common options to the program's top level; subcommands hand unknown options up to it,
// so they are accepted before or after the subcommand.
void AddCommonOptions(CLI::App &app, CommonOptions &options);

// Puts the common options' effect into the environment before the library comes up: the waits of
// the runtime settings (--fast) and the relay's log level (-v, -vv).
void ApplyEnvironment(const CommonOptions &options);

// Subcommand families; each keeps a reference to the options, read when its action runs.
void AddBoardCommands(CommandTable &table, CLI::App &app, const CommonOptions &options);
void AddFeatureCommands(CommandTable &table, CLI::App &app, const CommonOptions &options);
void AddRegisterCommands(CommandTable &table, CLI::App &app, const CommonOptions &options);
void AddPowerCommands(CommandTable &table, CLI::App &app, const CommonOptions &options);
void AddMonitorCommand(CommandTable &table, CLI::App &app, const CommonOptions &options);
void AddLinkFileCommands(CommandTable &table, CLI::App &app, const CommonOptions &options);

}  // namespace noxcam
