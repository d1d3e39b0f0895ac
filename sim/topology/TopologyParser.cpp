#include "topology/TopologyParser.h"

#include <algorithm>
#include <initializer_list>
#include <nlohmann/json.hpp>
#include <set>

#include "board/AppletRegisterMap.h"
#include "board/ClhsRegisterMap.h"
#include "common/Handles.h"
#include "protocol/CxpBitRates.h"
#include "protocol/CameraLink.h"
#include "protocol/CxpBootstrap.h"
#include "protocol/GenCp.h"

namespace vexo::sim {
namespace {

using Json = nlohmann::json;

// Unwinds the parse to the one message the caller gets.
struct Rejection {
    std::string message;
};

[[noreturn]] void Reject(const std::string &path, const std::string &what) {
    throw Rejection{path.empty() ? what : "\"" + path + "\": " + what};
}

std::string Join(const std::string &path, std::string_view key) {
    return path.empty() ? std::string(key) : path + "." + std::string(key);
}

std::string Element(const std::string &path, size_t index) { return path + "[" + std::to_string(index) + "]"; }

uint32_t ToUnsigned(const Json &value, const std::string &path, uint64_t min, uint64_t max) {
    if (!value.is_number_unsigned() && !(value.is_number_integer() && value.get<int64_t>() >= 0))
        Reject(path, "expected a non-negative integer");
    const uint64_t number = value.get<uint64_t>();
    if (number < min || number > max)
        Reject(path, "value " + std::to_string(number) + " outside " + std::to_string(min) + " to " + std::to_string(max));
    return uint32_t(number);
}

uint32_t ToBitRate(const Json &value, const std::string &path) {
    const uint32_t rate = ToUnsigned(value, path, 0, 0xFFFFFFFFu);
    if (protocol::cxp::RateCode(rate) == 0) Reject(path, "not a bit rate: " + std::to_string(rate));
    return rate;
}

// An object whose keys are checked against the allowed set when it is opened.
class ObjectReader {
public:
    ObjectReader(const Json &object, std::string path, const std::vector<std::string_view> &allowed)
        : object_(object), path_(std::move(path)) {
        if (!object_.is_object()) Reject(path_, "expected an object");
        for (const auto &item : object_.items())
            if (std::find(allowed.begin(), allowed.end(), item.key()) == allowed.end())
                throw Rejection{"unknown key \"" + Join(path_, item.key()) + "\""};
    }

    const Json *Find(std::string_view key) const {
        const auto it = object_.find(key);
        return it == object_.end() ? nullptr : &*it;
    }
    std::string PathOf(std::string_view key) const { return Join(path_, key); }

