#include "board/FirmwareControllerBase.h"

#include <cstdio>
#include <iostream>
#include <thread>

#include "board/BoardLibraries.h"
#include "logging/LoggerNames.h"
#include "logging/Record.h"

namespace vexo::genicam {

using tools::logging::PortMaskItem;

namespace {

int32_t ReadBoardType(uint64_t device) { return static_cast<int32_t>(QueryBoardInfo(device, "board/type")); }

uint16_t ReadFirmwareVersion(uint64_t device) {
    const uint32_t major = static_cast<uint32_t>(QueryBoardInfo(device, "firmware/major")) & 0xFF;
    const uint32_t minor = static_cast<uint32_t>(QueryBoardInfo(device, "firmware/minor")) & 0xFF;
    return static_cast<uint16_t>(major << 8 | minor);
}

}  // namespace

FirmwareControllerBase::FirmwareControllerBase(uint64_t device, uint64_t applet, ControllerOwner *owner)
    : device_(device),
      applet_(applet),
      owner_(owner),
      boardType_(ReadBoardType(device)),
      boardIndex_(QueryBoardIndex(device, 0)),
      firmwareVersion_(ReadFirmwareVersion(device)) {
    downlinkBitRate_.fill(0);
    uplinkSetting_.fill(kUplinkNotSet);
}

FirmwareControllerBase::~FirmwareControllerBase() = default;

tools::logging::Logger *FirmwareControllerBase::GetLogger() {
    return CachedLogger(tools::logging::names::kFirmwareControllerBase);
}

tools::logging::Logger *FirmwareControllerBase::CachedLogger(const char *name) {
    return logger_.Get(name);
}

std::string FirmwareControllerBase::BoardItems() const {
    return ",board-index=" + std::to_string(boardIndex_) +
           ",board-serial=" + std::to_string(QueryBoardInfo(device_, "board/serial")) +
           ",board-type=" + std::to_string(boardType_);
}

// --- base behaviour of the operations --------------------------------------

void FirmwareControllerBase::FinishSetup() {}

void FirmwareControllerBase::PowerOn(uint32_t portMask, uint32_t) {
    WriteRecord(GetLogger(), tools::logging::kLevelDetail,
                [this, portMask] { return BoardItems() + PortMaskItem(portMask); }, "Entering PowerOn");
}

void FirmwareControllerBase::PowerOff(uint32_t, uint32_t) {}
int32_t FirmwareControllerBase::LockLinks(uint32_t, uint32_t) { return ERR_NONE; }
int32_t FirmwareControllerBase::AttachLinks(uint32_t, uint32_t, uint32_t) { return ERR_NOT_IMPLEMENTED; }
bool FirmwareControllerBase::HasLiveLinks() { return false; }
void FirmwareControllerBase::Abort() {}
int32_t FirmwareControllerBase::SetLinkConfig(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t *) { return ERR_NONE; }
int32_t FirmwareControllerBase::ResetControlCore(uint32_t) { return ERR_NONE; }
uint32_t FirmwareControllerBase::GetAppletExtensionId(uint32_t) { return kNoId; }
uint32_t FirmwareControllerBase::GetAppletMasterId(uint32_t) { return kNoId; }
int32_t FirmwareControllerBase::SetDiscoverySelect(DiscoverySelect) { return -1; }
DiscoverySelect FirmwareControllerBase::GetDiscoverySelect() { return DiscoverySelect(DiscoverySelect::kNoRoutes); }

int32_t FirmwareControllerBase::ReadStreamPacketSizeMax(uint32_t, uint32_t *value) {
    if (value != nullptr) *value = 0;
    return ERR_NONE;
}

int32_t FirmwareControllerBase::WriteStreamPacketSizeMax(uint32_t, uint32_t) { return ERR_NONE; }

int32_t FirmwareControllerBase::ReadControlPacketSizeMax(uint32_t, uint32_t *value) {
    if (value != nullptr) *value = 0;
    return ERR_NONE;
}

void FirmwareControllerBase::ClearAckBuffers(uint32_t) {}

void FirmwareControllerBase::ResetDiscoverySelect() { SetDiscoverySelect(DiscoverySelect(DiscoverySelect::kIdentity)); }

int32_t FirmwareControllerBase::SetBoardProperty(uint32_t, uint32_t, uint32_t) { return ERR_NONE; }
int32_t FirmwareControllerBase::GetBoardProperty(uint32_t, void *, uint32_t, uint32_t) { return ERR_NONE; }
uint32_t FirmwareControllerBase::GetNrOfPorts() { return 0; }
bool FirmwareControllerBase::IsLinkConfigRegister(uint64_t) { return false; }
bool FirmwareControllerBase::IsLinkSynchronized(uint32_t) { return true; }

FirmwareControllerBase::LinkSync FirmwareControllerBase::CheckLinkSync(uint32_t port) {
    return IsLinkSynchronized(port) ? LinkSync::kSynchronized : LinkSync::kLost;
}
int32_t FirmwareControllerBase::ReadCameraInfo(uint32_t) { return ERR_NONE; }
int32_t FirmwareControllerBase::SetUplinkSpeed(uint32_t, uint32_t) { return ERR_INTERNAL; }
int32_t FirmwareControllerBase::SetControlCoreReset(uint32_t, uint32_t) { return ERR_INTERNAL; }

// --- helpers ----------------------------------------------------------------

void FirmwareControllerBase::SwitchPower(uint32_t portMask, uint32_t mode) {
    switch (mode) {
        case 0:
            PowerOff(portMask, 0);
            break;
        case 1:
            PowerOn(portMask, 0);
            break;
        case 2:
            PowerOff(portMask, 1);
            std::this_thread::sleep_for(kPowerCycleOffTime);
            PowerOn(portMask, 0);
            break;
        default:
            break;
    }
}

uint32_t FirmwareControllerBase::MapPortMaskForward(uint32_t portMask) {
    return GetDiscoverySelect().MapForward(portMask);
}

uint32_t FirmwareControllerBase::MapPortMaskReverse(uint32_t portMask) {
    return GetDiscoverySelect().MapReverse(portMask);
}

uint32_t FirmwareControllerBase::DiscoverySelectForwardEntry(uint32_t index) {
    return GetDiscoverySelect().ForwardEntry(index);
}

uint32_t FirmwareControllerBase::DiscoverySelectReverseEntry(uint32_t index) {
    return GetDiscoverySelect().ReverseEntry(index);
}

uint32_t FirmwareControllerBase::GetDownlinkBitRate(uint32_t port) const {
    return port < kPortArraySize ? downlinkBitRate_[port] : 0;
}

void FirmwareControllerBase::SetDownlinkBitRate(uint32_t port, uint32_t bitRate) {
    if (port < kPortArraySize) downlinkBitRate_[port] = bitRate;
}

uint32_t FirmwareControllerBase::GetUplinkSetting(uint32_t port) const {
    return port < kPortArraySize ? uplinkSetting_[port] : 0;
}

void FirmwareControllerBase::SetUplinkSetting(uint32_t port, uint32_t setting) {
    if (port < kPortArraySize) uplinkSetting_[port] = setting;
}

void FirmwareControllerBase::EnableConsoleTrace(bool enabled) {
    stopwatch_.Restart();
    consoleTrace_.store(enabled, std::memory_order_relaxed);
}

void FirmwareControllerBase::ConsoleTrace(const std::string &text) const {
    if (!IsConsoleTraceEnabled()) return;
    // One write per line, so lines of several threads do not interleave.
    std::cout << FormatConsoleTraceLine(stopwatch_.Elapsed(), text) << std::flush;
}

std::string FirmwareControllerBase::FormatConsoleTraceLine(std::chrono::nanoseconds elapsed,
                                                           const std::string &text) {
    const auto milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();
    char stamp[48];
    std::snprintf(stamp, sizeof stamp, "[%3lld.%03lld] ", static_cast<long long>(milliseconds / 1000),
                  static_cast<long long>(milliseconds % 1000));
    return stamp + text + "\n";
}

}  // namespace vexo::genicam
