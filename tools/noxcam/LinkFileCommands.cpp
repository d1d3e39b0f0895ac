// config save|load, profile store|restore: link layouts kept in files.
#include <memory>

#include "CommandLine.h"
#include "Output.h"
#include "Session.h"
#include "ToolError.h"
#include "nox_genicam_ext.h"

namespace noxcam {

namespace {

// With each camera's serial number, so that a later run can tell a camera swapped at its link.
void SaveConfiguration(const CommonOptions &options, const std::string &file) {
    Session session(options);
    session.FindCameras();
    session.ConnectAllCameras();  // only connected cameras are written
    Check(Nox_saveBoardConfigurationWithSerials(session.Board(), file.c_str()),
          "saving the link configuration to " + file);
    const auto cameras = static_cast<uint32_t>(ReadLinkFileSerials(file).size());
    Emit(options.json, {{"file", file}, {"board", options.board}, {"cameras", cameras}},
         "saved the link layout of " + std::to_string(cameras) + " camera" + (cameras == 1 ? "" : "s") +
             " on board " + std::to_string(options.board) + " to " + file + "\n");
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
    Emit(options.json, {{"file", file}, {"board", options.board}, {"stored", true}},
         "stored the routing and link speeds of board " + std::to_string(options.board) + " to " + file + "\n");
}

void RestoreProfile(const CommonOptions &options, const std::string &file) {
    Session session(options);
    Check(Nox_RestoreLowLevelLinkProfile(session.Board(), file.c_str()), "restoring the link profile from " + file);
    Emit(options.json, {{"file", file}, {"board", options.board}, {"restored", true}},
         "restored the routing and link speeds of board " + std::to_string(options.board) + " from " + file + "\n");
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
