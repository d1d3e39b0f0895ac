#include "board/ClBoard.h"

#include <unistd.h>

#include <cstring>

#include "protocol/CameraLink.h"

namespace vexo::sim {
namespace {

namespace cl = protocol::cl;

// The applet's only register: its configuration, or the mode register named after it.
constexpr uint32_t kPortConfigAddress = 0x10000;
constexpr uint64_t kModeRegisterValue = 1;
// A waiting call looks again at least this often: another thread or process may change the queue.
constexpr auto kQueuePoll = std::chrono::milliseconds(1);

const char *ModeRegisterName(CameraPortConfig config) {
    switch (config) {
        case CameraPortConfig::Base: return cl::kBaseModeRegister;
        case CameraPortConfig::Medium: return cl::kMediumModeRegister;
        case CameraPortConfig::Full: return cl::kFullModeRegister;
        case CameraPortConfig::None: break;
    }
    return nullptr;
}

std::optional<cl::PortConfig> PortConfigValue(CameraPortConfig config) {
    switch (config) {
        case CameraPortConfig::Base: return cl::PortConfig::kBase;
        case CameraPortConfig::Medium: return cl::PortConfig::kMedium;
        case CameraPortConfig::Full: return cl::PortConfig::kFull;
        case CameraPortConfig::None: break;
    }
    return std::nullopt;
}

int32_t ThisProcess() { return int32_t(::getpid()); }

}  // namespace

ClBoard::ClBoard(const BoardConfig &config, uint32_t index, ClBoardState &state, uint8_t *segment)
    : Board(config, index), timing_(config.timing), state_(state) {
    for (size_t camera = 0; camera < config.cameras.size(); ++camera) {
        cameras_.push_back(std::make_unique<GenCpCamera>(config.cameras[camera], state.cameras[camera], segment));
        serialCamera_[config.cameras[camera].links.front()] = int(camera);
    }
    ports_.reserve(kClConnectors);
    for (uint32_t port = 0; port < kClConnectors; ++port)
        ports_.emplace_back(state.ports[port], state.connectors[port].traffic, timing_);
}

void ClBoard::Install(const BoardConfig &config, std::span<const DescriptionImage *const> descriptions,
                      ClBoardState &state, uint8_t *segment) {
    for (size_t camera = 0; camera < config.cameras.size(); ++camera) {
        GenCpCamera::Install(config.cameras[camera], *descriptions[camera], state.cameras[camera], segment);
        for (uint32_t link : config.cameras[camera].links) state.connectors[link].plugged = true;
    }
}

std::optional<uint64_t> ClBoard::AppletValue(uint32_t address) const {
    if (address != kPortConfigAddress) return std::nullopt;
    const CameraPortConfig config = Config().applet.portConfig;
    if (config == CameraPortConfig::None) return std::nullopt;
    if (Config().model->cameraLinkGroup == protocol::CameraLinkGroup::kPortConfigRegister)
        return uint64_t(*PortConfigValue(config));
    return kModeRegisterValue;
}

int32_t ClBoard::ReadRegister(uint32_t address, uint64_t &value) {
    const std::optional<uint64_t> found = AppletValue(address);
    if (!found) return kFailed;
    value = *found;
    return 0;
}

bool ClBoard::ReadRegisterUnlocked(uint32_t address, uint64_t &value) const {
    const std::optional<uint64_t> found = AppletValue(address);
    if (found) value = *found;
    return found.has_value();
}

uint32_t ClBoard::FindAppletRegister(std::string_view name) const {
    const CameraPortConfig config = Config().applet.portConfig;
    if (config == CameraPortConfig::None) return 0;
    const bool firstGroup = Config().model->cameraLinkGroup == protocol::CameraLinkGroup::kPortConfigRegister;
    const char *present = firstGroup ? cl::kPortConfigRegister : ModeRegisterName(config);
    return name == present ? kPortConfigAddress : 0;
}

bool ClBoard::Carries(uint32_t connector) const {
    for (const auto &camera : cameras_)
        for (uint32_t link : camera->Config().links)
            if (link == connector) return true;
    return false;
}

// Index 0: a camera on connector 0; 1: anything on connector 1; 2: the camera
// on connector 0 uses both connectors.
uint32_t ClBoard::QueryCameraStatus(uint32_t index) {
    switch (index) {
        case 0:
        case 1: return state_.connectors[index].plugged && Carries(index) ? 1 : 0;
        case 2: {
            const GenCpCamera *camera = SerialCamera(0);
            return camera && camera->Config().links.size() == 2 ? 1 : 0;
        }
        default: return 0;
    }
}

GenCpCamera *ClBoard::SerialCamera(uint32_t port) const {
    if (port >= kClConnectors || serialCamera_[port] < 0 || !state_.connectors[port].plugged) return nullptr;
    return cameras_[size_t(serialCamera_[port])].get();
}

uint32_t ClBoard::NextQueueId() {
    if (state_.nextQueueId == 0 || state_.nextQueueId > 0x7FFFFFFF) state_.nextQueueId = 1;
    return state_.nextQueueId++;
}

int32_t ClBoard::OpenSerialPort(uint32_t port, uint32_t baud, uint32_t *receiveQueue, uint32_t *transmitQueue) {
    if (port >= kClConnectors) return kInvalidSerialPort;
    if (ports_[port].HeldAgainst(ThisProcess())) return cl::kSerialPortInUse;
    if (cl::BaudMaskBit(baud) == 0) return kFailed;
    *receiveQueue = NextQueueId();
    *transmitQueue = NextQueueId();
    ports_[port].Open(ThisProcess(), baud, *receiveQueue, *transmitQueue);
    return 0;
}

int32_t ClBoard::SetSerialBaudRate(uint32_t port, uint32_t baud) {
    if (port >= kClConnectors) return kInvalidSerialPort;
    if (ports_[port].HeldAgainst(ThisProcess())) return cl::kSerialPortInUse;
    if (!state_.ports[port].open || cl::BaudMaskBit(baud) == 0) return kFailed;
    state_.ports[port].hostBaud = baud;
    return 0;
}

std::optional<ClBoard::QueueRef> ClBoard::FindQueue(uint32_t queue) const {
    if (queue == 0) return std::nullopt;
    for (uint32_t port = 0; port < kClConnectors; ++port) {
        if (state_.ports[port].receiveQueue == queue) return QueueRef{port, true};
        if (state_.ports[port].transmitQueue == queue) return QueueRef{port, false};
    }
    return std::nullopt;
}

int32_t ClBoard::CountQueueWords(uint32_t queue) {
    const std::optional<QueueRef> ref = FindQueue(queue);
    if (!ref) return kFailed;
    const Clock::time_point now = Clock::now();
    const SerialPort &port = ports_[ref->port];
    return int32_t(ref->receive ? port.Waiting(now) : port.TransmitBacklog(now));
}

QueueStep ClBoard::ReadQueueStep(uint32_t queue, void *buffer, uint32_t bytes) {
    const std::optional<QueueRef> ref = FindQueue(queue);
    if (!ref || !ref->receive) return {};
    const Clock::time_point now = Clock::now();
    SerialPort &port = ports_[ref->port];
    const uint32_t taken = port.TakeWords(now, static_cast<uint8_t *>(buffer), bytes / 4);
    const Clock::time_point poll = now + kQueuePoll;
    return {int32_t(4 * taken), std::min(port.NextDue().value_or(poll), poll)};
}

QueueStep ClBoard::WriteQueueStep(uint32_t queue, const void *data, uint32_t bytes) {
    const std::optional<QueueRef> ref = FindQueue(queue);
    if (!ref || ref->receive) return {};
    const Clock::time_point now = Clock::now();
    Clock::time_point first;
    Clock::duration pace;
    const uint32_t taken = ports_[ref->port].Transmit(bytes, now, first, pace);
    DeliverToCamera(ref->port, std::span(static_cast<const uint8_t *>(data), taken), first, pace);
    return {int32_t(taken), now + std::max<Clock::duration>(pace, kQueuePoll)};
}

// The camera takes the bytes as they arrive, and hears only those sent at its
// own rate; the others are framing errors it drops. Its rate may change
// between two commands of the same write.
void ClBoard::DeliverToCamera(uint32_t port, std::span<const uint8_t> bytes, Clock::time_point first,
                              Clock::duration pace) {
    GenCpCamera *camera = SerialCamera(port);
    if (!camera) return;
    ClConnectorState &connector = state_.connectors[camera->Config().links.front()];
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (camera->Baud() != state_.ports[port].hostBaud) {
            ++connector.traffic.framingErrors;
            continue;
        }
        camera->Receive(bytes.subspan(i, 1), first + pace * i, pace, connector.fault, connector.traffic, ports_[port]);
    }
}

