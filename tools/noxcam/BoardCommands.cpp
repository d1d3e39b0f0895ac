// boards, scan, info: what is attached where.
#include <memory>

#include "BoardDirectory.h"
#include "CommandLine.h"
#include "Output.h"
#include "Session.h"
#include "ToolError.h"

namespace noxcam {

namespace {

constexpr uint32_t kMaxLinks = 4;

std::string Optional(const std::optional<uint32_t> &value) { return value ? std::to_string(*value) : "-"; }
nlohmann::json OptionalJson(const std::optional<uint32_t> &value) { return value ? nlohmann::json(*value) : nullptr; }
std::string InfoText(const char *text) { return text ? text : ""; }
nlohmann::json InfoJson(const char *text) { return text ? nlohmann::json(text) : nullptr; }

void ListBoards(const CommonOptions &options) {
    Table table{{"BOARD", "MODEL", "SERIAL", "PORTS", "FIRMWARE"}, {}};
    nlohmann::json boards = nlohmann::json::array();
    for (const BoardIdentity &board : noxcam::ListBoards()) {
        const std::string firmware = std::to_string(board.firmwareMajor) + "." + std::to_string(board.firmwareMinor);
        table.rows.push_back({std::to_string(board.index), board.model, std::to_string(board.serial),
                              std::to_string(board.ports), firmware});
        boards.push_back({{"index", board.index}, {"model", board.model}, {"type", board.typeCode},
                          {"serial", board.serial}, {"ports", board.ports}, {"firmware", firmware}});
    }
    Emit(options.json, {{"boards", std::move(boards)}}, table);
}

// One camera slot of the last scan: its link layout and identity.
struct SlotView {
    nlohmann::json json;
    std::vector<std::string> row;
};

SlotView ViewSlot(NoxBoardHandle *board, uint32_t slot) {
    NoxCameraHandle *camera = nullptr;
    Nox_getCameraByIndex(board, slot, &camera);
    const bool placeholder = !camera || Nox_isCameraAvailableAtIndex(board, slot) != 1;
    nlohmann::json links = nlohmann::json::array();
    std::string linkText;
    const uint32_t linkCount = camera ? std::min(CameraProperty(camera, "NROFLINKS").value_or(0), kMaxLinks) : 0;
    for (uint32_t link = 0; link < linkCount; ++link) {
        const auto port = CameraProperty(camera, "FGPORT", link), appletPort = CameraProperty(camera, "APPLETPORT", link);
        links.push_back({{"port", OptionalJson(port)}, {"appletPort", OptionalJson(appletPort)}});
        linkText += (linkText.empty() ? "" : ",") + Optional(port) + ">" + Optional(appletPort);
    }
    const NoxCameraInfo *info = placeholder ? nullptr : Nox_getCameraInfo(camera);
    const auto masterPort = camera ? CameraProperty(camera, "MASTERPORT") : std::nullopt;
    const auto bitRate = camera ? CameraProperty(camera, "LINKSPEED") : std::nullopt;
    const auto control = camera ? CameraProperty(camera, "CONTROLPACKETSIZE") : std::nullopt;
    const auto stream = camera ? CameraProperty(camera, "STREAMPACKETSIZE") : std::nullopt;
    SlotView view;
    view.json = {{"slot", slot},
                 {"placeholder", placeholder},
                 {"masterPort", placeholder ? nullptr : OptionalJson(masterPort)},
                 {"links", std::move(links)},
                 {"bitRate", placeholder ? nullptr : OptionalJson(bitRate)},
                 {"controlPacketSize", placeholder ? nullptr : OptionalJson(control)},
                 {"streamPacketSize", placeholder ? nullptr : OptionalJson(stream)},
                 {"vendor", InfoJson(info ? info->vendorName : nullptr)},
                 {"model", InfoJson(info ? info->modelName : nullptr)},
                 {"serial", InfoJson(info ? info->serialNumber : nullptr)}};
    if (placeholder) {
        view.row = {std::to_string(slot), "-", linkText.empty() ? "-" : linkText, "-", "-", "-", "(free camera operator)",
                    "", ""};
    } else {
        view.row = {std::to_string(slot), Optional(masterPort), linkText.empty() ? "-" : linkText, Optional(bitRate),
                    Optional(control), Optional(stream), InfoText(info ? info->vendorName : nullptr),
                    InfoText(info ? info->modelName : nullptr), InfoText(info ? info->serialNumber : nullptr)};
    }
    return view;
}

nlohmann::json BoardJson(const BoardIdentity &board) {
    return {{"index", board.index}, {"model", board.model}, {"serial", board.serial}, {"ports", board.ports}};
}

}  // namespace

void PrintCameras(const CommonOptions &options, Session &session) {
    Table table{{"SLOT", "MASTER", "LINKS(PORT>APPLET)", "MBPS", "CONTROL", "STREAM", "VENDOR", "MODEL", "SERIAL"}, {}};
    nlohmann::json cameras = nlohmann::json::array();
    for (uint32_t slot = 0; slot < session.SlotCount(); ++slot) {
        SlotView view = ViewSlot(session.Board(), slot);
        table.rows.push_back(std::move(view.row));
        cameras.push_back(std::move(view.json));
    }
    Emit(options.json, {{"board", BoardJson(session.Identity())}, {"cameras", std::move(cameras)}}, table);
}

namespace {

void Scan(const CommonOptions &options, uint32_t speed) {
    Session session(options);
    session.Scan(speed);
    PrintCameras(options, session);
}

void ShowInfo(const CommonOptions &options) {
    Session session(options);
    NoxCameraHandle *camera = session.LinkedCamera();
    SlotView view = ViewSlot(session.Board(), session.Slot());
    const NoxCameraInfo *info = Nox_getCameraInfo(camera);
    const std::pair<const char *, const char *> texts[] = {
        {"vendor", info ? info->vendorName : nullptr},
        {"model", info ? info->modelName : nullptr},
        {"family", info ? info->familyName : nullptr},
        {"version", info ? info->version : nullptr},
        {"firmwareVersion", info ? info->firmwareVersion : nullptr},
        {"manufacturerInfo", info ? info->manufacturerInfo : nullptr},
        {"serial", info ? info->serialNumber : nullptr},
        {"userId", info ? info->userId : nullptr},
    };
    Table table{{"PROPERTY", "VALUE"}, {}};
    table.rows.push_back({"board", std::to_string(session.Identity().index) + " (" + session.Identity().model + ")"});
    for (const auto &[key, text] : texts) {
        view.json[key] = InfoJson(text);
        table.rows.push_back({key, InfoText(text)});
    }
    const char *layout[] = {"slot", "masterPort", "bitRate", "controlPacketSize", "streamPacketSize"};
    for (const char *key : layout) table.rows.push_back({key, view.json[key].is_null() ? "-" : view.json[key].dump()});
    table.rows.push_back({"links", view.row[2]});
    view.json["board"] = BoardJson(session.Identity());
    Emit(options.json, view.json, table);
}

}  // namespace

void AddBoardCommands(CommandTable &table, CLI::App &app, const CommonOptions &options) {
    table.Add(app, "boards", "The boards the board libraries offer", [&options] { ListBoards(options); });
    auto speed = std::make_shared<uint32_t>(0);
    table.Add(app, "scan", "Discover the cameras on the board's ports and list them",
              [&options, speed] { Scan(options, *speed); })
        ->add_option("--speed", *speed, "Bit rate to scan at, in Mbit/s (default: detected)")
        ->check(CLI::IsMember({0u, 1250u, 2500u, 3125u, 5000u, 6250u, 10000u, 12500u}));
    table.Add(app, "info", "The camera's identity and link layout", [&options] { ShowInfo(options); });
}

}  // namespace noxcam
