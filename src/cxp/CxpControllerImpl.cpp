#include "cxp/CxpControllerImpl.h"

#include <ctime>

#include "board/BoardLibraries.h"
#include "cxp/CxpControlCore.h"
#include "cxp/CxpLinkSpeed.h"
#include "cxp/CxpSettings.h"
#include "cxp/PollPacer.h"
#include "logging/Record.h"
#include "nox_genicam.h"

namespace vexo::genicam {

using cxp::CxpRegister;
using templates::platform::RecursiveMutex;
using tools::logging::PortMaskItem;
using tools::logging::kLevelDetail;
using tools::logging::kLevelError;
using tools::logging::kLevelInfo;
using tools::logging::kLevelTrace;
using tools::logging::kLevelWarning;

namespace {

constexpr uint32_t kUplinkReadyBit = 49;
constexpr uint32_t kTransceiverLockedBit = 48;
constexpr uint64_t kStatusErrorCountMask = 0xFFFFFF;
constexpr auto kTransceiverReadyTimeout = std::chrono::milliseconds(500);
// Transceivers finish programming within tens of microseconds; until then the polls follow each other.
constexpr std::chrono::microseconds kTransceiverReadyBusy{100};

cxp::CxpRegisterMap LookUpRegisters(uint64_t applet) {
    if (applet == 0) return {};
    return cxp::CxpRegisterMap::Find([applet](const char *name) { return FindAppletRegister(applet, name); });
}

bool HasErrorCounters(uint32_t interfaceType) {
    return interfaceType == 1 || interfaceType == 2 || interfaceType == 3 || interfaceType == 6;
}

}  // namespace

CxpControllerImpl::RegisterLockGuard::RegisterLockGuard(CxpControllerImpl &impl)
    : lock_(impl.registerLock_), held_(lock_.TryLock(kRegisterLockTimeout)) {
    if (!held_) impl.log_.Write(kLevelError, "Timed out waiting for the register lock " + lock_.Name());
}

CxpControllerImpl::RegisterLockGuard::~RegisterLockGuard() {
    if (held_) lock_.Unlock();
}

CxpControllerImpl::CxpControllerImpl(uint64_t device, uint64_t applet, int32_t boardType, uint32_t boardIndex,
                                     tools::logging::Logger *logger)
    : device_(device),
      boardType_(boardType),
      boardIndex_(boardIndex),
      family_(BoardFamilyOf(boardType)),
      log_(logger),
      registerLock_(OpenBoardRegisterLock(device, boardIndex)),
      registers_(LookUpRegisters(applet)),
      info_(0) {
    const cxp::PortLayout layout = cxp::DetectPortLayout(registers_, family_);
    portCount_ = layout.portCount;
    interfaceType_ = layout.interfaceType;
    log_.Lazy(kLevelTrace, [this] {
        return "DetectNrPorts - NrPorts " + std::to_string(portCount_) + "GtxIf" + std::to_string(interfaceType_) +
               " Board Type:" + std::to_string(boardType_);
    });

    controlCoreResetAvailable_ = registers_.HasAnyPort(CxpRegister::kControlCoreReset);
    if (!controlCoreResetAvailable_) log_.Write(kLevelWarning, "Failed to detect CXP core interface type");
    // A link that runs may be another program's, on the board both use: it is
    // left as it is, and only idle ports are held in reset.
    const uint32_t live = LiveLinkPorts();
    SetControlCoreReset(AllPortsMask() & ~live, cxp::kResetHoldAll);

    const auto now = std::chrono::steady_clock::now();
    for (uint32_t port = 0; port < cxp::kMaxPorts; ++port) {
        sync_[port] = SyncState{now, 0, false};
        controlCoreReset_[port] = (live >> port & 1) ? cxp::kResetRunning : cxp::kResetReleaseUplink;
    }
    for (uint32_t port = 0; port < portCount_; ++port) SetLedMode(port, cxp::kLedAfterConstruction);
    info_ = DiscoveryInfo(portCount_);

    maxControlPacketSize_ = cxp::LoadMaxControlPacketSize();
    log_.Write(kLevelInfo,
               "Using VEXO_CXP_MAX_CONTROL_PACKET_SIZE                (bytes) = " + std::to_string(maxControlPacketSize_));
    packetCapture_ = cxp::LoadPacketCaptureEnabled();
    if (packetCapture_) OpenPacketLogs();
}

// Ports whose control core runs and whose transceiver holds its lock: the
// error count stands still between two reads (and the transceiver reports the
// link up, where it can).
uint32_t CxpControllerImpl::LiveLinkPorts() {
    // Without error counters nothing tells a live link from an idle port.
    if (!controlCoreResetAvailable_ || (!HasErrorCounters(interfaceType_) && interfaceType_ != 10)) return 0;
    RegisterLockGuard lock(*this);
    if (!lock.Held()) return 0;
    bool reported = false;
    uint32_t live = LinkUpMask(AllPortsMask(), reported);
    for (uint32_t port = 0; port < portCount_; ++port) {
        uint64_t reset = 0;
        const std::optional<uint64_t> first = ReadTransceiverErrorCount(port);
        const std::optional<uint64_t> second = ReadTransceiverErrorCount(port);
        const bool running = ReadRegister(CxpRegister::kControlCoreReset, port, reset) == ERR_NONE &&
                             reset == cxp::kResetRunning;
        if (!first || first != second || !running) live &= ~(1u << port);
    }
    return live;
}

CxpControllerImpl::~CxpControllerImpl() {
    for (uint32_t port = 0; port < portCount_; ++port) SetLedMode(port, cxp::kLedPacketLogging);
}

void CxpControllerImpl::OpenPacketLogs() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    for (uint32_t port = 0; port < portCount_; ++port) {
        auto file = std::make_unique<cxp::PacketCaptureFile>(boardIndex_, port, local);
        if (!file->IsOpen()) log_.Write(kLevelWarning, "Failed to open packet log " + file->FileName());
        packetLogs_[port] = std::move(file);
    }
    for (uint32_t port = 0; port < portCount_; ++port) SetLedMode(port, cxp::kLedPacketLogging);
}

