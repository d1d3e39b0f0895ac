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

// Registers whose value depends on the time: lock, error counters, ready bits.
constexpr bool IsTimed(AppletRegister id) {
    switch (id) {
        case AppletRegister::kNotInTable:
        case AppletRegister::kDisparityError:
        case AppletRegister::kTransceiverStatus:
        case AppletRegister::kRxStatus:
        case AppletRegister::kDrpReady:
        case AppletRegister::kSetBitRateDone: return true;
        default: return false;
    }
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
      timing_(config.timing),
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
    // Power-on state is settled: the cameras came up with the board, long ago.
    UpdateCameraPower(Clock::time_point());
}

bool CxpBoard::LinkUp(const PhysicalPort &port) const {
    return port.camera && port.plugged && port.camera->Running() && !(port.reset & kDownlinkHeld) &&
           port.downlinkRate == port.camera->BitRate();
}

bool CxpBoard::Locked(const PhysicalPort &port, Clock::time_point now) const {
    return LinkUp(port) && now >= port.lockFrom;
}

bool CxpBoard::AnswerPathOpen(const PhysicalPort &port, Clock::time_point now) const {
    return Locked(port, now) && !(port.reset & kAckReceiverHeld);
}

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

void CxpBoard::Relock(PhysicalPort &port, Clock::time_point now) { port.lockFrom = now + timing_.Lock(); }

void CxpBoard::RelockCamera(const CxpCamera &camera, Clock::time_point now) {
    for (uint32_t link : camera.Config().links) Relock(ports_[link], now);
}

void CxpBoard::UpdateCameraPower(Clock::time_point now) {
    for (const auto &camera : cameras_) {
        const bool powered = CameraPowered(*camera);
        if (powered && !camera->Running()) RelockCamera(*camera, now);
        camera->SetRunning(powered);
    }
}

// An unlocked port gathers errors until it locks, and only the link's noise
// after that. Every change of what LinkUp depends on advances the counters
// first, so the only change between two advances is the lock time passing.
void CxpBoard::AdvanceErrors(PhysicalPort &port, Clock::time_point now) {
    if (!LinkUp(port)) return port.errors.Advance(now, kUnlockedErrorsPerMs);
    port.errors.Advance(std::min(now, port.lockFrom), kUnlockedErrorsPerMs);
    port.errors.Advance(now, port.noisePerMs);
}

void CxpBoard::AdvanceErrorCounters(Clock::time_point now) {
    for (PhysicalPort &port : ports_) AdvanceErrors(port, now);
}

int32_t CxpBoard::ReadRegister(uint32_t address, uint64_t &value) {
    const std::optional<RegisterAddress> reg = registers_.Decode(address);
    if (!reg || !IsReadable(reg->id)) return kFailed;
    // The clock is read only when the value depends on it; answers, read word
    // by word, read it only when a word is not due by its last reading.
    if (reg->id == AppletRegister::kRxCmdAckPacketData)
        value = ReadAnswerWord(reg->port);
    else
        value = ReadPortRegister(reg->id, reg->port, IsTimed(reg->id) ? Now() : lastNow_);
    return 0;
}

// The clock, remembered: a word due by the last reading is readable without another.
CxpBoard::Clock::time_point CxpBoard::Now() { return lastNow_ = Clock::now(); }