void ClBoard::ReleaseQueue(uint32_t queue) {
    if (const std::optional<QueueRef> ref = FindQueue(queue)) ports_[ref->port].Release(queue);
}

int32_t ClBoard::ClaimSerialPort(uint32_t port, bool held) {
    if (port >= kClConnectors) return kFailed;
    state_.ports[port].claimed = held;
    return 0;
}

int32_t ClBoard::Plug(uint32_t port, bool plugged) {
    if (port >= kClConnectors) return kFailed;
    state_.connectors[port].plugged = plugged;
    return 0;
}

int32_t ClBoard::InjectFault(uint32_t port, const CameraFault &fault) {
    if (port >= kClConnectors || (fault.kind != FaultKind::NoAck && !IsSerialFault(fault.kind))) return kFailed;
    state_.connectors[port].fault = fault;
    return 0;
}

int32_t ClBoard::ReadTraffic(uint32_t port, TrafficCounters &traffic) const {
    if (port >= kClConnectors) return kFailed;
    traffic = state_.connectors[port].traffic;
    return 0;
}

// A process died inside a call: queue bookkeeping is made whole and a
// command half taken apart is dropped.
void ClBoard::RepairTransientState() {
    for (SerialPort &port : ports_) port.Repair();
    for (auto &camera : cameras_) camera->Repair();
}

void ClBoard::Describe(std::ostream &out) {
    Board::Describe(out);
    const Clock::time_point now = Clock::now();
    for (uint32_t index = 0; index < kClConnectors; ++index) {
        const ClConnectorState &connector = state_.connectors[index];
        out << "  connector " << index << ": cable " << (connector.plugged ? "plugged" : "unplugged") << "\n";
        if (const GenCpCamera *camera = serialCamera_[index] >= 0 ? cameras_[size_t(serialCamera_[index])].get() : nullptr)
            out << "    camera " << camera->Config().model << " " << camera->Config().serial << ", "
                << (camera->Config().links.size() == 2 ? "on both connectors" : "one connector") << ", at "
                << camera->Baud() << " baud\n";
        out << "    serial port " << index << ": ";
        ports_[index].Describe(out, now);
        const TrafficCounters &traffic = connector.traffic;
        out << "\n    fault " << DescribeCameraFault(connector.fault) << ", commands " << traffic.commandsReceived
            << ", acks " << traffic.acksSent << ", crc errors " << traffic.crcErrors << ", framing errors "
            << traffic.framingErrors << "\n";
    }
}

}  // namespace vexo::sim
