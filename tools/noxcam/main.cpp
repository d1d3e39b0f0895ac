// noxcam: discovers the cameras on a frame-grabber board and reaches their features, registers,
// power and link events from the command line.
#include <CLI/CLI.hpp>

#include <iostream>

#include "CommandLine.h"
#include "ToolError.h"
#include "nox_genicam_ext.h"

namespace {

constexpr const char *kExitCodes =
    "Exit codes:\n"
    "  0   success\n"
    "  1   failure: what was asked was not done; stderr says why\n"
    "  2   partly applied: some values or lines were applied and others not (set, params load)\n"
    "  64  usage: the command line is wrong; nothing was done";

// One line on stderr, or one JSON object with --json.
int ReportFailure(const noxcam::ToolError &error, bool json) {
    std::cout.flush();
    if (json)
        std::cerr << noxcam::FailureJson(error).dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace)
                  << std::endl;
    else
        std::cerr << noxcam::FailureLine(error) << std::endl;
    return error.Exit();
}

// Before the command line is parsed, --json is only known by its spelling.
bool AsksForJson(int argc, char **argv) {
    for (int i = 1; i < argc; ++i)
        if (std::string(argv[i]) == "--json") return true;
    return false;
}

int ReportUsage(const std::string &message, bool json) {
    if (json) return ReportFailure(noxcam::UsageError(message), true);
    std::cerr << "noxcam: " << message << "\nRun with --help for more information.\n";
    return noxcam::kExitUsage;
}

}  // namespace

int main(int argc, char **argv) {
    using namespace noxcam;
    CLI::App app{"Cameras on frame-grabber boards: discovery, GenICam features, registers, power and link events.\n"
                 "Every subcommand that needs a camera scans the board and connects the camera first."};
    app.require_subcommand(1);
    app.footer(kExitCodes);
    app.set_version_flag("--version", [] {
        return std::string("noxcam ") + NOXCAM_VERSION + ", library " + Nox_getLibraryVersion();
    });
    CommonOptions options;
    AddCommonOptions(app, options);
    CommandTable table;
    AddBoardCommands(table, app, options);
    AddFeatureCommands(table, app, options);
    AddRegisterCommands(table, app, options);
    AddPowerCommands(table, app, options);
    AddMonitorCommand(table, app, options);
    AddLinkFileCommands(table, app, options);
    const bool json = AsksForJson(argc, argv);
    if (const std::string unknown = UnknownSubcommand(app, argc, argv); !unknown.empty())
        return ReportUsage(unknown, json);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError &error) {
        if (error.get_exit_code() == 0) return app.exit(error);  // --help, --version
        return ReportUsage(error.what(), json);
    }

    const CommandAction action = table.Selected();
    if (!action) return ReportUsage("a subcommand is required", json);
    ApplyEnvironment(options);
    try {
        action();
    } catch (const ToolError &error) {
        return ReportFailure(error, options.json);
    }
    return kExitSuccess;
}