size_t CxpControllerImpl::OpenPacketLogCount() const {
    size_t count = 0;
    for (const auto &file : packetLogs_) count += file && file->IsOpen() ? 1 : 0;
    return count;
}

// --- board registers -----------------------------------------------------------

int32_t CxpControllerImpl::ReadRegister(CxpRegister reg, uint32_t port, uint64_t &value) {
    const uint32_t address = registers_.Address(reg, port);
    if (address == 0) return ERR_NO_CXP_INTERFACE;
    return ReadBoardRegister(device_, address, &value);
}

int32_t CxpControllerImpl::WriteRegister(CxpRegister reg, uint32_t port, uint64_t value) {
    const uint32_t address = registers_.Address(reg, port);
    if (address == 0) return ERR_NO_CXP_INTERFACE;
    return WriteBoardRegister(device_, address, value);
}

int32_t CxpControllerImpl::SetControlCoreReset(uint32_t portMask, uint32_t value) {
    RecursiveMutex::Guard guard(mutex_);
    portMask &= AllPortsMask();
    int32_t status = controlCoreResetAvailable_ ? ERR_NONE : ERR_NO_CXP_INTERFACE;
    if (status == ERR_NONE) {
        RegisterLockGuard lock(*this);
        if (!lock.Held()) status = ERR_OPERATION_BLOCKED;
        for (uint32_t port = 0; lock.Held() && port < portCount_; ++port) {
            if (!(portMask >> port & 1)) continue;
            const int32_t written = WriteRegister(CxpRegister::kControlCoreReset, port, value);
            if (written == ERR_NONE)
                controlCoreReset_[port] = value;
            else
                status = written;
        }
    }
    if (status == ERR_NONE)
        log_.Write(kLevelDetail, PortMaskItem(portMask), "CXP Control Core Reset set to " + std::to_string(value));
    else
        log_.Write(kLevelError, PortMaskItem(portMask), "Failed to reset CXP Control Core");
    return status;
}

// Another process may have changed the register since we wrote it, so the
// board's value wins over our record when it can be read.
uint32_t CxpControllerImpl::ControlCoreResetValue(uint32_t port) {
    if (port >= cxp::kMaxPorts) return 0;
    RecursiveMutex::Guard guard(mutex_);
    RegisterLockGuard lock(*this);
    uint64_t value = 0;
    if (lock.Held() && ReadRegister(CxpRegister::kControlCoreReset, port, value) == ERR_NONE)
        controlCoreReset_[port] = static_cast<uint32_t>(value);
    return controlCoreReset_[port];
}

void CxpControllerImpl::SetLedMode(uint32_t port, uint32_t mode) {
    if (port >= cxp::kMaxPorts) return;
    RecursiveMutex::Guard guard(mutex_);
    ledMode_[port] = mode;
    if (!registers_.Has(CxpRegister::kLedWrite, port)) return;
    RegisterLockGuard lock(*this);
    if (lock.Held()) WriteRegister(CxpRegister::kLedWrite, port, mode);
}

uint32_t CxpControllerImpl::LedMode(uint32_t port) {
    RecursiveMutex::Guard guard(mutex_);
    return port < cxp::kMaxPorts ? ledMode_[port] : 0;
}

std::optional<uint64_t> CxpControllerImpl::ReadTransceiverErrorCount(uint32_t port) {
    RecursiveMutex::Guard guard(mutex_);
    if (port >= portCount_) return 0;
    const bool counters = HasErrorCounters(interfaceType_);
    if (!counters && interfaceType_ != 10) {
        log_.Write(kLevelWarning, "Failed to check transceiver lock: Invalid GTX interface");
        return 0;
    }
    RegisterLockGuard lock(*this);
    uint64_t value = 0;
    if (!lock.Held()) return std::nullopt;
    const CxpRegister reg = counters ? CxpRegister::kNotInTable : CxpRegister::kTransceiverStatus;
    if (ReadRegister(reg, port, value) != ERR_NONE) return std::nullopt;
    return counters ? value : value & kStatusErrorCountMask;
}

