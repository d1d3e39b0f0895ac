#include "board/ClhsBoard.h"

#include "board/MessageFraming.h"
#include "instance/SharedWord.h"
#include "protocol/ClhsRegisters.h"

namespace vexo::sim {
namespace {

namespace clhs = protocol::clhs;
using enum ClhsRegister;

constexpr uint64_t kIdentitySelect = 0x7654321076543210ull;
constexpr uint64_t kUnlockedErrorsPerMs = 1000;
constexpr auto kResetDoneAfter = std::chrono::milliseconds(1);
// How long the camera takes to accept a message from the transmit buffer.
constexpr auto kMessageTakeTime = std::chrono::microseconds(10);
constexpr uint64_t kLinkRxCameraRevision = 1u << 0;  // the camera's revision messages arrive
constexpr uint64_t kLinkRxBoardRevision = 1u << 1;   // the camera receives the board's

constexpr bool IsReadable(ClhsRegister id) {
    switch (id) {
        case kMdioWrite:
        case kMdioWriteBus:
        case kDiscoverySelectWrite:
        case kGrabberStatusWrite:
        case kTxCmdData:
        case kTxCmdCommand:
        case kLedModeWrite: return false;
        default: return true;
    }
}

constexpr bool IsWritable(ClhsRegister id) {
    switch (id) {
        case kMdioWrite:
        case kMdioWriteBus:
        case kNetworkControllerReset:
        case kTransceiverReset:
        case kGtxSetup:
        case kPcsSetup:
        case kControlCoreReset:
        case kTxCmdData:
        case kTxCmdCommand:
        case kTxRevision:
        case kDiscoverySelectWrite:
        case kGrabberStatusWrite:
        case kLedModeWrite: return true;
        default: return false;
    }
}

// Registers that read one word of the board's state, written whole, and
// change nothing by being read: readable without the board's lock.
constexpr bool IsPlainWord(ClhsRegister id) {
    switch (id) {
        case kNetworkControllerReset:
        case kTransceiverReset:
        case kDiscoverySelectRead:
        case kAppletMasterId:
        case kAppletExtensionId:
        case kGrabberStatusRead:
        case kGtxSetup:
        case kPcsSetup:
        case kControlCoreReset:
        case kTxRevision:
        case kPcsPacketCounter:
        case kLostPackages:
        case kXCoreReceivedPackage:
        case kXCoreSendPackage: return true;
        default: return false;
    }
}

void Increment(uint64_t &counter) { StoreWord(counter, counter + 1); }

}  // namespace

ClhsBoard::ClhsBoard(const BoardConfig &config, uint32_t index, ClhsBoardState &state, ClhsPortCameras cameras)
    : Board(config, index), timing_(config.timing), registers_(config.applet), state_(state), cameras_(std::move(cameras)) {
    const auto &operators = config.applet.operators;
    for (size_t master = 0; master < operators.size(); ++master)
        for (size_t extension = 0; extension < operators[master].size(); ++extension) {
            const uint32_t shift = 4 * operators[master][extension];
            appletMasterIds_ |= uint64_t(master + 1) << shift;
            appletExtensionIds_ |= uint64_t(extension) << shift;
        }
}

// Transceivers out of reset and settled long ago, the board sending revision
// messages, X-Cores released, MDIO chips reset, identity routing.
void ClhsBoard::PowerOnState() {
    const Clock::time_point now = Clock::now();
    for (uint32_t port = 0; port < kClhsPorts; ++port) {
        state_.ports[port].errors = ErrorCounter(now);
        state_.ports[port].plugged = cameras_[port].camera != nullptr;
    }
    StoreWord(state_.discoverySelect, kIdentitySelect);
}

ClhsBoard::Clock::time_point ClhsBoard::LockFrom(uint32_t port) const {
    const ClhsCamera *camera = cameras_[port].camera.get();
    const Clock::time_point base = camera ? std::max(state_.ports[port].lockBase, camera->LinksBackAt()) : state_.ports[port].lockBase;
    return base + timing_.Lock();
}

// Everything a lock needs but the time to acquire it.
bool ClhsBoard::LinkUp(uint32_t port, Clock::time_point now) const {
    const ClhsPortCamera &link = cameras_[port];
    return !Held(port) && state_.ports[port].plugged && link.camera && link.camera->LinkUp(link.link, now);
}

bool ClhsBoard::Locked(uint32_t port, Clock::time_point now) const { return LinkUp(port, now) && now >= LockFrom(port); }

bool ClhsBoard::Aligned(uint32_t port, Clock::time_point now) const {
    return Locked(port, now) && LoadWord(state_.ports[port].pcsSetup) == 0;
}

bool ClhsBoard::CarriesMessages(uint32_t port, Clock::time_point now) const {
    const Port &physical = state_.ports[port];
    return Aligned(port, now) && physical.txRevision == 1 && physical.xcoreReset == 0;
}

uint64_t ClhsBoard::PortMask(bool (ClhsBoard::*test)(uint32_t, Clock::time_point) const, Clock::time_point now) const {
    uint64_t mask = 0;
    for (uint32_t port = 0; port < kClhsPorts; ++port)
        if ((this->*test)(port, now)) mask |= 1u << port;
    return mask;
}

uint64_t ClhsBoard::ResetDoneMask(Clock::time_point now) const {
    uint64_t mask = 0;
    for (uint32_t port = 0; port < kClhsPorts; ++port)
        if (!Held(port) && now >= state_.ports[port].resetReleasedAt + kResetDoneAfter) mask |= 1u << port;
    return mask;
}

// An unlocked port gathers errors until it locks, and only the link's noise after that.
void ClhsBoard::AdvanceErrors(uint32_t port, Clock::time_point now) {
    ErrorCounter &errors = state_.ports[port].errors;
    if (!Locked(port, now)) return errors.Advance(now, kUnlockedErrorsPerMs);
    errors.Advance(std::min(now, LockFrom(port)), kUnlockedErrorsPerMs);
    errors.Advance(now, state_.ports[port].noisePerMs);
}

void ClhsBoard::AdvanceErrorCounters(Clock::time_point now) {
    for (uint32_t port = 0; port < kClhsPorts; ++port) AdvanceErrors(port, now);
}

std::optional<uint32_t> ClhsBoard::RoutedPort(uint32_t appletPort) const {
    const uint32_t port = uint32_t(LoadWord(state_.discoverySelect) >> (4 * appletPort)) & 0xF;
    if (port >= kClhsPorts) return std::nullopt;
    return port;
}

void ClhsBoard::DropUnarrived(uint32_t port, Clock::time_point now) {
    for (uint32_t appletPort = 0; appletPort < kClhsPorts; ++appletPort)
        if (RoutedPort(appletPort) == port) {
            const uint32_t lost = state_.channels[appletPort].DropUnarrived(now);
            StoreWord(state_.ports[port].lostPackages, state_.ports[port].lostPackages + lost);
        }
}

int32_t ClhsBoard::ReadRegister(uint32_t address, uint64_t &value) {
    const std::optional<ClhsRegisterAddress> reg = registers_.Decode(address);
    if (!reg || !IsReadable(reg->id)) return kFailed;
    value = IsPlainWord(reg->id) ? ReadPlainWord(reg->id, reg->port) : ReadTimedRegister(reg->id, reg->port, Clock::now());
    return 0;
}

bool ClhsBoard::ReadRegisterUnlocked(uint32_t address, uint64_t &value) const {
    const std::optional<ClhsRegisterAddress> reg = registers_.Decode(address);
    if (!reg || !IsPlainWord(reg->id)) return false;
    value = ReadPlainWord(reg->id, reg->port);
    return true;
}

uint64_t ClhsBoard::ReadPlainWord(ClhsRegister id, uint32_t port) const {
    const Port &physical = state_.ports[port];
    switch (id) {
        case kNetworkControllerReset: return LoadWord(state_.networkReset);
        case kTransceiverReset: return LoadWord(state_.transceiverReset);
        case kDiscoverySelectRead: return LoadWord(state_.discoverySelect);
        case kAppletMasterId: return appletMasterIds_;
        case kAppletExtensionId: return appletExtensionIds_;
        case kGrabberStatusRead: return LoadWord(state_.grabberStatus);
        case kGtxSetup: return LoadWord(physical.gtxSetup);
        case kPcsSetup: return LoadWord(physical.pcsSetup);
        case kControlCoreReset: return LoadWord(physical.xcoreReset);
        case kTxRevision: return LoadWord(physical.txRevision);
        case kPcsPacketCounter: return LoadWord(physical.pcsPackets);
        case kLostPackages: return LoadWord(physical.lostPackages);
        case kXCoreReceivedPackage: return LoadWord(physical.receivedPackages);
        case kXCoreSendPackage: return LoadWord(physical.sentPackages);
        default: return 0;
    }
}

uint64_t ClhsBoard::ReadTimedRegister(ClhsRegister id, uint32_t port, Clock::time_point now) {
    switch (id) {
        case kMdioReadReg:
        case kMdioReadRegBus: return state_.mdio[port].Status(now);
        case kTransceiverLocked:
        case kGtxStatusShared: return PortMask(&ClhsBoard::Locked, now);
        case kGtxStatus: return Locked(port, now) ? 1 : 0;
        case kTransceiverRxResetDone:
        case kTransceiverTxResetDone: return ResetDoneMask(now);
        case kNotInTable:
            AdvanceErrors(port, now);
            if (!Locked(port, now)) state_.ports[port].errors.AddOne();
            return state_.ports[port].errors.Count() & 0xFFFFFFFFu;
        case kPcsStatus: return Aligned(port, now) ? 1 : 0;
        // The camera sends revision messages while aligned, and hears the board's while it sends them.
        case kLinkRxStatus:
            if (!Aligned(port, now)) return 0;
            return kLinkRxCameraRevision | (state_.ports[port].txRevision == 1 ? kLinkRxBoardRevision : 0);
        case kTxCmdStatus:
            return state_.channels[port].TxStatus(now, RoutedPort(port) && state_.ports[*RoutedPort(port)].fault.Active(ClhsFaultKind::TxFull));
        case kRxCmdStatus: return state_.channels[port].ReadRxStatus(now);
        case kRxCmdData: return state_.channels[port].ReadRxData(now);
        default: return 0;
    }
}

int32_t ClhsBoard::WriteRegister(uint32_t address, uint64_t value) {
    const std::optional<ClhsRegisterAddress> reg = registers_.Decode(address);
    if (!reg || !IsWritable(reg->id)) return kFailed;
    WritePortRegister(reg->id, reg->port, value, Clock::now());
    return 0;
}

void ClhsBoard::WritePortRegister(ClhsRegister id, uint32_t port, uint64_t value, Clock::time_point now) {
    Port &physical = state_.ports[port];
    switch (id) {
        case kTxCmdData: state_.channels[port].AppendWord(uint32_t(value)); break;
        case kTxCmdCommand: WriteTxCommand(port, value, now); break;
        case kMdioWrite:
        case kMdioWriteBus: WriteMdioCommand(port, value, now); break;
        case kNetworkControllerReset: WriteNetworkReset(value); break;
        case kTransceiverReset: WriteTransceiverReset(value, now); break;
        case kControlCoreReset: WriteXCoreReset(port, value, now); break;
        case kPcsSetup:
            AdvanceErrorCounters(now);
            StoreWord(physical.pcsSetup, value);
            if (value != 0) DropUnarrived(port, now);
            break;
        case kTxRevision:
            StoreWord(physical.txRevision, value);
            if (value != 1) DropUnarrived(port, now);
            break;
        case kGtxSetup: StoreWord(physical.gtxSetup, value); break;
        case kDiscoverySelectWrite: StoreWord(state_.discoverySelect, value); break;
        case kGrabberStatusWrite: StoreWord(state_.grabberStatus, value); break;
        case kLedModeWrite: StoreWord(physical.led, value); break;
        default: break;
    }
}

void ClhsBoard::WriteTransceiverReset(uint64_t value, Clock::time_point now) {
    AdvanceErrorCounters(now);
    for (uint32_t port = 0; port < kClhsPorts; ++port) {
        const bool held = value >> port & 1;
        if (Held(port) && !held) state_.ports[port].lockBase = state_.ports[port].resetReleasedAt = now;
        if (!Held(port) && held) DropUnarrived(port, now);
    }
    StoreWord(state_.transceiverReset, value & ((1u << kClhsPorts) - 1));
}

// The physical layer chips restart when their reset is released.
void ClhsBoard::WriteNetworkReset(uint64_t value) {
    if (state_.networkReset != 0 && value == 0)
        for (MdioBus &bus : state_.mdio) bus.Reset();
    StoreWord(state_.networkReset, value);
}

// The X-Core reset clears the message channels that go through the port.
void ClhsBoard::WriteXCoreReset(uint32_t port, uint64_t value, Clock::time_point now) {
    if (value != 0)
        for (uint32_t appletPort = 0; appletPort < kClhsPorts; ++appletPort)
            if (RoutedPort(appletPort) == port) {
                DropUnarrived(port, now);
                state_.channels[appletPort].Reset();
            }
    StoreWord(state_.ports[port].xcoreReset, value);
}

void ClhsBoard::WriteMdioCommand(uint32_t bus, uint64_t word, Clock::time_point now) {
    state_.mdio[bus].Command(word, now, state_.ports[bus].fault.Take(ClhsFaultKind::MdioError));
}

void ClhsBoard::WriteTxCommand(uint32_t appletPort, uint64_t command, Clock::time_point now) {
    if (command == clhs::kTxCommandSend) Send(appletPort, now);
    if (command == clhs::kTxCommandClear) ClearTxBuffer(appletPort);
}

// A buffer reported full by a fault stays so through the clear command.
void ClhsBoard::ClearTxBuffer(uint32_t appletPort) {
    const std::optional<uint32_t> port = RoutedPort(appletPort);
    if (port && state_.ports[*port].fault.Take(ClhsFaultKind::TxFull)) return state_.channels[appletPort].StickFull();
    state_.channels[appletPort].ClearBuffer();
}

// The buffer's words leave as one message to the camera on the routed port.
void ClhsBoard::Send(uint32_t appletPort, Clock::time_point now) {
    MessageChannel &channel = state_.channels[appletPort];
    const std::span<const uint32_t> words = channel.TakeMessage();
    const std::optional<uint32_t> port = RoutedPort(appletPort);
    if (!port || words.empty() || !CarriesMessages(*port, now) || state_.ports[*port].fault.Take(ClhsFaultKind::SendFail))
        return channel.Sent({}, true);
    Port &physical = state_.ports[*port];
    const Clock::duration take = physical.fault.Take(ClhsFaultKind::TxBusy)
                                     ? Clock::duration(std::chrono::milliseconds(physical.fault.value))
                                     : (Config().timing.wire ? Clock::duration(kMessageTakeTime) : Clock::duration::zero());
    channel.Sent(now + take, false);
    Increment(physical.sentPackages);
    std::array<uint8_t, kMaxGenCpBytes> bytes;
    const std::optional<uint32_t> size = GenCpBytesOfMessage(words, bytes);
    if (!size) {
        ++physical.traffic.framingErrors;
        return;
    }
    const ClhsPortCamera &link = cameras_[*port];
    const Clock::time_point arrival = now + take;
    const ClhsCamera::Answer &answer =
        link.camera->Receive({{bytes.data(), *size}, link.link, arrival}, physical.fault, physical.traffic);
    Deliver(appletPort, *port, answer, arrival);
}

// Answers leave in order, each after the one before it; the links drop for a
// hotplug once its acknowledge is out.
void ClhsBoard::Deliver(uint32_t appletPort, uint32_t port, const ClhsCamera::Answer &answer, Clock::time_point arrival) {
    const Clock::time_point first = arrival + timing_.TurnAround();
    Clock::time_point done = Queue(appletPort, port, answer.preliminary, first);
    done = std::max(done, Queue(appletPort, port, answer.final, first + answer.finalDelay));
    if (answer.hotplug) cameras_[port].camera->StartHotplug(std::max(done, first));
}

// Queues an acknowledge's message, readable when its last word arrived;
// returns then.
ClhsBoard::Clock::time_point ClhsBoard::Queue(uint32_t appletPort, uint32_t port, const GenCpPacket &ack,
                                              Clock::time_point at) {
    if (ack.Empty()) return at;
    MessageChannel &channel = state_.channels[appletPort];
    Port &physical = state_.ports[port];
    std::array<uint32_t, MessageChannel::kMessageWords> words;
    const uint32_t count = MessageOfGenCpBytes(ack.Message(), words);
    const Clock::time_point due = std::max(at, channel.LastDue()) + count * timing_.DownlinkWord(cameras_[port].camera->LinkSpeed());
    Increment(physical.pcsPackets);
    const bool failed = physical.fault.Take(ClhsFaultKind::RxFail);
    if (channel.Enqueue({words.data(), count}, due, failed))
        Increment(physical.receivedPackages);
    else
        Increment(physical.lostPackages);
    return due;
}

int32_t ClhsBoard::Plug(uint32_t port, bool plugged) {
    if (port >= kClhsPorts) return kFailed;
    const Clock::time_point now = Clock::now();
    AdvanceErrorCounters(now);
    Port &physical = state_.ports[port];
    if (plugged && !physical.plugged) physical.lockBase = now;
    if (!plugged) DropUnarrived(port, now);
    physical.plugged = plugged;
    return 0;
}

int32_t ClhsBoard::InjectNamedFault(uint32_t port, std::string_view kind, uint32_t count) {
    const std::optional<ClhsFault> fault = ParseClhsFault(kind, count);
    if (port >= kClhsPorts || !fault) return kFailed;
    state_.ports[port].fault = *fault;
    return 0;
}

int32_t ClhsBoard::SetLinkNoise(uint32_t port, uint32_t errorsPerMs) {
    if (port >= kClhsPorts) return kFailed;
    AdvanceErrorCounters(Clock::now());
    state_.ports[port].noisePerMs = errorsPerMs;
    return 0;
}

int32_t ClhsBoard::ReadTraffic(uint32_t port, TrafficCounters &traffic) const {
    if (port >= kClhsPorts) return kFailed;
    traffic = state_.ports[port].traffic;
    return 0;
}

void ClhsBoard::RepairTransientState() {
    for (MessageChannel &channel : state_.channels) channel.Repair();
}

void ClhsBoard::Describe(std::ostream &out) {
    Board::Describe(out);
    const Clock::time_point now = Clock::now();
    for (uint32_t index = 0; index < kClhsPorts; ++index) {
        Port &port = state_.ports[index];
        AdvanceErrors(index, now);
        out << "  port " << index << ": cable " << (port.plugged ? "plugged" : "unplugged") << ", transceiver "
            << (Held(index) ? "in reset" : "running") << ", link " << (Locked(index, now) ? "locked" : "unlocked")
            << (Aligned(index, now) ? ", aligned" : "") << (CarriesMessages(index, now) ? ", carries messages" : "")
            << ", errors " << port.errors.Count() << ", x-core reset " << port.xcoreReset << "\n";
        if (const ClhsCamera *camera = cameras_[index].camera.get())
            out << "    camera link " << cameras_[index].link << " of " << camera->LinkCount() << ", "
                << (camera->LinkUp(cameras_[index].link, now) ? "up" : "down") << ", device id " << camera->DeviceId() << "\n";
        const TrafficCounters &traffic = port.traffic;
        out << "    fault " << DescribeClhsFault(port.fault) << ", noise " << port.noisePerMs << "/ms, commands "
            << traffic.commandsReceived << ", acks " << traffic.acksSent << ", framing errors " << traffic.framingErrors
            << ", messages sent " << port.sentPackages << ", received " << port.receivedPackages << ", lost "
            << port.lostPackages << "\n";
    }
}

}  // namespace vexo::sim
