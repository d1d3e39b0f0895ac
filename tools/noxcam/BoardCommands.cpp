// boards, scan, info, board-property: what is attached where, and the board's own properties.
#include <memory>
#include <sstream>

#include "BoardDirectory.h"
#include "CommandLine.h"
#include "Output.h"
#include "Session.h"
#include "ToolError.h"
#include "ValueText.h"
#include "nox_genicam_ext.h"
#include "protocol/BoardTypes.h"

namespace noxcam {

namespace {

constexpr uint32_t kMaxLinks = 4;

std::string Optional(const std::optional<uint32_t> &value) { return value ? std::to_string(*value) : "-"; }
nlohmann::ordered_json OptionalJson(const std::optional<uint32_t> &value) { return value ? nlohmann::ordered_json(*value) : nullptr; }
std::string InfoText(const char *text) { return text ? text : ""; }
nlohmann::ordered_json InfoJson(const char *text) { return text ? nlohmann::ordered_json(text) : nullptr; }

void ListBoards(const CommonOptions &options) {
    Table table{{"BOARD", "MODEL", "SERIAL", "PORTS", "FIRMWARE"}, {}};
    nlohmann::ordered_json boards = nlohmann::ordered_json::array();
    for (const BoardIdentity &board : noxcam::ListBoards()) {
        const std::string firmware = std::to_string(board.firmwareMajor) + "." + std::to_string(board.firmwareMinor);
        table.rows.push_back({std::to_string(board.index), board.model, std::to_string(board.serial),
                              std::to_string(board.ports), firmware});
        boards.push_back({{"index", board.index}, {"model", board.model}, {"type", board.typeCode},
                          {"serial", board.serial}, {"ports", board.ports}, {"firmware", firmware}});
    }
    if (boards.empty())
        throw ToolError("boards: the board libraries offer no board", ERR_BOARD_INIT,
                        "no board is installed, or the board runtime refused its set-up (its message is above)");
    Emit(options.json, {{"boards", std::move(boards)}}, table);
}

// One camera slot of the last scan: its link layout and identity, or a free camera operator.
struct SlotView {
    bool placeholder = false;
    nlohmann::ordered_json json;
    std::vector<std::string> row;
    std::string warning;  // the camera runs fewer links than it is cabled with, and why
};

struct LinkPorts {
    std::optional<uint32_t> port, appletPort;
    bool master = false;
};

std::vector<LinkPorts> ReadLinks(NoxCameraHandle *camera) {
    std::vector<LinkPorts> links;
    const uint32_t count = camera ? std::min(CameraProperty(camera, "NROFLINKS").value_or(0), kMaxLinks) : 0;
    for (uint32_t link = 0; link < count; ++link)
        links.push_back({CameraProperty(camera, "FGPORT", link), CameraProperty(camera, "APPLETPORT", link),
                         CameraProperty(camera, "MASTERLINK", link).value_or(0) != 0});
    return links;
}

// A link property the camera's technology has no value for reads 0 (a Camera Link camera has
// no link speed or packet sizes): shown as unknown rather than as a value.
std::optional<uint32_t> KnownCameraProperty(NoxCameraHandle *camera, const char *name) {
    const std::optional<uint32_t> value = CameraProperty(camera, name);
    return value == 0u ? std::nullopt : value;
}

// The free operator's applet ports, as the slot's links show them.
SlotView ViewPlaceholder(NoxCameraHandle *camera, uint32_t slot, const std::vector<LinkPorts> &links) {
    SlotView view;
    view.placeholder = true;
    std::vector<uint32_t> ports;
    for (const LinkPorts &link : links)
        if (link.appletPort) ports.push_back(*link.appletPort);
    if (ports.empty() && camera)
        if (const auto commandPort = CameraProperty(camera, "MASTERPORT")) ports.push_back(*commandPort);
    nlohmann::ordered_json appletPorts = ports;
    std::string text;
    for (uint32_t port : ports) text += (text.empty() ? "" : ",") + std::to_string(port);
    view.json = {{"slot", slot}, {"appletPorts", std::move(appletPorts)}};
    view.row = {std::to_string(slot), "-", text.empty() ? "-" : text, "-", "-", "-", "-", "(free camera operator)", "", ""};
    return view;
}

SlotView ViewSlot(NoxBoardHandle *board, uint32_t slot) {
    NoxCameraHandle *camera = nullptr;
    Nox_getCameraByIndex(board, slot, &camera);
    const std::vector<LinkPorts> links = ReadLinks(camera);
    if (!camera || Nox_isCameraAvailableAtIndex(board, slot) != 1) return ViewPlaceholder(camera, slot, links);
    nlohmann::ordered_json linksJson = nlohmann::ordered_json::array();
    std::string linkText;
    std::optional<uint32_t> masterPort, masterAppletPort;
    for (const LinkPorts &link : links) {
        linksJson.push_back({{"port", OptionalJson(link.port)}, {"appletPort", OptionalJson(link.appletPort)}});
        linkText += (linkText.empty() ? "" : ",") + Optional(link.port) + ">" + Optional(link.appletPort);
        if (link.master) masterPort = link.port, masterAppletPort = link.appletPort;
    }
    // The applet port the camera is commanded through, when no link is marked master.
    if (!masterAppletPort) masterAppletPort = CameraProperty(camera, "MASTERPORT");
    const NoxCameraInfo *info = Nox_getCameraInfo(camera);
    const auto bitRate = KnownCameraProperty(camera, "LINKSPEED");
    const auto control = KnownCameraProperty(camera, "CONTROLPACKETSIZE");
    const auto stream = KnownCameraProperty(camera, "STREAMPACKETSIZE");
    SlotView view;
    view.warning = CablingProblem(camera);
    view.json = {{"slot", slot},
                 {"masterPort", OptionalJson(masterPort)},
                 {"masterAppletPort", OptionalJson(masterAppletPort)},
                 {"links", std::move(linksJson)},
                 {"bitRate", OptionalJson(bitRate)},
                 {"controlPacketSize", OptionalJson(control)},
                 {"streamPacketSize", OptionalJson(stream)},
                 {"vendor", InfoJson(info ? info->vendorName : nullptr)},
                 {"model", InfoJson(info ? info->modelName : nullptr)},
                 {"serial", InfoJson(info ? info->serialNumber : nullptr)}};
    if (!view.warning.empty()) view.json["warning"] = view.warning;
    view.row = {std::to_string(slot),   Optional(masterPort), Optional(masterAppletPort),
                linkText.empty() ? "-" : linkText, Optional(bitRate), Optional(control), Optional(stream),
                InfoText(info ? info->vendorName : nullptr), InfoText(info ? info->modelName : nullptr),
                InfoText(info ? info->serialNumber : nullptr)};
    return view;
}

// Camera Link boards: each serial port's line rate and the applet's camera-port configuration.
struct SerialPortsView {
    nlohmann::ordered_json json = nlohmann::ordered_json::array();
    Table table{{"PORT", "BAUD", "CONFIGURATION"}, {}};
};

std::string PortConfigurationName(uint32_t code) {
    switch (code) {
        case 2: return "base";
        case 3: return "medium";
        case 4: return "full";
        default: return "undetermined";
    }
}

std::optional<SerialPortsView> ViewSerialPorts(NoxBoardHandle *board, const BoardIdentity &identity) {
    const vexo::protocol::BoardType *type = vexo::protocol::FindBoardType(static_cast<int32_t>(identity.typeCode));
    if (type == nullptr || type->technology != vexo::protocol::Technology::kCameraLink) return std::nullopt;
    SerialPortsView view;
    for (uint32_t port = 0; port < identity.ports; ++port) {
        uint32_t baud = 0, configuration = 0;
        if (Nox_getCameraLinkPortState(board, port, &baud, &configuration) != ERR_NONE) return std::nullopt;
        const std::string name = PortConfigurationName(configuration);
        view.json.push_back({{"port", port}, {"baud", baud}, {"configuration", name}});
        view.table.rows.push_back({std::to_string(port), baud != 0 ? std::to_string(baud) : "-", name});
    }
    return view;
}

nlohmann::ordered_json BoardJson(const BoardIdentity &board) {
    return {{"index", board.index}, {"model", board.model}, {"serial", board.serial}, {"ports", board.ports}};
}

constexpr uint32_t kTypeU32 = 1;
constexpr uint32_t kLinkUp = 1;

// The state of each port's link on a Camera Link HS board ("CLHSLinkState"): up, down, or the
// number the link state machine is at while it brings the link up.
struct LinkStates {
    Table table{{"PORT", "LINK"}, {}};
    nlohmann::ordered_json json = nlohmann::ordered_json::array();
};

LinkStates ReadLinkStates(Session &session) {
    LinkStates states;
    for (uint32_t port = 0; port < session.Identity().ports; ++port) {
        uint32_t state = 0;
        if (Nox_getBoardPropertyWithType(session.Board(), "CLHSLinkState", &state, kTypeU32, port) != ERR_NONE)
            continue;
        const std::string text = state == kLinkUp ? "up" : state == 0 ? "down" : "starting (" + std::to_string(state) + ")";
        states.table.rows.push_back({std::to_string(port), text});
        states.json.push_back({{"port", port}, {"state", state}, {"up", state == kLinkUp}});
    }
    return states;
}

}  // namespace

// MASTER is the physical port of the camera's master link (the cable to power-cycle), APPLET the
// applet port it is routed to. Free camera operators are listed apart from the cameras in JSON.
void PrintCameras(const CommonOptions &options, Session &session) {
    Table table{{"SLOT", "MASTER", "APPLET", "LINKS(PORT>APPLET)", "MBPS", "CONTROL", "STREAM", "VENDOR", "MODEL",
                 "SERIAL"},
                {}};
    nlohmann::ordered_json cameras = nlohmann::ordered_json::array(), free = nlohmann::ordered_json::array();
    std::vector<std::string> warnings;
    for (uint32_t slot = 0; slot < session.SlotCount(); ++slot) {
        SlotView view = ViewSlot(session.Board(), slot);
        table.rows.push_back(std::move(view.row));
        (view.placeholder ? free : cameras).push_back(std::move(view.json));
        if (!view.warning.empty()) warnings.push_back("camera " + std::to_string(slot) + ": " + view.warning);
    }
    nlohmann::ordered_json data = {
        {"board", BoardJson(session.Identity())}, {"cameras", std::move(cameras)}, {"freeOperators", std::move(free)}};
    std::ostringstream text;
    PrintTable(text, table);
    if (std::optional<SerialPortsView> serial = ViewSerialPorts(session.Board(), session.Identity())) {
        data["serialPorts"] = std::move(serial->json);
        text << "\n";
        PrintTable(text, serial->table);
    }
    if (IsCameraLinkHs(session.Identity())) {
        LinkStates links = ReadLinkStates(session);
        data["linkStates"] = std::move(links.json);
        text << "\n";
        PrintTable(text, links.table);
    }
    Emit(options.json, data, text.str());
    for (const std::string &warning : warnings) Warn(options.json, warning);
}

namespace {

void Scan(const CommonOptions &options, uint32_t speed) {
    Session session(options);
    session.Scan(speed);
    PrintCameras(options, session);
}

// The camera's family, which the bootstrap registers do not hold: from its description when the
// camera information lacks it; "" when neither has it.
std::string FamilyName(Session &session, const NoxCameraInfo *info) {
    if (info && info->familyName && *info->familyName) return info->familyName;
    const char *family = nullptr;
    if (Nox_connectCamera(session.LinkedCamera()) != ERR_NONE ||
        Nox_getStringValue(session.LinkedCamera(), "DeviceFamilyName", &family) != ERR_NONE || !family)
        return {};
    return family;
}

void ShowInfo(const CommonOptions &options) {
    Session session(options);
    NoxCameraHandle *camera = session.LinkedCamera();
    SlotView view = ViewSlot(session.Board(), session.Slot());
    const std::string family = FamilyName(session, Nox_getCameraInfo(camera));
    const NoxCameraInfo *info = Nox_getCameraInfo(camera);  // after the description was read, if it was
    const std::pair<const char *, const char *> texts[] = {
        {"vendor", info ? info->vendorName : nullptr},
        {"model", info ? info->modelName : nullptr},
        {"family", family.empty() ? nullptr : family.c_str()},
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
    const char *layout[] = {"slot", "masterPort", "masterAppletPort", "bitRate", "controlPacketSize", "streamPacketSize"};
    for (const char *key : layout) table.rows.push_back({key, view.json[key].is_null() ? "-" : view.json[key].dump()});
    table.rows.push_back({"links", view.row[3]});
    view.json["board"] = BoardJson(session.Identity());
    Emit(options.json, view.json, table);
}

// Reads a board property, or sets it when a value is given; u32 values.
void BoardProperty(const CommonOptions &options, const std::string &name, const std::string &valueText, uint32_t index) {
    Session session(options);
    if (valueText.empty()) {
        uint32_t value = 0;
        Check(Nox_getBoardPropertyWithType(session.Board(), name.c_str(), &value, kTypeU32, index),
              "reading board property " + name);
        Emit(options.json, {{"name", name}, {"index", index}, {"value", value}},
             Table{{"PROPERTY", "INDEX", "VALUE"}, {{name, std::to_string(index), std::to_string(value)}}});
        return;
    }
    const auto parsed = ParseUnsigned(valueText);
    if (!parsed || *parsed > 0xFFFFFFFFu) throw UsageError("board-property: '" + valueText + "' is not a 32-bit number");
    uint32_t value = static_cast<uint32_t>(*parsed);
    Check(Nox_setBoardPropertyWithType(session.Board(), name.c_str(), &value, kTypeU32, &index),
          "setting board property " + name);
    Emit(options.json, {{"name", name}, {"index", index}, {"value", value}},
         name + " = " + std::to_string(value) + "\n");
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
    struct PropertyArguments {
        std::string name, value;
        uint32_t index = 0;
    };
    auto property = std::make_shared<PropertyArguments>();
    CLI::App *command = table.Add(
        app, "board-property", "Read a board property, or set it to VALUE (e.g. CLHSLinkState, CLHSReadMDIO)",
        [&options, property] { BoardProperty(options, property->name, property->value, property->index); });
    command->add_option("name", property->name, "Property name")->required();
    command->add_option("value", property->value, "New value (decimal or 0x hexadecimal); read when left out");
    command->add_option("--index", property->index, "Port, or the MDIO address word of the MDIO properties");
}

}  // namespace noxcam