uint64_t CxpBoard::ReadPortRegister(AppletRegister id, uint32_t port, Clock::time_point now) {
    switch (id) {
        case AppletRegister::kPowerEnableRead: return powerMask_;
        case AppletRegister::kNotInTable:
        case AppletRegister::kDisparityError: return ReadErrorCount(port, now) & 0xFFFFFFFFu;
        case AppletRegister::kTransceiverStatus: {
            const uint64_t errors = ReadErrorCount(port, now) & 0xFFFFFF;
            return errors | (Locked(ports_[port], now) ? kStatusLocked : 0) |
                   (now >= ports_[port].readyFrom ? kStatusReady : 0);
        }
        case AppletRegister::kRxStatus: return LockedMask(now);
        case AppletRegister::kDrpAddress: return ports_[port].drpAddress;
        case AppletRegister::kDrpWriteData:
        case AppletRegister::kSetBitRate:
        case AppletRegister::kDownLinkBitRate: return ports_[port].downlinkSetting;
        case AppletRegister::kUpLinkBitRate: return ports_[port].uplinkSetting;
        case AppletRegister::kDrpReady:
        case AppletRegister::kSetBitRateDone: return ReadyMask(now);
        case AppletRegister::kControlCoreReset: return ports_[port].reset;
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
uint64_t CxpBoard::ReadErrorCount(uint32_t index, Clock::time_point now) {
    PhysicalPort &port = ports_[index];
    AdvanceErrors(port, now);
    if (!Locked(port, now)) port.errors.AddOne();
    return port.errors.Count();
}

// "CxpTransceiverRxStatus": bit 2p + 1 for a locked port p.
uint64_t CxpBoard::LockedMask(Clock::time_point now) const {
    uint64_t mask = 0;
    for (uint32_t port = 0; port < PortCount(); ++port)
        if (Locked(ports_[port], now)) mask |= 1ull << (2 * port + 1);
    return mask;
}

uint64_t CxpBoard::ReadyMask(Clock::time_point now) const {
    uint64_t mask = 0;
    for (uint32_t port = 0; port < PortCount(); ++port)
        if (now >= ports_[port].readyFrom) mask |= 1ull << port;
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
    ControlChannel &channel = channels_[appletPort];
    std::optional<uint32_t> word = pending_.empty() ? channel.PopAnswerWord(lastNow_) : std::nullopt;
    if (!word) {
        const Clock::time_point now = Now();
        if (!pending_.empty()) DeliverDueAnswers(now);
        word = channel.PopAnswerWord(now);
    }
    return word ? *word : protocol::cxp::kReceiveEmpty;
}

int32_t CxpBoard::WriteRegister(uint32_t address, uint64_t value) {
    const std::optional<RegisterAddress> reg = registers_.Decode(address);
    if (!reg || !IsWritable(reg->id)) return kFailed;
    if (reg->id == AppletRegister::kTxCmdWriteData) {
        WriteCommandWord(reg->port, value);
        return 0;
    }
    if (!AffectsLinks(reg->id)) {
        WritePortRegister(reg->id, reg->port, value, lastNow_);
        return 0;
    }
    const Clock::time_point now = Now();
    AdvanceErrorCounters(now);
    WritePortRegister(reg->id, reg->port, value, now);
    return 0;
}

// Only a packet's last word needs the clock: the packet leaves then.
void CxpBoard::WriteCommandWord(uint32_t appletPort, uint64_t value) {
    const ControlChannel::Event event = channels_[appletPort].Accept(value);
    if (event == ControlChannel::Event::Opened) packetSent_ &= ~(1ull << appletPort);
    if (event == ControlChannel::Event::Closed) SendFrame(appletPort, Now());
}

void CxpBoard::WritePortRegister(AppletRegister id, uint32_t port, uint64_t value, Clock::time_point now) {
    PhysicalPort &physical = ports_[port];
    switch (id) {
        case AppletRegister::kPowerEnableWrite:
            powerMask_ = value & PortMask();
            UpdateCameraPower(now);
            break;
        case AppletRegister::kControlCoreReset: WriteControlCoreReset(port, value, now); break;
        case AppletRegister::kDownLinkBitRate: ProgramDownlink(port, uint32_t(value), value, now); break;
        case AppletRegister::kSetBitRate: ProgramDownlink(port, BitRateOfCode(uint32_t(value)), value, now); break;
        case AppletRegister::kDrpAddress: physical.drpAddress = value; break;
        // Address 0 of the configuration port holds the receiver's rate code.
        case AppletRegister::kDrpWriteData:
            if (physical.drpAddress == 0)
                ProgramDownlink(port, BitRateOfCode(uint32_t(value)), value, now);
            else
                physical.readyFrom = now + timing_.Ready();
            break;
        case AppletRegister::kUpLinkBitRate:
            physical.uplinkSetting = value;
            physical.readyFrom = now + timing_.Ready();
            break;
        case AppletRegister::kDiscoverySelectWrite: discoverySelect_ = value; break;
        case AppletRegister::kLedWrite: physical.led = value; break;
        default: break;
    }
}

void CxpBoard::WriteControlCoreReset(uint32_t port, uint64_t value, Clock::time_point now) {
    PhysicalPort &physical = ports_[port];
    if ((physical.reset & kDownlinkHeld) && !(value & kDownlinkHeld)) Relock(physical, now);
    physical.reset = value;
    if (!timing_.CountersSurviveReset()) physical.errors.Clear(now);
}

void CxpBoard::ProgramDownlink(uint32_t port, uint32_t mbps, uint64_t setting, Clock::time_point now) {
    PhysicalPort &physical = ports_[port];
    physical.downlinkRate = mbps;
    physical.downlinkSetting = setting;
    physical.readyFrom = now + timing_.Ready();
    Relock(physical, now);
}

// The command travels the uplink after whatever is still on it, and the
// camera handles it as it arrives; its answers come back word by word.
void CxpBoard::SendFrame(uint32_t appletPort, Clock::time_point now) {
    const uint32_t physicalIndex = (discoverySelect_ >> (4 * appletPort)) & 0xF;
    if (physicalIndex >= PortCount()) return;
    PhysicalPort &port = ports_[physicalIndex];
    if ((port.reset & kUplinkHeld) || !port.camera || !port.plugged || !port.camera->Running() || !UplinkFits(port))
        return;
    packetSent_ |= 1ull << appletPort;
    // The camera may switch its bit rate while handling the command; its
    // immediate answer still travels at the rate the command came in at.
    const bool pathOpen = AnswerPathOpen(port, now);
    const uint32_t rate = port.camera->BitRate();
    const std::span<const uint32_t> frame = channels_[appletPort].Frame();
    const uint32_t wireWords = uint32_t(frame.size()) + 2;  // with the markers
    const Clock::time_point arrival =
        std::max(now, port.uplinkFreeAt) + timing_.Uplink(wireWords, port.uplinkSetting != 0);
    port.uplinkFreeAt = arrival;
    AdvanceErrorCounters(now);
    const CxpCamera::Answer &answer = port.camera->Receive(port.link, frame, port.fault, port.traffic, arrival);
    if (port.camera->BitRate() != rate) RelockCamera(*port.camera, now);
    const Clock::duration pace = timing_.DownlinkWord(rate);
    const Clock::time_point answerAt = arrival + timing_.TurnAround();
    Queue(appletPort, physicalIndex, answer.preliminary, answerAt, pace, false, pathOpen);
    Queue(appletPort, physicalIndex, answer.final, answerAt + std::chrono::milliseconds(answer.finalDelayMs), pace,
          answer.finalDelayMs > 0, pathOpen);
}

// Answers leave in the order the camera gives them, one after the other on
// the wire; a late one holds back those behind it. A late answer needs the
// path open when it comes, the others when their command arrived.
void CxpBoard::Queue(uint32_t appletPort, uint32_t physicalPort, const AckPacket &packet, Clock::time_point at,
                     Clock::duration pace, bool late, bool pathOpen) {
    if (packet.Empty()) return;
    const std::span<const uint32_t> words = packet.Words();
    const Clock::time_point start = std::max(at, answersFreeAt_[appletPort]);
    answersFreeAt_[appletPort] = start + pace * words.size();
    if (!late && pendingCount_[appletPort] == 0) {
        if (pathOpen) channels_[appletPort].PushAnswer(words, start, pace);
        return;
    }
    pending_.push_back({appletPort, physicalPort, start, pace, {words.begin(), words.end()}});
    ++pendingCount_[appletPort];
}

void CxpBoard::DeliverDueAnswers(Clock::time_point now) {
    for (auto it = pending_.begin(); it != pending_.end();) {
        if (it->due > now) {
            ++it;
            continue;
        }
        if (AnswerPathOpen(ports_[it->physicalPort], now))
            channels_[it->appletPort].PushAnswer(it->words, it->due, it->pace);
        --pendingCount_[it->appletPort];
        it = pending_.erase(it);
    }
}

int32_t CxpBoard::Plug(uint32_t port, bool plugged) {
    if (port >= PortCount()) return kFailed;
    const Clock::time_point now = Clock::now();
    AdvanceErrorCounters(now);
    if (plugged && !ports_[port].plugged) Relock(ports_[port], now);
    ports_[port].plugged = plugged;
    UpdateCameraPower(now);
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