uint32_t CxpControllerImpl::LinkUpMask(uint32_t requested, bool &reported) {
    RecursiveMutex::Guard guard(mutex_);
    reported = interfaceType_ == 6 || interfaceType_ == 10;
    if (!reported) return requested;
    RegisterLockGuard lock(*this);
    uint32_t up = 0;
    if (!lock.Held()) return up;
    if (interfaceType_ == 6) {
        uint64_t status = 0;
        if (ReadRegister(CxpRegister::kRxStatus, 0, status) != ERR_NONE) return up;
        for (uint32_t port = 0; port < portCount_; ++port)
            if ((requested >> port & 1) && (status >> (2 * port + 1) & 1)) up |= 1u << port;
        return up;
    }
    for (uint32_t port = 0; port < portCount_; ++port) {
        uint64_t status = 0;
        if ((requested >> port & 1) && ReadRegister(CxpRegister::kTransceiverStatus, port, status) == ERR_NONE &&
            (status >> kTransceiverLockedBit & 1))
            up |= 1u << port;
    }
    return up;
}

int32_t CxpControllerImpl::WaitForBoardBit(CxpRegister reg, uint32_t port, uint32_t bit) {
    const auto deadline = std::chrono::steady_clock::now() + kTransceiverReadyTimeout;
    cxp::PollPacer pacer(kTransceiverReadyBusy, kTransceiverReadyBusy);
    for (;;) {
        uint64_t value = 0;
        const int32_t status = ReadRegister(reg, port, value);
        if (status != ERR_NONE) return status;
        if (value >> bit & 1) return ERR_NONE;
        if (std::chrono::steady_clock::now() >= deadline) return ERR_LINK_TIMEOUT;
        pacer.Pause();
    }
}

bool CxpControllerImpl::HasUplinkRegisters() const { return registers_.HasAnyPort(CxpRegister::kUpLinkBitRate); }

int32_t CxpControllerImpl::SetUplink(uint32_t port, bool high) {
    RecursiveMutex::Guard guard(mutex_);
    if (!registers_.Has(CxpRegister::kUpLinkBitRate, port)) return ERR_NONE;
    const int32_t ready = WaitForBoardBit(CxpRegister::kTransceiverStatus, port, kUplinkReadyBit);
    if (ready != ERR_NONE) return ready;
    return WriteRegister(CxpRegister::kUpLinkBitRate, port, high ? 1 : 0);
}

int32_t CxpControllerImpl::SetDownlink(uint32_t port, uint32_t mbps) {
    RecursiveMutex::Guard guard(mutex_);
    const uint32_t code = cxp::RateCode(mbps);
    if (code == 0) return ERR_INVALID_LINK_SPEED;
    switch (interfaceType_) {
        case 10: return WriteRegister(CxpRegister::kDownLinkBitRate, port, mbps);
        case 3:
        case 6: {
            const int32_t status = WriteRegister(CxpRegister::kSetBitRate, port, code);
            return status != ERR_NONE ? status : WaitForBoardBit(CxpRegister::kSetBitRateDone, 0, port);
        }
        case 1:
        case 2: {
            // The receiver's rate code lives at address 0 of the transceiver's configuration port.
            int32_t status = WaitForBoardBit(CxpRegister::kDrpReady, 0, port);
            if (status == ERR_NONE) status = WriteRegister(CxpRegister::kDrpAddress, port, 0);
            if (status == ERR_NONE) status = WriteRegister(CxpRegister::kDrpWriteData, port, code);
            return status != ERR_NONE ? status : WaitForBoardBit(CxpRegister::kDrpReady, 0, port);
        }
        default: return ERR_NO_CXP_INTERFACE;
    }
}

int32_t CxpControllerImpl::UpdatePowerMask(uint32_t set, uint32_t clear, bool &changed) {
    RecursiveMutex::Guard guard(mutex_);
    changed = false;
    if (!registers_.Has(CxpRegister::kPowerEnableRead) || !registers_.Has(CxpRegister::kPowerEnableWrite))
        return ERR_NO_CXP_INTERFACE;
    RegisterLockGuard lock(*this);
    if (!lock.Held()) return ERR_OPERATION_BLOCKED;
    uint64_t value = 0;
    const int32_t status = ReadRegister(CxpRegister::kPowerEnableRead, 0, value);
    if (status != ERR_NONE) return status;
    const uint32_t current = static_cast<uint32_t>(value) & AllPortsMask();
    const uint32_t wanted = (current | (set & AllPortsMask())) & ~clear;
    if (wanted == current) return ERR_NONE;
    changed = true;
    return WriteRegister(CxpRegister::kPowerEnableWrite, 0, wanted);
}

}  // namespace vexo::genicam
