// config save|load, profile store|restore: link layouts kept in files.
#include <memory>

#include "CommandLine.h"
#include "Session.h"
#include "ToolError.h"

namespace noxcam {

namespace {

void SaveConfiguration(const CommonOptions &options, const std::string &file) {
    Session session(options);
    session.FindCameras();
    session.ConnectAllCameras();  // only connected cameras are written
    Check(Nox_SaveBoardConfiguration(session.Board(), file.c_str()), "saving the link configuration to " + file);
}

// Builds the cameras from the file, connects them as it describes and lists them.
void LoadConfiguration(const CommonOptions &options, const std::string &file) {
    Session session(options);
    session.LoadConfiguration(file);
    session.ConnectAllCameras();
    PrintCameras(options, session);
}

void StoreProfile(const CommonOptions &options, const std::string &file) {
    Session session(options);
    session.FindCameras();
    session.ConnectAllCameras();  // routing and speeds as the connected links use them
    Check(Nox_StoreLowLevelLinkProfile(session.Board(), file.c_str()), "storing the link profile to " + file);
}

void RestoreProfile(const CommonOptions &options, const std::string &file) {
    Session session(options);
    Check(Nox_RestoreLowLevelLinkProfile(session.Board(), file.c_str()), "restoring the link profile from " + file);
}

}  // namespace

void AddLinkFileCommands(CommandTable &table, CLI::App &app, const CommonOptions &options) {
    auto file = std::make_shared<std::string>();
    auto add = [&](CLI::App &group, const char *name, const char *description, void (*action)(const CommonOptions &, const std::string &)) {
        table.Add(group, name, description, [&options, file, action] { action(options, *file); })
            ->add_option("FILE", *file, "File")
            ->required();
    };
    CLI::App *config = CommandTable::AddGroup(app, "config", "Link configuration files: the cameras and their links");
    add(*config, "save", "Scan, connect every camera and save the layout", SaveConfiguration);
    add(*config, "load", "Build the cameras from a file instead of a scan, connect them and list them",
        LoadConfiguration);
    CLI::App *profile = CommandTable::AddGroup(app, "profile", "Low-level link profiles: port routing and link speeds");
    add(*profile, "store", "Scan, connect every camera and store the board's routing and speeds", StoreProfile);
    add(*profile, "restore", "Put a stored routing and speeds back on the board, without a discovery", RestoreProfile);
}

}  // namespace noxcam