    uint32_t Unsigned(std::string_view key, uint32_t fallback, uint64_t min, uint64_t max) const {
        const Json *value = Find(key);
        return value ? ToUnsigned(*value, PathOf(key), min, max) : fallback;
    }
    bool Boolean(std::string_view key, bool fallback) const {
        const Json *value = Find(key);
        if (!value) return fallback;
        if (!value->is_boolean()) Reject(PathOf(key), "expected true or false");
        return value->get<bool>();
    }
    std::string Text(std::string_view key, std::string fallback, size_t maxLength) const {
        const Json *value = Find(key);
        if (!value) return fallback;
        if (!value->is_string()) Reject(PathOf(key), "expected a string");
        std::string text = value->get<std::string>();
        if (text.size() > maxLength) Reject(PathOf(key), "longer than " + std::to_string(maxLength) + " bytes");
        return text;
    }
    const Json &Array(std::string_view key) const {
        const Json *value = Find(key);
        if (!value->is_array()) Reject(PathOf(key), "expected an array");
        return *value;
    }

private:
    const Json &object_;
    std::string path_;
};

std::vector<uint32_t> ReadPortList(const Json &list, const std::string &path, uint32_t portCount) {
    if (!list.is_array() || list.empty()) Reject(path, "expected a non-empty array of ports");
    std::vector<uint32_t> ports;
    for (size_t i = 0; i < list.size(); ++i) {
        const uint32_t port = ToUnsigned(list[i], Element(path, i), 0, portCount - 1);
        if (std::find(ports.begin(), ports.end(), port) != ports.end()) Reject(Element(path, i), "port listed twice");
        ports.push_back(port);
    }
    return ports;
}

uint32_t RevisionValue(const std::string &text, const std::string &path) {
    if (text == "1.0") return protocol::cxp::kRevision1_0;
    if (text == "1.1") return protocol::cxp::kRevision1_1;
    if (text == "2.0") return protocol::cxp::kRevision2_0;
    Reject(path, "unknown revision \"" + text + "\" (1.0, 1.1 or 2.0)");
}

DescriptionSource ReadDescriptionSource(const Json &value, const std::string &path) {
    const ObjectReader xml(value, path, {"file", "zip"});
    DescriptionSource source;
    source.zip = xml.Boolean("zip", true);
    if (const Json *file = xml.Find("file"); file && !file->is_null()) {
        if (!file->is_string() || file->get<std::string>().empty()) Reject(xml.PathOf("file"), "expected a file name or null");
        source.file = file->get<std::string>();
    }
    return source;
}

// A list of distinct rates under `key`, ascending; `fallback` without the key.
template <class ToRate>
std::vector<uint32_t> ReadRates(const ObjectReader &camera, std::string_view key, std::vector<uint32_t> fallback,
                                ToRate &&toRate) {
    const Json *value = camera.Find(key);
    if (!value) return fallback;
    const std::string path = camera.PathOf(key);
    if (!value->is_array() || value->empty()) Reject(path, "expected a non-empty array of rates");
    std::vector<uint32_t> rates;
    for (size_t i = 0; i < value->size(); ++i) {
        const uint32_t rate = toRate((*value)[i], Element(path, i));
        if (std::find(rates.begin(), rates.end(), rate) != rates.end()) Reject(Element(path, i), "rate listed twice");
        rates.push_back(rate);
    }
    std::sort(rates.begin(), rates.end());
    return rates;
}

std::vector<uint32_t> ReadSpeeds(const ObjectReader &camera) {
    std::vector<uint32_t> all;
    for (const protocol::cxp::BitRate &rate : protocol::cxp::kBitRates) all.push_back(rate.mbps);
    return ReadRates(camera, "speeds", all, ToBitRate);
}

CameraConfig ReadCamera(const Json &value, const std::string &path, uint32_t portCount) {
    const ObjectReader camera(value, path,
                              {"links", "speeds", "discovery_speed", "default_links", "default_speed", "control_packet_size",
                               "stream_packet_size_max", "scratch_bytes", "revision", "power", "ack_crc", "vendor", "model", "family",
                               "version", "firmware_version", "manufacturer_info", "serial", "user_id", "xml"});
    CameraConfig config;
    if (!camera.Find("links")) Reject(camera.PathOf("links"), "missing: a camera needs at least one link");
    config.links = ReadPortList(*camera.Find("links"), camera.PathOf("links"), portCount);
    config.speeds = ReadSpeeds(camera);
    if (const Json *discovery = camera.Find("discovery_speed"))
        config.discoverySpeed = ToBitRate(*discovery, camera.PathOf("discovery_speed"));
    config.defaultLinks = camera.Unsigned("default_links", uint32_t(config.links.size()), 1, config.links.size());
    config.defaultSpeed = config.speeds.back();
    if (const Json *speed = camera.Find("default_speed")) {
        config.defaultSpeed = ToBitRate(*speed, camera.PathOf("default_speed"));
        if (std::find(config.speeds.begin(), config.speeds.end(), config.defaultSpeed) == config.speeds.end())
            Reject(camera.PathOf("default_speed"), "not one of the camera's speeds");
    }
    config.controlPacketSize = camera.Unsigned("control_packet_size", 1024, 32, 4096);
    config.streamPacketSizeMax = camera.Unsigned("stream_packet_size_max", 16384, 4, 0x1000000);
    config.scratchBytes = camera.Unsigned("scratch_bytes", 0, 0, 0x1000000);
    if (config.scratchBytes % 4 != 0) Reject(camera.PathOf("scratch_bytes"), "expected a multiple of 4");
    config.revisionText = camera.Text("revision", "2.0", 8);
    config.revision = RevisionValue(config.revisionText, camera.PathOf("revision"));
    const std::string power = camera.Text("power", "pocxp", 16);
    if (power != "pocxp" && power != "external") Reject(camera.PathOf("power"), "expected \"pocxp\" or \"external\"");
    config.power = power == "pocxp" ? CameraPower::PoCxp : CameraPower::External;
    config.ackCrc = camera.Boolean("ack_crc", true);
    config.vendor = camera.Text("vendor", config.vendor, 32);
    config.model = camera.Text("model", config.model, 32);
    config.family = camera.Text("family", config.family, 32);
    config.version = camera.Text("version", config.version, 32);
    config.firmwareVersion = camera.Text("firmware_version", config.firmwareVersion, 32);
    config.manufacturerInfo = camera.Text("manufacturer_info", config.manufacturerInfo, 48);
    config.serial = camera.Text("serial", config.serial, 16);
    config.userId = camera.Text("user_id", config.userId, 16);
    if (const Json *xml = camera.Find("xml")) config.description = ReadDescriptionSource(*xml, camera.PathOf("xml"));
    return config;
}

std::vector<std::vector<uint32_t>> DefaultOperators(uint32_t portCount) {
    std::vector<std::vector<uint32_t>> operators;
    for (uint32_t port = 0; port < portCount; ++port) operators.push_back({port});
    return operators;
}

std::vector<std::vector<uint32_t>> ReadOperators(const Json &list, const std::string &path, uint32_t portCount) {
    if (!list.is_array() || list.empty()) Reject(path, "expected a non-empty array of operators");
    std::vector<std::vector<uint32_t>> operators;
    std::set<uint32_t> used;
    for (size_t i = 0; i < list.size(); ++i) {
        std::vector<uint32_t> ports = ReadPortList(list[i], Element(path, i), portCount);
        for (uint32_t port : ports)
            if (!used.insert(port).second)
                Reject(Element(path, i), "applet port " + std::to_string(port) + " belongs to two operators");
        operators.push_back(std::move(ports));
    }
    return operators;
}

// "omit_registers": names the applet of the board could have.
std::vector<std::string> ReadOmittedRegisters(const ObjectReader &reader, bool (*known)(std::string_view)) {
    std::vector<std::string> omitted;
    if (!reader.Find("omit_registers")) return omitted;
    const Json &names = reader.Array("omit_registers");
    for (size_t i = 0; i < names.size(); ++i) {
        const std::string namePath = Element(reader.PathOf("omit_registers"), i);
        if (!names[i].is_string()) Reject(namePath, "expected a register name");
        const std::string name = names[i].get<std::string>();
        if (!known(name)) Reject(namePath, "no applet register is named \"" + name + "\"");
        omitted.push_back(name);
    }
    return omitted;
}

AppletConfig ReadApplet(const Json *value, const std::string &path, const BoardModel &model) {
    AppletConfig applet;
    applet.operators = DefaultOperators(model.portCount);
    if (!value) return applet;
    const ObjectReader reader(*value, path,
                              {"operators", "stream_packet_size", "omit_registers", "legacy_reset_names", "rx_status"});
    if (reader.Find("operators"))
        applet.operators = ReadOperators(*reader.Find("operators"), reader.PathOf("operators"), model.portCount);
    applet.streamPacketSize = reader.Unsigned("stream_packet_size", 8192, 4, 0xFFFFFFFFu);
    applet.omitRegisters = ReadOmittedRegisters(reader, IsAppletRegisterName);
    applet.legacyResetNames = reader.Boolean("legacy_reset_names", false);
    applet.rxStatus = reader.Boolean("rx_status", false);
    if (applet.rxStatus && std::string_view(model.modelName) != "cxp2-b")
        Reject(reader.PathOf("rx_status"), "only a cxp2-b applet has it");
    return applet;
}

// "timing": true (the hardware's figures), false (instant answers) or an
// object that changes some of the figures.
TimingConfig ReadTiming(const Json *value, const std::string &path) {
    constexpr uint32_t kMaxMicroseconds = 10000000;  // 10 s: longer would only hang the caller
    if (!value) return {};
    if (value->is_boolean()) return value->get<bool>() ? TimingConfig{} : TimingConfig::Instant();
    if (!value->is_object()) Reject(path, "expected true, false or an object");
    const ObjectReader reader(*value, path, {"lock_us", "wire", "ack_us", "line", "counters_survive_reset", "ready_us"});
    TimingConfig timing;
    timing.lockUs = reader.Unsigned("lock_us", timing.lockUs, 0, kMaxMicroseconds);
    timing.wire = reader.Boolean("wire", timing.wire);
    timing.ackUs = reader.Unsigned("ack_us", timing.ackUs, 0, kMaxMicroseconds);
    timing.line = reader.Boolean("line", timing.line);
    timing.countersSurviveReset = reader.Boolean("counters_survive_reset", timing.countersSurviveReset);
    timing.readyUs = reader.Unsigned("ready_us", timing.readyUs, 0, kMaxMicroseconds);
    return timing;
}

void CheckLinksAreFree(const std::vector<CameraConfig> &cameras, const std::string &path) {
    std::set<uint32_t> taken;
    for (size_t i = 0; i < cameras.size(); ++i)
        for (uint32_t port : cameras[i].links)
            if (!taken.insert(port).second)
                Reject(Element(path, i), "port " + std::to_string(port) + " already carries another camera's link");
}

// Camera Link boards: a serial GenCP camera per connector, and an applet that
// only tells its camera-port configuration.
uint32_t ToBaud(const Json &value, const std::string &path) {
    const uint32_t baud = ToUnsigned(value, path, 0, 0xFFFFFFFFu);
    if (protocol::cl::BaudMaskBit(baud) == 0) Reject(path, "not a serial line rate: " + std::to_string(baud));
    return baud;
}

// What every GenCP camera has: its response time, device strings and description.
constexpr std::string_view kGenCpCameraKeys[] = {"response_time", "vendor", "model", "family", "version",
                                                 "manufacturer_info", "serial", "user_id", "xml"};

void ReadGenCpCameraKeys(const ObjectReader &camera, CameraConfig &config) {
    constexpr size_t kStringBytes = protocol::gencp::bootstrap::kStringSize;
    config.responseTimeMs = camera.Unsigned("response_time", 300, 1, 60000);
    config.vendor = camera.Text("vendor", config.vendor, kStringBytes);
    config.model = camera.Text("model", config.model, kStringBytes);
    config.family = camera.Text("family", config.family, kStringBytes);
    config.version = camera.Text("version", config.version, kStringBytes);
    config.manufacturerInfo = camera.Text("manufacturer_info", config.manufacturerInfo, kStringBytes);
    config.serial = camera.Text("serial", config.serial, kStringBytes);
    config.userId = camera.Text("user_id", config.userId, kStringBytes);
    if (const Json *xml = camera.Find("xml")) config.description = ReadDescriptionSource(*xml, camera.PathOf("xml"));
}

// The keys of a GenCP camera beside those of its technology.
std::vector<std::string_view> WithGenCpCameraKeys(std::initializer_list<std::string_view> keys) {
    std::vector<std::string_view> all(keys);
    all.insert(all.end(), std::begin(kGenCpCameraKeys), std::end(kGenCpCameraKeys));
    return all;
}

CameraConfig ReadSerialCamera(const Json &value, const std::string &path) {
    const ObjectReader camera(value, path, WithGenCpCameraKeys({"links", "bauds", "baud", "power"}));
    if (camera.Find("power")) Reject(camera.PathOf("power"), "a Camera Link camera runs while plugged: no power key");
    CameraConfig config;
    config.links = {0};
    if (const Json *links = camera.Find("links")) {
        config.links = ReadPortList(*links, camera.PathOf("links"), 2);
        if (config.links.size() == 2 && config.links.front() != 0)
            Reject(camera.PathOf("links"), "a camera on both connectors has its serial line on connector 0: [0, 1]");
    }
    config.bauds = ReadRates(camera, "bauds", {9600, 19200, 38400, 57600, 115200}, ToBaud);
    if (const Json *baud = camera.Find("baud")) {
        config.baud = ToBaud(*baud, camera.PathOf("baud"));
        if (std::find(config.bauds.begin(), config.bauds.end(), config.baud) == config.bauds.end())
            Reject(camera.PathOf("baud"), "not one of the camera's bauds");
    } else if (std::find(config.bauds.begin(), config.bauds.end(), config.baud) == config.bauds.end()) {
        Reject(camera.PathOf("bauds"), "the camera starts at 9600 baud unless \"baud\" says otherwise");
    }
    ReadGenCpCameraKeys(camera, config);
    return config;
}

CameraPortConfig ReadPortConfig(const Json *value, const std::string &path, const std::vector<CameraConfig> &cameras) {
    const bool allBase = std::all_of(cameras.begin(), cameras.end(), [](const CameraConfig &c) { return c.links.size() == 1; });
    if (!value) return allBase ? CameraPortConfig::Base : CameraPortConfig::Medium;
    const ObjectReader applet(*value, path, {"port_config"});
    const std::string name = applet.Text("port_config", allBase ? "base" : "medium", 8);
    if (name == "base") return CameraPortConfig::Base;
    if (name == "medium") return CameraPortConfig::Medium;
    if (name == "full") return CameraPortConfig::Full;
    if (name == "none") return CameraPortConfig::None;
    Reject(applet.PathOf("port_config"), "expected \"base\", \"medium\", \"full\" or \"none\"");
}

BoardConfig ReadCameraLinkBoard(const ObjectReader &board, BoardConfig config) {
    if (board.Find("power_on_at_start"))
        Reject(board.PathOf("power_on_at_start"), "a Camera Link board has no Power over CoaXPress");
    if (board.Find("cameras")) {
        const Json &cameras = board.Array("cameras");
        for (size_t i = 0; i < cameras.size(); ++i)
            config.cameras.push_back(ReadSerialCamera(cameras[i], Element(board.PathOf("cameras"), i)));
        CheckLinksAreFree(config.cameras, board.PathOf("cameras"));
    }
    config.applet.portConfig = ReadPortConfig(board.Find("applet"), board.PathOf("applet"), config.cameras);
    return config;
}

// Camera Link HS boards and cameras. Their cameras always run while plugged,
// so nothing about power is accepted for them.
constexpr uint32_t kMaxClhsConfigurations = 32;  // configuration registers end where FEC begins
constexpr uint32_t kMaxReconnectMs = 60000;

std::vector<ClhsConfiguration> ReadClhsConfigurations(const ObjectReader &camera, uint32_t linkCount) {
    const Json *value = camera.Find("configurations");
    if (!value) return {ClhsConfiguration{linkCount, 10000}};
    const std::string path = camera.PathOf("configurations");
    if (!value->is_array() || value->empty() || value->size() > kMaxClhsConfigurations)
        Reject(path, "expected 1 to " + std::to_string(kMaxClhsConfigurations) + " configurations [links, Mbit/s]");
    std::vector<ClhsConfiguration> configurations;
    for (size_t i = 0; i < value->size(); ++i) {
        const Json &entry = (*value)[i];
        if (!entry.is_array() || entry.size() != 2) Reject(Element(path, i), "expected [links, Mbit/s]");
        configurations.push_back({ToUnsigned(entry[0], Element(Element(path, i), 0), 1, linkCount),
                                  ToUnsigned(entry[1], Element(Element(path, i), 1), 1, 100000)});
    }
    return configurations;
}

void ReadClhsCameraKeys(const ObjectReader &camera, CameraConfig &config) {
    ReadGenCpCameraKeys(camera, config);
    config.configurations = ReadClhsConfigurations(camera, uint32_t(config.links.size()));
    config.reconnectTimeMs = camera.Unsigned("reconnect_time", config.reconnectTimeMs, 0, kMaxReconnectMs);
}

CameraConfig ReadClhsCamera(const Json &value, const std::string &path) {
    const ObjectReader camera(value, path, WithGenCpCameraKeys({"links", "configurations", "reconnect_time"}));
    CameraConfig config;
    if (!camera.Find("links")) Reject(camera.PathOf("links"), "missing: a camera needs at least one link");
    config.links = ReadPortList(*camera.Find("links"), camera.PathOf("links"), kClhsPorts);
    ReadClhsCameraKeys(camera, config);
    return config;
}

AppletConfig ReadClhsApplet(const Json *value, const std::string &path) {
    AppletConfig applet;
    applet.operators = DefaultOperators(kClhsPorts);
    if (!value) return applet;
    const ObjectReader reader(*value, path, {"operators", "omit_registers", "single_mdio", "shared_gtx_status"});
    if (reader.Find("operators"))
        applet.operators = ReadOperators(*reader.Find("operators"), reader.PathOf("operators"), kClhsPorts);
    applet.omitRegisters = ReadOmittedRegisters(reader, IsClhsRegisterName);
    applet.singleMdio = reader.Boolean("single_mdio", false);
    applet.sharedGtxStatus = reader.Boolean("shared_gtx_status", false);
    return applet;
}

BoardConfig ReadClhsBoard(const ObjectReader &board, BoardConfig config) {
    if (board.Find("power_on_at_start"))
        Reject(board.PathOf("power_on_at_start"), "a clhs2-c board powers no camera over its cables");
    config.applet = ReadClhsApplet(board.Find("applet"), board.PathOf("applet"));
    if (board.Find("cameras")) {
        const Json &cameras = board.Array("cameras");
        for (size_t i = 0; i < cameras.size(); ++i)
            config.cameras.push_back(ReadClhsCamera(cameras[i], Element(board.PathOf("cameras"), i)));
        CheckLinksAreFree(config.cameras, board.PathOf("cameras"));
    }
    return config;
}

// A [board, port] pair of "clhs_cameras": a port of a Camera Link HS board
// that no other camera's link uses.
void ReadBoardPort(const Json &pair, const std::string &path, const Topology &topology,
                   std::set<std::pair<uint32_t, uint32_t>> &taken, CameraConfig &config) {
    if (!pair.is_array() || pair.size() != 2) Reject(path, "expected [board, port]");
    const uint32_t board = ToUnsigned(pair[0], Element(path, 0), 0, topology.boards.size() - 1);
    if (topology.boards[board].model->technology != Technology::kCameraLinkHs)
        Reject(Element(path, 0), "board " + std::to_string(board) + " is no Camera Link HS board");
    const uint32_t port = ToUnsigned(pair[1], Element(path, 1), 0, kClhsPorts - 1);
    if (!taken.insert({board, port}).second)
        Reject(path, "port " + std::to_string(port) + " of board " + std::to_string(board) + " already carries a link");
    config.linkBoards.push_back(board);
    config.links.push_back(port);
}

void ReadClhsCameras(const Json &list, const std::string &path, Topology &topology) {
    if (!list.is_array()) Reject(path, "expected an array");
    if (topology.boards.empty()) Reject(path, "there is no board for the cameras' links");
    std::set<std::pair<uint32_t, uint32_t>> taken;
    for (uint32_t board = 0; board < topology.boards.size(); ++board)
        for (const CameraConfig &camera : topology.boards[board].cameras)
            for (uint32_t port : camera.links) taken.insert({board, port});
    for (size_t i = 0; i < list.size(); ++i) {
        const ObjectReader camera(list[i], Element(path, i), WithGenCpCameraKeys({"links", "configurations", "reconnect_time"}));
        CameraConfig config;
        const std::string linksPath = camera.PathOf("links");
        if (!camera.Find("links")) Reject(linksPath, "missing: a camera needs at least one link");
        const Json &links = *camera.Find("links");
        if (!links.is_array() || links.empty() || links.size() > kMaxBoards * kClhsPorts)
            Reject(linksPath, "expected a non-empty array of [board, port] pairs");
        for (size_t link = 0; link < links.size(); ++link)
            ReadBoardPort(links[link], Element(linksPath, link), topology, taken, config);
        ReadClhsCameraKeys(camera, config);
        topology.clhsCameras.push_back(std::move(config));
    }
}

BoardConfig ReadBoard(const Json &value, const std::string &path, uint32_t index) {
    const ObjectReader board(value, path,
                             {"model", "serial", "firmware", "power_on_at_start", "timing", "applet", "cameras"});
    BoardConfig config;
    if (!board.Find("model")) Reject(board.PathOf("model"), "missing: every board names its model");
    const std::string modelName = board.Text("model", "", 32);
    config.model = FindBoardModel(modelName);
    if (!config.model) Reject(board.PathOf("model"), "unknown board model \"" + modelName + "\"");
    if (!config.model->served) Reject(board.PathOf("model"), "board model \"" + modelName + "\" is not simulated yet");
    config.serial = board.Unsigned("serial", 1000 + index, 0, 0xFFFFFFFFu);
    if (const Json *firmware = board.Find("firmware")) {
        if (!firmware->is_array() || firmware->size() != 2) Reject(board.PathOf("firmware"), "expected [major, minor]");
        config.firmwareMajor = ToUnsigned((*firmware)[0], Element(board.PathOf("firmware"), 0), 0, 255);
        config.firmwareMinor = ToUnsigned((*firmware)[1], Element(board.PathOf("firmware"), 1), 0, 255);
    }
    config.powerOnAtStart = board.Boolean("power_on_at_start", true);
    config.timing = ReadTiming(board.Find("timing"), board.PathOf("timing"));
    if (config.model->technology == Technology::kCameraLinkHs) return ReadClhsBoard(board, std::move(config));
    if (config.model->technology == Technology::kCameraLink) return ReadCameraLinkBoard(board, std::move(config));
    if (config.model->technology != Technology::kCoaXPress) {
        if (board.Find("applet") || board.Find("cameras"))
            Reject(path, "a " + modelName + " board has no simulated applet or cameras");
        return config;
    }
    config.applet = ReadApplet(board.Find("applet"), board.PathOf("applet"), *config.model);
    if (board.Find("cameras")) {
        const Json &cameras = board.Array("cameras");
        for (size_t i = 0; i < cameras.size(); ++i)
            config.cameras.push_back(ReadCamera(cameras[i], Element(board.PathOf("cameras"), i), config.model->portCount));
        CheckLinksAreFree(config.cameras, board.PathOf("cameras"));
    }
    return config;
}

Topology ReadTopology(const Json &document) {
    const ObjectReader root(document, "", {"boards", "clhs_cameras"});
    Topology topology;
    if (root.Find("boards")) {
        const Json &boards = root.Array("boards");
        if (boards.size() > kMaxBoards) Reject("boards", "at most " + std::to_string(kMaxBoards) + " boards");
        for (size_t i = 0; i < boards.size(); ++i)
            topology.boards.push_back(ReadBoard(boards[i], Element("boards", i), uint32_t(i)));
    }
    if (const Json *cameras = root.Find("clhs_cameras")) ReadClhsCameras(*cameras, "clhs_cameras", topology);
    return topology;
}

constexpr std::string_view kDefaultTopology = R"({ "boards": [ {
    "model": "cxp4-c",
    "applet": { "operators": [[0, 1], [2], [3]] },
    "cameras": [
        { "links": [0, 1], "default_links": 2, "default_speed": 12500 },
        { "links": [2], "speeds": [1250, 2500, 3125, 5000, 6250], "model": "VX-4M", "serial": "SN0002" }
    ]
} ] })";

}  // namespace

TopologyResult ParseTopology(std::string_view jsonText) {
    Json document;
    try {
        document = Json::parse(jsonText, nullptr, true, true);
    } catch (const Json::exception &error) {
        // Syntax errors, and numbers no type holds ("1e400"), which the reader raises as out of range.
        return TopologyError{std::string("not valid JSON: ") + error.what()};
    }
    try {
        return ReadTopology(document);
    } catch (const Rejection &rejection) {
        return TopologyError{rejection.message};
    }
}

Topology DefaultTopology() { return std::get<Topology>(ParseTopology(kDefaultTopology)); }

}  // namespace vexo::sim
