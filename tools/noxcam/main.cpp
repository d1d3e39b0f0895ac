// noxcam: discovers the cameras on a frame-grabber board and reaches their features, registers,
// power and link events from the command line.
#include <CLI/CLI.hpp>

#include <iostream>

#include "CommandLine.h"
#include "ToolError.h"
#include "nox_genicam_ext.h"

int main(int argc, char **argv) {
    using namespace noxcam;
    CLI::App app{"Cameras on frame-grabber boards: discovery, GenICam features, registers, power and link events.\n"
                 "Every subcommand that needs a camera scans the board and connects the camera first."};
    app.require_subcommand(1);
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
    CLI11_PARSE(app, argc, argv);

    const CommandAction action = table.Selected();
    if (!action) {
        std::cerr << app.help();
        return 2;
    }
    ApplyEnvironment(options);
    try {
        action();
    } catch (const ToolError &error) {
        std::cout.flush();
        std::cerr << FailureLine(error) << std::endl;
        return 1;
    }
    return 0;
}
