#include "board/CxpBoard.h"

#include "protocol/CxpBitRates.h"
#include "protocol/CxpControlPacket.h"

namespace vexo::sim {
namespace {

using protocol::cxp::BitRateOfCode;
using protocol::cxp::NeedsHighUplink;

constexpr uint64_t kUplinkHeld = 1u << 0;
constexpr uint64_t kAckReceiverHeld = 1u << 1;
constexpr uint64_t kDownlinkHeld = 1u << 2;
constexpr uint64_t kIdentitySelect = 0x7654321076543210ull;
constexpr uint64_t kUnlockedErrorsPerMs = 1000;
constexpr uint64_t kStatusLocked = 1ull << 48;
constexpr uint64_t kStatusReady = 1ull << 49;

// Power readings: 24.0 V on a powered port, about 500 mA drawn by a camera.
struct PowerReading {
    uint64_t state;    // 0 off, 1 on without load, 2 on with a camera drawing power
    bool on;
    bool loaded;
};
constexpr uint64_t kBusVoltageRaw = 6000;   // x 0.004 V (families B and C)
constexpr uint64_t kVinRaw = 960;           // x 0.025 V (family A)
constexpr uint64_t kShuntRaw = 2500;        // x 0.2 (families B and C)
constexpr uint64_t kSenseRaw = 1250;        // x 0.4 (family A)

constexpr bool IsReadable(AppletRegister id) {
    return id != AppletRegister::kPowerEnableWrite && id != AppletRegister::kTxCmdWriteData &&
           id != AppletRegister::kDiscoverySelectWrite && id != AppletRegister::kLedWrite;
}

constexpr bool IsWritable(AppletRegister id) {
    switch (id) {
        case AppletRegister::kPowerEnableWrite:
        case AppletRegister::kTxCmdWriteData:
        case AppletRegister::kDiscoverySelectWrite:
        case AppletRegister::kLedWrite:
        case AppletRegister::kDrpAddress:
        case AppletRegister::kDrpWriteData:
        case AppletRegister::kSetBitRate:
        case AppletRegister::kDownLinkBitRate:
        case AppletRegister::kUpLinkBitRate:
        case AppletRegister::kControlCoreReset: return true;
        default: return false;
    }
}

// Writes that can change whether a link is locked; the error counters are
// brought up to date before them. A packet word can only once it closes a
// command, which SendFrame looks after.
constexpr bool AffectsLinks(AppletRegister id) {
    return id != AppletRegister::kLedWrite && id != AppletRegister::kDiscoverySelectWrite &&
           id != AppletRegister::kDrpAddress && id != AppletRegister::kTxCmdWriteData;
}

uint64_t EncodePowerStatus(BoardFamily family, const PowerReading &reading) {
    if (family != BoardFamily::kC) return 1ull << reading.state;  // families A and B: one bit per state
    static constexpr uint64_t kFamilyCField[3] = {1, 2, 4};     // state codes 0, 3 and 5
    const uint64_t voltage = reading.on ? kBusVoltageRaw : 0, current = reading.loaded ? kShuntRaw : 0;
    return kFamilyCField[reading.state] << 30 | voltage << 16 | current;
}

}  // namespace

CxpBoard::CxpBoard(const BoardConfig &config, uint32_t index, std::vector<std::unique_ptr<CxpCamera>> cameras)
    : Board(config, index),
      registers_(*config.model, config.applet),
      interfaceType_(TransceiverInterfaceType(*config.model, config.applet.rxStatus)),
      cameras_(std::move(cameras)),
      ports_(config.model->portCount, PhysicalPort(Clock::now())),
      discoverySelect_(kIdentitySelect),
      powerMask_(config.powerOnAtStart ? PortMask() : 0) {
    for (const auto &camera : cameras_)
        for (uint32_t link = 0; link < camera->Config().links.size(); ++link) {
            PhysicalPort &port = ports_[camera->Config().links[link]];
            port.camera = camera.get();
            port.link = link;
            port.plugged = true;
        }
    const auto &operators = config.applet.operators;
    for (size_t master = 0; master < operators.size(); ++master)
        for (size_t extension = 0; extension < operators[master].size(); ++extension) {
            const uint32_t shift = 4 * operators[master][extension];
            appletMasterIds_ |= uint64_t(master + 1) << shift;
            appletExtensionIds_ |= uint64_t(extension) << shift;
        }
    UpdateCameraPower();
}

bool CxpBoard::Locked(const PhysicalPort &port) const {
    return port.camera && port.plugged && port.camera->Running() && !(port.reset & kDownlinkHeld) &&
           port.downlinkRate == port.camera->BitRate();
}

bool CxpBoard::AnswerPathOpen(const PhysicalPort &port) const { return Locked(port) && !(port.reset & kAckReceiverHeld); }

// Boards without an uplink rate register run their uplinks at the low setting.
bool CxpBoard::UplinkFits(const PhysicalPort &port) const {
    const bool high = interfaceType_ == 10 && port.uplinkSetting != 0;
    return high == NeedsHighUplink(port.camera->BitRate());
}

// A camera fed over its cable runs while its master port is powered and plugged.
bool CxpBoard::CameraPowered(const CxpCamera &camera) const {
    if (camera.Config().power == CameraPower::External) return true;
    const uint32_t master = camera.MasterPort();
    return (powerMask_ >> master & 1) && ports_[master].plugged;
}

void CxpBoard::UpdateCameraPower() {
    for (const auto &camera : cameras_) camera->SetRunning(CameraPowered(*camera));
}

void CxpBoard::AdvanceErrorCounters(Clock::time_point now) {
    for (PhysicalPort &port : ports_) port.errors.Advance(now, Locked(port) ? port.noisePerMs : kUnlockedErrorsPerMs);
}

int32_t CxpBoard::ReadRegister(uint32_t address, uint64_t &value) {
    const std::optional<RegisterAddress> reg = registers_.Decode(address);
    if (!reg || !IsReadable(reg->id)) return kFailed;
    value = ReadPortRegister(reg->id, reg->port);
    return 0;
}

uint64_t CxpBoard::ReadPortRegister(AppletRegister id, uint32_t port) {
    switch (id) {
        case AppletRegister::kPowerEnableRead: return powerMask_;
        case AppletRegister::kNotInTable:
        case AppletRegister::kDisparityError: return ReadErrorCount(port) & 0xFFFFFFFFu;
        case AppletRegister::kTransceiverStatus: {
            const uint64_t errors = ReadErrorCount(port) & 0xFFFFFF;
            return errors | (Locked(ports_[port]) ? kStatusLocked : 0) | kStatusReady;
        }
        case AppletRegister::kRxStatus: return LockedMask(true);
        case AppletRegister::kDrpAddress: return ports_[port].drpAddress;
        case AppletRegister::kDrpWriteData:
        case AppletRegister::kSetBitRate:
        case AppletRegister::kDownLinkBitRate: return ports_[port].downlinkSetting;
        case AppletRegister::kUpLinkBitRate: return ports_[port].uplinkSetting;
        // The transceiver configuration finishes at once, so it always reads idle.
        case AppletRegister::kDrpReady:
        case AppletRegister::kSetBitRateDone: return PortMask();
        case AppletRegister::kControlCoreReset: return ports_[port].reset;
        case AppletRegister::kRxCmdAckPacketData: return ReadAnswerWord(port);
        case AppletRegister::kTxCmdPacketSent: return packetSent_;
        case AppletRegister::kDiscoverySelectRead: return discoverySelect_;
        case AppletRegister::kAppletMasterId: return appletMasterIds_;
        case AppletRegister::kAppletExtensionId: return appletExtensionIds_;
        case AppletRegister::kStreamPacketSize: return Config().applet.streamPacketSize;
        case AppletRegister::kLedRead: return ports_[port].led;
        default: return ReadPowerRegister(id, port);
    }
}

// While unlocked the counter also grows by one on every read.
uint64_t CxpBoard::ReadErrorCount(uint32_t index) {
    PhysicalPort &port = ports_[index];
    const bool locked = Locked(port);
    port.errors.Advance(Clock::now(), locked ? port.noisePerMs : kUnlockedErrorsPerMs);
    if (!locked) port.errors.AddOne();
    return port.errors.Count();
}

uint64_t CxpBoard::LockedMask(bool receiveStatusLayout) const {
    uint64_t mask = 0;
    for (uint32_t port = 0; port < PortCount(); ++port)
        if (Locked(ports_[port])) mask |= receiveStatusLayout ? 1ull << (2 * port + 1) : 1ull << port;
    return mask;
}

uint64_t CxpBoard::ReadPowerRegister(AppletRegister id, uint32_t index) const {
    const PhysicalPort &port = ports_[index];
    const bool on = powerMask_ >> index & 1;
    const bool loaded = on && port.plugged && port.camera && port.link == 0 &&
                        port.camera->Config().power == CameraPower::PoCxp;
    const PowerReading reading{on ? (loaded ? 2u : 1u) : 0u, on, loaded};
    switch (id) {
        case AppletRegister::kPowerStatus: return EncodePowerStatus(Config().model->family, reading);
        case AppletRegister::kPowerBusVoltage: return on ? kBusVoltageRaw : 0;
        case AppletRegister::kPowerShuntVoltage: return loaded ? kShuntRaw : 0;
        case AppletRegister::kPowerVin:
        case AppletRegister::kPowerAdIn: return on ? kVinRaw : 0;
        case AppletRegister::kPowerSense: return loaded ? kSenseRaw : 0;
        default: return 0;
    }
}

uint64_t CxpBoard::ReadAnswerWord(uint32_t appletPort) {
    if (!pending_.empty()) DeliverDueAnswers(Clock::now());
    const std::optional<uint32_t> word = channels_[appletPort].PopAnswerWord();
    return word ? *word : protocol::cxp::kReceiveEmpty;
}

int32_t CxpBoard::WriteRegister(uint32_t address, uint64_t value) {
    const std::optional<RegisterAddress> reg = registers_.Decode(address);
    if (!reg || !IsWritable(reg->id)) return kFailed;
    if (AffectsLinks(reg->id)) AdvanceErrorCounters(Clock::now());
    WritePortRegister(reg->id, reg->port, value);
    return 0;
}

void CxpBoard::WritePortRegister(AppletRegister id, uint32_t port, uint64_t value) {
    PhysicalPort &physical = ports_[port];
    switch (id) {
        case AppletRegister::kPowerEnableWrite:
            powerMask_ = value & PortMask();
            UpdateCameraPower();
            break;
        case AppletRegister::kControlCoreReset:
            physical.reset = value;
            physical.errors.Clear(Clock::now());
            break;
        case AppletRegister::kDownLinkBitRate: ProgramDownlink(port, uint32_t(value), value); break;
        case AppletRegister::kSetBitRate: ProgramDownlink(port, BitRateOfCode(uint32_t(value)), value); break;
        case AppletRegister::kDrpAddress: physical.drpAddress = value; break;
        // Address 0 of the configuration port holds the receiver's rate code.
        case AppletRegister::kDrpWriteData:
            if (physical.drpAddress == 0) ProgramDownlink(port, BitRateOfCode(uint32_t(value)), value);
            break;
        case AppletRegister::kUpLinkBitRate: physical.uplinkSetting = value; break;
        case AppletRegister::kTxCmdWriteData: {
            const ControlChannel::Event event = channels_[port].Accept(value);
            if (event == ControlChannel::Event::Opened) packetSent_ &= ~(1ull << port);
            if (event == ControlChannel::Event::Closed) SendFrame(port);
            break;
        }
        case AppletRegister::kDiscoverySelectWrite: discoverySelect_ = value; break;
        case AppletRegister::kLedWrite: physical.led = value; break;
        default: break;
    }
}

void CxpBoard::ProgramDownlink(uint32_t port, uint32_t mbps, uint64_t setting) {
    ports_[port].downlinkRate = mbps;
    ports_[port].downlinkSetting = setting;
}

void CxpBoard::SendFrame(uint32_t appletPort) {
    const uint32_t physicalIndex = (discoverySelect_ >> (4 * appletPort)) & 0xF;
    if (physicalIndex >= PortCount()) return;
    PhysicalPort &port = ports_[physicalIndex];
    if ((port.reset & kUplinkHeld) || !port.camera || !port.plugged || !port.camera->Running() || !UplinkFits(port))
        return;
    packetSent_ |= 1ull << appletPort;
    // The camera may switch its bit rate while handling the command; its
    // immediate answer still travels at the rate the command came in at.
    const bool pathOpen = AnswerPathOpen(port);
    const Clock::time_point now = Clock::now();
    AdvanceErrorCounters(now);
    const CxpCamera::Answer &answer =
        port.camera->Receive(port.link, channels_[appletPort].Frame(), port.fault, port.traffic, now);
    Queue(appletPort, physicalIndex, answer.preliminary, 0, pathOpen, now);
    Queue(appletPort, physicalIndex, answer.final, answer.finalDelayMs, pathOpen, now);
}

// Answers leave in the order the camera gives them; a late one holds back
// those behind it.
void CxpBoard::Queue(uint32_t appletPort, uint32_t physicalPort, const AckPacket &packet, uint32_t delayMs,
                     bool pathOpen, Clock::time_point now) {
    if (packet.Empty()) return;
    Clock::time_point due = now + std::chrono::milliseconds(delayMs);
    if (pendingCount_[appletPort] > 0 && lastDue_[appletPort] > due) due = lastDue_[appletPort];
    if (delayMs == 0 && pendingCount_[appletPort] == 0) {
        if (pathOpen) channels_[appletPort].PushAnswer(packet.Words());
        return;
    }
    const std::span<const uint32_t> words = packet.Words();
    pending_.push_back({appletPort, physicalPort, due, {words.begin(), words.end()}});
    ++pendingCount_[appletPort];
    lastDue_[appletPort] = due;
}

void CxpBoard::DeliverDueAnswers(Clock::time_point now) {
    for (auto it = pending_.begin(); it != pending_.end();) {
        if (it->due > now) {
            ++it;
            continue;
        }
        if (AnswerPathOpen(ports_[it->physicalPort])) channels_[it->appletPort].PushAnswer(it->words);
        --pendingCount_[it->appletPort];
        it = pending_.erase(it);
    }
}

int32_t CxpBoard::Plug(uint32_t port, bool plugged) {
    if (port >= PortCount()) return kFailed;
    AdvanceErrorCounters(Clock::now());
    ports_[port].plugged = plugged;
    UpdateCameraPower();
    return 0;
}

int32_t CxpBoard::InjectFault(uint32_t port, const CameraFault &fault) {
    if (port >= PortCount()) return kFailed;
    ports_[port].fault = fault;
    return 0;
}

int32_t CxpBoard::SetLinkNoise(uint32_t port, uint32_t errorsPerMs) {
    if (port >= PortCount()) return kFailed;
    AdvanceErrorCounters(Clock::now());
    ports_[port].noisePerMs = errorsPerMs;
    return 0;
}

int32_t CxpBoard::ReadTraffic(uint32_t port, TrafficCounters &traffic) const {
    if (port >= PortCount()) return kFailed;
    traffic = ports_[port].traffic;
    return 0;
}

}  // namespace vexo::sim
