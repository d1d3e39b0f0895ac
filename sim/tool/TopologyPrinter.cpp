#include "tool/TopologyPrinter.h"

#include <iomanip>

namespace vexo::sim {
namespace {

template <class Range>
void PrintList(std::ostream &out, const Range &values, const char *separator = ", ") {
    bool first = true;
    for (const auto &value : values) {
        out << (first ? "" : separator) << value;
        first = false;
    }
}

void PrintApplet(const BoardConfig &board, std::ostream &out) {
    const AppletConfig &applet = board.applet;
    out << "  applet:";
    for (size_t i = 0; i < applet.operators.size(); ++i) {
        out << (i ? ";" : "") << " operator " << i + 1 << " on applet ports [";
        PrintList(out, applet.operators[i]);
        out << "]";
    }
    out << "\n    stream packet size " << applet.streamPacketSize;
    if (applet.legacyResetNames) out << ", control core resets named CxpReset_<p>";
    if (applet.rxStatus) out << ", with CxpTransceiverRxStatus";
    out << "\n";
    if (!applet.omitRegisters.empty()) {
        out << "    left out: ";
        PrintList(out, applet.omitRegisters);
        out << "\n";
    }
}

void PrintDescription(const CameraConfig &camera, std::ostream &out) {
    out << "    description: " << (camera.description.file ? *camera.description.file : std::string("built-in"))
        << (camera.description.zip ? ", zipped" : ", plain XML") << "\n";
}

// A GenCP camera's device strings.
void PrintGenCpIdentity(const CameraConfig &camera, std::ostream &out) {
    out << camera.vendor << " " << camera.model << ", family " << camera.family << ", version " << camera.version
        << ", serial " << camera.serial << ", user id \"" << camera.userId << "\"\n";
}

void PrintCamera(const CameraConfig &camera, size_t index, std::ostream &out) {
    out << "  camera " << index << ": " << camera.vendor << " " << camera.model << ", serial " << camera.serial
        << ", revision " << camera.revisionText << ", "
        << (camera.power == CameraPower::PoCxp ? "powered over CoaXPress" : "externally powered") << "\n";
    out << "    links:";
    for (size_t link = 0; link < camera.links.size(); ++link)
        out << (link ? "," : "") << " port " << camera.links[link]
            << (link == 0 ? " (master)" : " (extension " + std::to_string(link) + ")");
    out << "\n    speeds: ";
    PrintList(out, camera.speeds, " ");
    out << "; discovery " << camera.discoverySpeed << "; default " << camera.defaultLinks << " link"
        << (camera.defaultLinks == 1 ? "" : "s") << " at " << camera.defaultSpeed << "\n";
    out << "    control packets up to " << camera.controlPacketSize << " bytes, stream packets up to "
        << camera.streamPacketSizeMax << " bytes" << (camera.ackCrc ? "" : ", acknowledgments without CRC") << "\n";
    if (camera.scratchBytes != 0) out << "    " << camera.scratchBytes << " bytes of scratch memory at 0x10000000\n";
    PrintDescription(camera, out);
}

// Camera Link HS: the applet's layouts, and each camera's links (with their
// boards for a camera of "clhs_cameras") and configurations.
void PrintClhsApplet(const AppletConfig &applet, std::ostream &out) {
    out << "  applet: " << applet.operators.size() << " operators, MDIO " << (applet.singleMdio ? "one bus" : "two buses")
        << ", transceiver status " << (applet.sharedGtxStatus ? "shared" : "per port") << "\n";
    if (!applet.omitRegisters.empty()) {
        out << "    left out: ";
        PrintList(out, applet.omitRegisters);
        out << "\n";
    }
}

void PrintClhsCamera(const CameraConfig &camera, const std::string &name, std::ostream &out) {
    out << "  " << name << ": links";
    for (size_t link = 0; link < camera.links.size(); ++link)
        out << (link ? "," : "") << (camera.linkBoards.empty() ? "" : " board " + std::to_string(camera.linkBoards[link]))
            << " port " << camera.links[link];
    out << "; configurations";
    for (const ClhsConfiguration &configuration : camera.configurations)
        out << " [" << configuration.links << " at " << configuration.mbps << "]";
    out << "; reconnect " << camera.reconnectTimeMs << " ms\n    ";
    PrintGenCpIdentity(camera, out);
    out << "    maximum response time " << camera.responseTimeMs << " ms\n";
    PrintDescription(camera, out);
}

const char *PortConfigName(CameraPortConfig config) {
    switch (config) {
        case CameraPortConfig::Base: return "base";
        case CameraPortConfig::Medium: return "medium";
        case CameraPortConfig::Full: return "full";
        case CameraPortConfig::None: break;
    }
    return "none";
}

void PrintSerialCamera(const CameraConfig &camera, size_t index, std::ostream &out) {
    out << "  camera " << index << ": ";
    PrintGenCpIdentity(camera, out);
    out << "    connectors: ";
    PrintList(out, camera.links);
    out << " (serial line on " << camera.links.front() << ")\n    bauds: ";
    PrintList(out, camera.bauds, " ");
    out << "; starts at " << camera.baud << "; maximum response time " << camera.responseTimeMs << " ms\n";
    PrintDescription(camera, out);
}

void PrintCameraLinkBoard(const BoardConfig &board, std::ostream &out) {
    out << "  applet: camera ports " << PortConfigName(board.applet.portConfig) << "\n";
    if (board.cameras.empty()) out << "  no cameras\n";
    for (size_t camera = 0; camera < board.cameras.size(); ++camera) PrintSerialCamera(board.cameras[camera], camera, out);
}

void PrintTiming(const TimingConfig &timing, std::ostream &out) {
    out << "  timing: lock " << timing.lockUs << " us, answers after " << timing.ackUs << " us, ready after "
        << timing.readyUs << " us, wire time " << (timing.wire ? "on" : "off") << ", serial line time "
        << (timing.line ? "on" : "off") << ", error counters " << (timing.countersSurviveReset ? "survive" : "cleared by")
        << " control core resets\n";
}

}  // namespace

void PrintTopology(const LoadedTopology &loaded, std::ostream &out) {
    out << "topology: " << loaded.origin << "\n";
    if (loaded.topology.boards.empty()) out << "no boards\n";
    for (size_t index = 0; index < loaded.topology.boards.size(); ++index) {
        const BoardConfig &board = loaded.topology.boards[index];
        const BoardModel &model = *board.model;
        out << "board " << index << ": " << model.modelName << " (type 0x" << std::hex << std::uppercase << std::setw(4)
            << std::setfill('0') << model.code << std::dec << std::nouppercase << std::setfill(' ') << ", "
            << TechnologyName(model.technology) << ", " << model.portCount << " ports";
        if (model.family != BoardFamily::kNone) out << ", family " << FamilyLetter(model.family);
        if (const uint32_t type = TransceiverInterfaceType(model, board.applet.rxStatus))
            out << ", transceiver interface " << type;
        out << ")\n  serial " << board.serial << ", firmware " << board.firmwareMajor << "." << board.firmwareMinor;
        if (model.technology != Technology::kCoaXPress) {
            out << "\n";
            PrintTiming(board.timing, out);
            if (model.technology == Technology::kCameraLink) PrintCameraLinkBoard(board, out);
            if (model.technology != Technology::kCameraLinkHs) continue;
            PrintClhsApplet(board.applet, out);
            for (size_t camera = 0; camera < board.cameras.size(); ++camera)
                PrintClhsCamera(board.cameras[camera], "camera " + std::to_string(camera), out);
            continue;
        }
        out << ", power over CoaXPress " << (board.powerOnAtStart ? "on" : "off") << " at start\n";
        PrintTiming(board.timing, out);
        PrintApplet(board, out);
        if (board.cameras.empty()) out << "  no cameras\n";
        for (size_t camera = 0; camera < board.cameras.size(); ++camera) PrintCamera(board.cameras[camera], camera, out);
    }
    for (size_t camera = 0; camera < loaded.topology.clhsCameras.size(); ++camera)
        PrintClhsCamera(loaded.topology.clhsCameras[camera], "Camera Link HS camera " + std::to_string(camera), out);
}

}  // namespace vexo::sim
