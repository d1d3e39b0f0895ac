#include "board/CxpBoard.h"

#include "instance/SharedWord.h"
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

// Registers that read one word of the board's state or configuration, each
// written whole (StoreWord), and change nothing by being read: any thread may
// read them without the board's lock.
constexpr bool IsPlainWord(AppletRegister id) {
    switch (id) {
        case AppletRegister::kPowerEnableRead:
        case AppletRegister::kDrpAddress:
        case AppletRegister::kDrpWriteData:
        case AppletRegister::kSetBitRate:
        case AppletRegister::kDownLinkBitRate:
        case AppletRegister::kUpLinkBitRate:
        case AppletRegister::kControlCoreReset:
        case AppletRegister::kTxCmdPacketSent:
        case AppletRegister::kDiscoverySelectRead:
        case AppletRegister::kAppletMasterId:
        case AppletRegister::kAppletExtensionId:
        case AppletRegister::kStreamPacketSize:
        case AppletRegister::kLedRead: return true;
        default: return false;
    }
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

CxpBoard::CxpBoard(const BoardConfig &config, uint32_t index, CxpBoardState &state, uint8_t *segment)
    : Board(config, index),
      timing_(config.timing),
      registers_(*config.model, config.applet),
      interfaceType_(TransceiverInterfaceType(*config.model, config.applet.rxStatus)),
      state_(state) {
    for (size_t camera = 0; camera < config.cameras.size(); ++camera)
        cameras_.push_back(std::make_unique<CxpCamera>(config.cameras[camera], state.cameras[camera], segment));
    const auto &operators = config.applet.operators;
    for (size_t master = 0; master < operators.size(); ++master)
        for (size_t extension = 0; extension < operators[master].size(); ++extension) {
            const uint32_t shift = 4 * operators[master][extension];
            appletMasterIds_ |= uint64_t(master + 1) << shift;
            appletExtensionIds_ |= uint64_t(extension) << shift;
        }
}

void CxpBoard::Install(const BoardConfig &config, std::span<const DescriptionImage *const> descriptions,
                       CxpBoardState &state, uint8_t *segment) {
    for (size_t camera = 0; camera < config.cameras.size(); ++camera)
        CxpCamera::Install(config.cameras[camera], *descriptions[camera], state.cameras[camera], segment);
    CxpBoard board(config, 0, state, segment);
    board.PowerOnState();
}

void CxpBoard::PowerOnState() {
    const Clock::time_point now = Clock::now();
    for (PhysicalPort &port : Ports()) port.errors = ErrorCounter(now);
    for (size_t camera = 0; camera < cameras_.size(); ++camera)
        for (uint32_t link = 0; link < cameras_[camera]->Config().links.size(); ++link) {
            PhysicalPort &port = state_.ports[cameras_[camera]->Config().links[link]];
            port.camera = uint8_t(camera);
            port.link = link;
            port.plugged = true;
        }
    StoreWord(state_.discoverySelect, kIdentitySelect);
    StoreWord(state_.powerMask, Config().powerOnAtStart ? PortMask() : 0);
    // Power-on state is settled: the cameras came up with the board, long ago.
    UpdateCameraPower(Clock::time_point());
}

bool CxpBoard::LinkUp(const PhysicalPort &port) const {
    return CameraOn(port) && port.plugged && CameraOn(port)->Running() && !(port.reset & kDownlinkHeld) &&
           port.downlinkRate == CameraOn(port)->BitRate();
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
    return high == NeedsHighUplink(CameraOn(port)->BitRate());
}

// A camera fed over its cable runs while its master port is powered and plugged.
bool CxpBoard::CameraPowered(const CxpCamera &camera) const {
    if (camera.Config().power == CameraPower::External) return true;
    const uint32_t master = camera.MasterPort();
    return (state_.powerMask >> master & 1) && state_.ports[master].plugged;
}

void CxpBoard::Relock(PhysicalPort &port, Clock::time_point now) { port.lockFrom = now + timing_.Lock(); }

void CxpBoard::RelockCamera(const CxpCamera &camera, Clock::time_point now) {
    for (uint32_t link : camera.Config().links) Relock(state_.ports[link], now);
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
    for (PhysicalPort &port : Ports()) AdvanceErrors(port, now);
}

int32_t CxpBoard::ReadRegister(uint32_t address, uint64_t &value) {
    const std::optional<RegisterAddress> reg = registers_.Decode(address);
    if (!reg || !IsReadable(reg->id)) return kFailed;
    // The clock is read only when the value depends on it; answers, read word
    // by word, read it only when a word is not due by its last reading.
    if (reg->id == AppletRegister::kRxCmdAckPacketData)
        value = ReadAnswerWord(reg->port);
    else if (IsTimed(reg->id))
        value = ReadTimedRegister(reg->id, reg->port, Now());
    else if (IsPlainWord(reg->id))
        value = ReadPlainWord(reg->id, reg->port);
    else
        value = ReadPowerRegister(reg->id, reg->port);
    return 0;
}

bool CxpBoard::ReadRegisterUnlocked(uint32_t address, uint64_t &value) const {
    const std::optional<RegisterAddress> reg = registers_.Decode(address);
    if (!reg || !IsPlainWord(reg->id)) return false;
    value = ReadPlainWord(reg->id, reg->port);
    return true;
}

// The clock, remembered: a word due by the last reading is readable without another.
CxpBoard::Clock::time_point CxpBoard::Now() { return state_.lastNow = Clock::now(); }

uint64_t CxpBoard::ReadPlainWord(AppletRegister id, uint32_t port) const {
    const PhysicalPort &physical = state_.ports[port];
    switch (id) {
        case AppletRegister::kPowerEnableRead: return LoadWord(state_.powerMask);
        case AppletRegister::kDrpAddress: return LoadWord(physical.drpAddress);
        case AppletRegister::kDrpWriteData:
        case AppletRegister::kSetBitRate:
        case AppletRegister::kDownLinkBitRate: return LoadWord(physical.downlinkSetting);
        case AppletRegister::kUpLinkBitRate: return LoadWord(physical.uplinkSetting);
        case AppletRegister::kControlCoreReset: return LoadWord(physical.reset);
        case AppletRegister::kTxCmdPacketSent: return LoadWord(state_.packetSent);
        case AppletRegister::kDiscoverySelectRead: return LoadWord(state_.discoverySelect);
        case AppletRegister::kAppletMasterId: return appletMasterIds_;
        case AppletRegister::kAppletExtensionId: return appletExtensionIds_;
        case AppletRegister::kStreamPacketSize: return Config().applet.streamPacketSize;
        case AppletRegister::kLedRead: return LoadWord(physical.led);
        default: return 0;
    }
}

uint64_t CxpBoard::ReadTimedRegister(AppletRegister id, uint32_t port, Clock::time_point now) {
    switch (id) {
        case AppletRegister::kNotInTable:
        case AppletRegister::kDisparityError: return ReadErrorCount(port, now) & 0xFFFFFFFFu;
        case AppletRegister::kTransceiverStatus: {
            const uint64_t errors = ReadErrorCount(port, now) & 0xFFFFFF;
            return errors | (Locked(state_.ports[port], now) ? kStatusLocked : 0) |
                   (now >= state_.ports[port].readyFrom ? kStatusReady : 0);
        }
        case AppletRegister::kRxStatus: return LockedMask(now);
        case AppletRegister::kDrpReady:
        case AppletRegister::kSetBitRateDone: return ReadyMask(now);
        default: return 0;
    }
}

// While unlocked the counter also grows by one on every read.
uint64_t CxpBoard::ReadErrorCount(uint32_t index, Clock::time_point now) {
    PhysicalPort &port = state_.ports[index];
    AdvanceErrors(port, now);
    if (!Locked(port, now)) port.errors.AddOne();
    return port.errors.Count();
}

// "CxpTransceiverRxStatus": bit 2p + 1 for a locked port p.
uint64_t CxpBoard::LockedMask(Clock::time_point now) const {
    uint64_t mask = 0;
    for (uint32_t port = 0; port < PortCount(); ++port)
        if (Locked(state_.ports[port], now)) mask |= 1ull << (2 * port + 1);
    return mask;
}

uint64_t CxpBoard::ReadyMask(Clock::time_point now) const {
    uint64_t mask = 0;
    for (uint32_t port = 0; port < PortCount(); ++port)
        if (now >= state_.ports[port].readyFrom) mask |= 1ull << port;
    return mask;
}

uint64_t CxpBoard::ReadPowerRegister(AppletRegister id, uint32_t index) const {
    const PhysicalPort &port = state_.ports[index];
    const bool on = state_.powerMask >> index & 1;
    const bool loaded = on && port.plugged && CameraOn(port) && port.link == 0 &&
                        CameraOn(port)->Config().power == CameraPower::PoCxp;
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
    ControlChannel &channel = state_.channels[appletPort];
    std::optional<uint32_t> word = state_.pendingCount == 0 ? channel.PopAnswerWord(state_.lastNow) : std::nullopt;
    if (!word) {
        const Clock::time_point now = Now();
        if (state_.pendingCount != 0) DeliverDueAnswers(now);
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
        WritePortRegister(reg->id, reg->port, value, state_.lastNow);
        return 0;
    }
    const Clock::time_point now = Now();
    AdvanceErrorCounters(now);
    WritePortRegister(reg->id, reg->port, value, now);
    return 0;
}

// Only a packet's last word needs the clock: the packet leaves then.
void CxpBoard::WriteCommandWord(uint32_t appletPort, uint64_t value) {
    const ControlChannel::Event event = state_.channels[appletPort].Accept(value);
    if (event == ControlChannel::Event::Opened) StoreWord(state_.packetSent, state_.packetSent & ~(1ull << appletPort));
    if (event == ControlChannel::Event::Closed) SendFrame(appletPort, Now());
}

void CxpBoard::WritePortRegister(AppletRegister id, uint32_t port, uint64_t value, Clock::time_point now) {
    PhysicalPort &physical = state_.ports[port];
    switch (id) {
        case AppletRegister::kPowerEnableWrite:
            StoreWord(state_.powerMask, value & PortMask());
            UpdateCameraPower(now);
            break;
        case AppletRegister::kControlCoreReset: WriteControlCoreReset(port, value, now); break;
        case AppletRegister::kDownLinkBitRate: ProgramDownlink(port, uint32_t(value), value, now); break;
        case AppletRegister::kSetBitRate: ProgramDownlink(port, BitRateOfCode(uint32_t(value)), value, now); break;
        case AppletRegister::kDrpAddress: StoreWord(physical.drpAddress, value); break;
        // Address 0 of the configuration port holds the receiver's rate code.
        case AppletRegister::kDrpWriteData:
            if (physical.drpAddress == 0)
                ProgramDownlink(port, BitRateOfCode(uint32_t(value)), value, now);
            else
                physical.readyFrom = now + timing_.Ready();
            break;
        case AppletRegister::kUpLinkBitRate:
            StoreWord(physical.uplinkSetting, value);
            physical.readyFrom = now + timing_.Ready();
            break;
        case AppletRegister::kDiscoverySelectWrite: StoreWord(state_.discoverySelect, value); break;
        case AppletRegister::kLedWrite: StoreWord(physical.led, value); break;
        default: break;
    }
}

void CxpBoard::WriteControlCoreReset(uint32_t port, uint64_t value, Clock::time_point now) {
    PhysicalPort &physical = state_.ports[port];
    if ((physical.reset & kDownlinkHeld) && !(value & kDownlinkHeld)) Relock(physical, now);
    StoreWord(physical.reset, value);
    if (!timing_.CountersSurviveReset()) physical.errors.Clear(now);
}

void CxpBoard::ProgramDownlink(uint32_t port, uint32_t mbps, uint64_t setting, Clock::time_point now) {
    PhysicalPort &physical = state_.ports[port];
    physical.downlinkRate = mbps;
    StoreWord(physical.downlinkSetting, setting);
    physical.readyFrom = now + timing_.Ready();
    Relock(physical, now);
}

// The command travels the uplink after whatever is still on it, and the
// camera handles it as it arrives; its answers come back word by word.
void CxpBoard::SendFrame(uint32_t appletPort, Clock::time_point now) {
    const uint32_t physicalIndex = (state_.discoverySelect >> (4 * appletPort)) & 0xF;
    if (physicalIndex >= PortCount()) return;
    PhysicalPort &port = state_.ports[physicalIndex];
    if ((port.reset & kUplinkHeld) || !CameraOn(port) || !port.plugged || !CameraOn(port)->Running() || !UplinkFits(port))
        return;
    StoreWord(state_.packetSent, state_.packetSent | 1ull << appletPort);
    // The camera may switch its bit rate while handling the command; its
    // immediate answer still travels at the rate the command came in at.
    const bool pathOpen = AnswerPathOpen(port, now);
    const uint32_t rate = CameraOn(port)->BitRate();
    const std::span<const uint32_t> frame = state_.channels[appletPort].Frame();
    const uint32_t wireWords = uint32_t(frame.size()) + 2;  // with the markers
    const Clock::time_point arrival =
        std::max(now, port.uplinkFreeAt) + timing_.Uplink(wireWords, port.uplinkSetting != 0);
    port.uplinkFreeAt = arrival;
    AdvanceErrorCounters(now);
    const CxpCamera::Answer &answer = CameraOn(port)->Receive(port.link, frame, port.fault, port.traffic, arrival);
    if (CameraOn(port)->BitRate() != rate) RelockCamera(*CameraOn(port), now);
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
    const Clock::time_point start = std::max(at, state_.answersFreeAt[appletPort]);
    state_.answersFreeAt[appletPort] = start + pace * words.size();
    if (!late && state_.pendingPerPort[appletPort] == 0) {
        if (pathOpen) state_.channels[appletPort].PushAnswer(words, start, pace);
        return;
    }
    if (state_.pendingCount == kMaxPendingAnswers) return;  // lost, as an answer the board has no room for
    PendingAnswer &answer = state_.pending[(state_.pendingHead + state_.pendingCount++) % kMaxPendingAnswers];
    answer.appletPort = appletPort;
    answer.physicalPort = physicalPort;
    answer.due = start;
    answer.pace = pace;
    answer.wordCount = uint32_t(words.size());
    std::copy(words.begin(), words.end(), answer.words);
    ++state_.pendingPerPort[appletPort];
}

// Due answers leave the ring in order; one not yet due stays with those after it.
void CxpBoard::DeliverDueAnswers(Clock::time_point now) {
    uint32_t kept = 0;
    for (uint32_t i = 0; i < state_.pendingCount; ++i) {
        PendingAnswer &answer = state_.pending[(state_.pendingHead + i) % kMaxPendingAnswers];
        if (answer.due > now) {
            if (kept != i) state_.pending[(state_.pendingHead + kept) % kMaxPendingAnswers] = answer;
            ++kept;
            continue;
        }
        if (AnswerPathOpen(state_.ports[answer.physicalPort], now))
            state_.channels[answer.appletPort].PushAnswer({answer.words, answer.wordCount}, answer.due, answer.pace);
        --state_.pendingPerPort[answer.appletPort];
    }
    state_.pendingCount = kept;
}

int32_t CxpBoard::Plug(uint32_t port, bool plugged) {
    if (port >= PortCount()) return kFailed;
    const Clock::time_point now = Clock::now();
    AdvanceErrorCounters(now);
    if (plugged && !state_.ports[port].plugged) Relock(state_.ports[port], now);
    state_.ports[port].plugged = plugged;
    UpdateCameraPower(now);
    return 0;
}

int32_t CxpBoard::InjectFault(uint32_t port, const CameraFault &fault) {
    if (port >= PortCount() || IsSerialFault(fault.kind)) return kFailed;
    state_.ports[port].fault = fault;
    return 0;
}

int32_t CxpBoard::SetLinkNoise(uint32_t port, uint32_t errorsPerMs) {
    if (port >= PortCount()) return kFailed;
    AdvanceErrorCounters(Clock::now());
    state_.ports[port].noisePerMs = errorsPerMs;
    return 0;
}

int32_t CxpBoard::ReadTraffic(uint32_t port, TrafficCounters &traffic) const {
    if (port >= PortCount()) return kFailed;
    traffic = state_.ports[port].traffic;
    return 0;
}

// A process died inside a call on this board: the frame being written is
// abandoned and the late answers' bookkeeping is made whole again.
void CxpBoard::RepairTransientState() {
    for (ControlChannel &channel : state_.channels) channel.Repair();
    state_.pendingHead %= kMaxPendingAnswers;
    if (state_.pendingCount > kMaxPendingAnswers) state_.pendingCount = 0;
    for (uint32_t &count : state_.pendingPerPort) count = 0;
    for (uint32_t i = 0; i < state_.pendingCount; ++i) {
        const PendingAnswer &answer = state_.pending[(state_.pendingHead + i) % kMaxPendingAnswers];
        if (answer.appletPort < kMaxPorts) ++state_.pendingPerPort[answer.appletPort];
    }
}

// Per physical port: cable, power, camera, link and what crossed it. The error
// counter is brought up to date as time alone moves it, never counted up by
// this reading as a register read of an unlocked port would be.
void CxpBoard::Describe(std::ostream &out) {
    Board::Describe(out);
    const Clock::time_point now = Clock::now();
    for (uint32_t index = 0; index < PortCount(); ++index) {
        PhysicalPort &port = state_.ports[index];
        AdvanceErrors(port, now);
        out << "  port " << index << ": cable " << (port.plugged ? "plugged" : "unplugged") << ", power "
            << ((state_.powerMask >> index & 1) ? "on" : "off") << ", link " << (Locked(port, now) ? "locked" : "unlocked")
            << ", errors " << port.errors.Count() << ", reset " << port.reset << ", downlink " << port.downlinkRate
            << " Mbit/s\n";
        if (const CxpCamera *camera = CameraOn(port))
            out << "    camera " << camera->Config().model << " " << camera->Config().serial << ", link " << port.link
                << ", " << (camera->Running() ? "running at " + std::to_string(camera->BitRate()) + " Mbit/s" : "off")
                << "\n";
        const TrafficCounters &traffic = port.traffic;
        out << "    fault " << DescribeCameraFault(port.fault) << ", noise " << port.noisePerMs << "/ms, commands "
            << traffic.commandsReceived << ", acks " << traffic.acksSent << ", crc errors " << traffic.crcErrors
            << ", framing errors " << traffic.framingErrors << "\n";
    }
}

}  // namespace vexo::sim
