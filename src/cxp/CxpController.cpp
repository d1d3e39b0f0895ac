#include "cxp/CxpController.h"

#include <cstring>
#include <thread>

#include "cxp/CxpCameraRegisters.h"
#include "cxp/CxpControlCore.h"
#include "cxp/CxpControllerImpl.h"
#include "cxp/CxpLinkSpeed.h"
#include "logging/LoggerNames.h"
#include "logging/Record.h"
#include "nox_genicam.h"

namespace vexo::genicam {

using cxp::CxpRegister;
using cxp::kCameraRegisterTimeoutMs;
namespace camera_register = cxp::camera_register;
using templates::platform::RecursiveMutex;
using tools::logging::kLevelDetail;
using tools::logging::kLevelWarning;

namespace {

constexpr uint32_t kPacketSizeReadTimeoutMs = 250;
constexpr uint64_t kAddressSpace = 1ull << 32;
constexpr uint32_t kAppletIdsWithoutRegister = 1;

uint32_t Nibble(uint64_t value, uint32_t index) { return index < 16 ? static_cast<uint32_t>(value >> (4 * index)) & 0xF : 0; }

}  // namespace

// A device string of the camera's bootstrap registers.
struct CxpController::CameraRegister {
    constexpr CameraRegister(const char *name, camera_register::DeviceString field, const char *failure,
                             uint32_t minimumRevision)
        : name(name), address(field.address), bytes(field.size), failure(failure), minimumRevision(minimumRevision) {}

    const char *name;
    uint32_t address;
    uint32_t bytes;
    const char *failure;
    uint32_t minimumRevision;  // 0: every camera has it
};

CxpController::CxpController(uint64_t device, uint64_t applet, ControllerOwner *owner, uint32_t, uint32_t powerUp)
    : FirmwareControllerBase(device, applet, owner),
      settings_(cxp::CxpSettings::Load()),
      log_(CachedLogger(tools::logging::names::kCxpController)) {
    settings_.Log(log_.Logger());
    impl_ = std::make_unique<CxpControllerImpl>(device, applet, BoardType(), BoardIndex(), log_.Logger());
    if (powerUp != 0) PowerOn(0xF, 0);
}

CxpController::~CxpController() = default;

tools::logging::Logger *CxpController::GetLogger() { return CachedLogger(tools::logging::names::kCxpController); }

BoardFamily CxpController::Family() const { return impl_->Family(); }

uint32_t CxpController::RaiseTimeout(uint32_t timeoutMs) const {
    return std::max(timeoutMs, settings_.commandAckTimeoutMs);
}

void CxpController::Sleep(uint32_t milliseconds) {
    if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void CxpController::SleepLogged(uint32_t milliseconds) {
    log_.Write(kLevelDetail, "Waiting " + std::to_string(milliseconds) + " milliseconds");
    Sleep(milliseconds);
}

// --- camera registers -------------------------------------------------------------

int32_t CxpController::AccessBlock(Access access, uint32_t port, uint64_t address, void *buffer, uint32_t bytes,
                                   ByteSwap swap, AcknowledgeMode acknowledgeMode, uint32_t timeoutMs) {
    if (address >= kAddressSpace || address + bytes > kAddressSpace) return ERR_INVALID_ARGUMENT;
    RecursiveMutex::Guard guard(LinkMutex());
    return impl_->ExecRWPacket(access, port, static_cast<uint32_t>(address), buffer, bytes, swap, acknowledgeMode,
                               RaiseTimeout(timeoutMs));
}

// Whole words only travel on the wire, so partial ones go through a zeroed copy.
int32_t CxpController::AccessPadded(Access access, uint32_t port, uint64_t address, const void *source, void *target,
                                    uint32_t bytes, ByteSwap swap, uint32_t timeoutMs) {
    const bool write = access == Access::kWrite;
    if ((write ? source : target) == nullptr) return ERR_INVALID_POINTER;
    const size_t padded = (size_t{bytes} + 3) & ~size_t{3};
    if (padded > kAddressSpace - 4) return ERR_INVALID_ARGUMENT;
    std::vector<std::byte> scratch(padded);
    if (write) std::memcpy(scratch.data(), source, bytes);
    const int32_t status = AccessBlock(access, port, address, scratch.data(), static_cast<uint32_t>(padded), swap,
                                       AcknowledgeMode::kRequired, timeoutMs);
    if (!write && status == ERR_NONE) std::memcpy(target, scratch.data(), bytes);
    return status;
}

int32_t CxpController::WriteMemory(uint32_t port, uint64_t address, const void *data, uint32_t bytes, ByteSwap swap,
                                   uint32_t timeoutMs) {
    return AccessPadded(Access::kWrite, port, address, data, nullptr, bytes, swap, timeoutMs);
}

int32_t CxpController::WriteRaw(uint32_t port, uint64_t address, const void *data, uint32_t bytes, ByteSwap swap,
                                uint32_t timeoutMs) {
    if (bytes % 4 != 0) return AccessPadded(Access::kWrite, port, address, data, nullptr, bytes, swap, timeoutMs);
    return AccessBlock(Access::kWrite, port, address, const_cast<void *>(data), bytes, swap,
                       AcknowledgeMode::kRequired, timeoutMs);
}

int32_t CxpController::WriteRegister(uint32_t port, uint64_t address, uint32_t value, ByteSwap swap,
                                     AcknowledgeMode acknowledgeMode, uint32_t timeoutMs) {
    return AccessBlock(Access::kWrite, port, address, &value, sizeof value, swap, acknowledgeMode, timeoutMs);
}

int32_t CxpController::ReadMemory(uint32_t port, uint64_t address, void *buffer, uint32_t bytes, uint32_t timeoutMs) {
    return AccessPadded(Access::kRead, port, address, nullptr, buffer, bytes, ByteSwap::kWireOrder, timeoutMs);
}

int32_t CxpController::ReadRaw(uint32_t port, uint64_t address, void *buffer, uint32_t bytes, ByteSwap swap,
                               uint32_t timeoutMs) {
    if (bytes % 4 != 0) return AccessPadded(Access::kRead, port, address, nullptr, buffer, bytes, swap, timeoutMs);
    return AccessBlock(Access::kRead, port, address, buffer, bytes, swap, AcknowledgeMode::kRequired, timeoutMs);
}

int32_t CxpController::ReadCameraRegister(uint32_t port, uint32_t address, uint32_t &value, uint32_t timeoutMs) {
    RecursiveMutex::Guard guard(LinkMutex());
    return impl_->ExecRWPacket(Access::kRead, port, address, &value, sizeof value, ByteSwap::kSwapWords,
                               AcknowledgeMode::kRequired, timeoutMs);
}

int32_t CxpController::WriteCameraRegister(uint32_t port, uint32_t address, uint32_t value,
                                           AcknowledgeMode acknowledgeMode, uint32_t timeoutMs) {
    RecursiveMutex::Guard guard(LinkMutex());
    return impl_->ExecRWPacket(Access::kWrite, port, address, &value, sizeof value, ByteSwap::kSwapWords,
                               acknowledgeMode, timeoutMs);
}

// A packet size register of the camera into *value, written only on success.
int32_t CxpController::ReadPacketSizeRegister(uint32_t port, uint32_t address, uint32_t *value) {
    if (value == nullptr) return ERR_INVALID_POINTER;
    uint32_t bytes = 0;
    const int32_t status = ReadCameraRegister(port, address, bytes, RaiseTimeout(kPacketSizeReadTimeoutMs));
    if (status == ERR_NONE) *value = bytes;
    return status;
}

int32_t CxpController::ReadStreamPacketSizeMax(uint32_t port, uint32_t *value) {
    return ReadPacketSizeRegister(port, camera_register::kStreamPacketSizeMax, value);
}

int32_t CxpController::WriteStreamPacketSizeMax(uint32_t port, uint32_t value) {
    return WriteCameraRegister(port, camera_register::kStreamPacketSizeMax, value, AcknowledgeMode::kRequired,
                               RaiseTimeout(kCameraRegisterTimeoutMs));
}

int32_t CxpController::ReadControlPacketSizeMax(uint32_t port, uint32_t *value) {
    return ReadPacketSizeRegister(port, camera_register::kControlPacketSizeMax, value);
}

void CxpController::ClearAckBuffers(uint32_t port) {
    RecursiveMutex::Guard guard(LinkMutex());
    std::vector<uint32_t> words;
    if (!impl_->ClearAckBuffer(port, words)) {
        log_.Write(kLevelWarning, "No valid interface");
        return;
    }
    log_.Write(kLevelWarning,
               "Cleared " + std::to_string(words.size()) + " words from buffer on port " + std::to_string(port));
    for (size_t i = 0; i < words.size(); ++i)
        log_.Write(kLevelDetail, "[AckBuffer] [#" + std::to_string(i) + "] " + cxp::Hex(words[i]));
}

bool CxpController::IsLinkConfigRegister(uint64_t address) {
    return address >= camera_register::kConnectionReset && address <= camera_register::kConnectionConfig &&
           address % 4 == 0;
}

// --- applet ------------------------------------------------------------------------

uint32_t CxpController::GetAppletMasterId(uint32_t port) {
    if (!impl_->Registers().Has(CxpRegister::kAppletMasterId)) return Nibble(kAppletIdsWithoutRegister, port);
    uint64_t value = 0;
    return impl_->ReadRegister(CxpRegister::kAppletMasterId, 0, value) == ERR_NONE ? Nibble(value, port) : 0;
}

uint32_t CxpController::GetAppletExtensionId(uint32_t port) {
    uint64_t value = 0;
    return impl_->ReadRegister(CxpRegister::kAppletExtensionId, 0, value) == ERR_NONE ? Nibble(value, port) : 0;
}

DiscoverySelect CxpController::GetDiscoverySelect() {
    uint64_t value = DiscoverySelect::kIdentity;
    if (impl_->ReadRegister(CxpRegister::kDiscoverySelectRead, 0, value) != ERR_NONE)
        value = DiscoverySelect::kIdentity;
    return DiscoverySelect(value);
}

// The control cores are held while the routing changes under them, then each
// physical port gets its own reset state back: the cores stay with their
// transceivers, whichever applet port those feed now.
int32_t CxpController::SetDiscoverySelect(DiscoverySelect value) {
    const cxp::CxpRegisterMap &registers = impl_->Registers();
    if (!registers.Has(CxpRegister::kDiscoverySelectWrite) || !registers.Has(CxpRegister::kDiscoverySelectRead)) {
        log_.Write(kLevelDetail, "No Discovery Select interface");
        return ERR_NONE;
    }
    RecursiveMutex::Guard guard(LinkMutex());
    const uint32_t ports = impl_->PortCount();
    std::array<uint32_t, cxp::kMaxPorts> remembered{};
    for (uint32_t port = 0; port < ports; ++port) remembered[port] = impl_->ControlCoreResetValue(port);
    impl_->SetControlCoreReset(impl_->AllPortsMask(), cxp::kResetReleaseUplink);
    const int32_t status = impl_->WriteRegister(CxpRegister::kDiscoverySelectWrite, 0, value.Value());
    uint32_t released = 0;
    for (uint32_t port = 0; port < ports; ++port) {
        impl_->SetControlCoreReset(1u << port, remembered[port]);
        if (!(remembered[port] & cxp::kResetDownlinkHeld)) released |= 1u << port;
    }
    log_.Write(kLevelDetail, "Discovery Select value changed to " + cxp::Hex(value.Value()));
    AwaitRelock(released);
    return status;
}

uint32_t CxpController::GetNrOfPorts() { return impl_->PortCount(); }

DiscoveryInfo *CxpController::GetDiscoveryInfo(bool update) {
    RecursiveMutex::Guard guard(LinkMutex());
    DiscoveryInfo &info = impl_->Info();
    if (!update) return &info;
    // Applet ports no operator uses read id 0: they record no AP master.
    for (uint32_t port = 0; port < info.GetPortCount(); ++port) {
        const uint32_t master = GetAppletMasterId(port);
        const uint32_t extension = GetAppletExtensionId(port);
        info.SetApPort(port, master == 0 ? DiscoveryInfo::kNone : master, master == 0 ? DiscoveryInfo::kNone : extension);
    }
    info.SetApTopologyKnown();
    return &info;
}

int32_t CxpController::SetControlCoreReset(uint32_t portMask, uint32_t value) {
    RecursiveMutex::Guard guard(LinkMutex());
    uint32_t held = 0;
    cxp::ForEachPort(portMask & impl_->AllPortsMask(), [&](uint32_t port) {
        if (impl_->ControlCoreResetValue(port) & cxp::kResetDownlinkHeld) held |= 1u << port;
    });
    const int32_t status = impl_->SetControlCoreReset(portMask, value);
    if (status == ERR_NONE && !(value & cxp::kResetDownlinkHeld)) AwaitRelock(held);
    return status;
}

// A downlink transceiver out of reset takes a while to lock again. The links
// that were up are awaited, so that the next command finds them up; a port
// without a link would only cost the whole wait.
void CxpController::AwaitRelock(uint32_t releasedMask) {
    uint32_t linked = 0;
    cxp::ForEachPort(releasedMask, [&](uint32_t port) {
        if (impl_->Sync(port).inSync) linked |= 1u << port;
    });
    if (linked == 0) return;
    int32_t status = ERR_NONE;
    WaitForLinkSynchronisation(linked, status);
}

int32_t CxpController::ResetControlCore(uint32_t portMask) {
    RecursiveMutex::Guard guard(LinkMutex());
    for (uint32_t value : {6u, 2u, 0u})
        if (int32_t status = SetControlCoreReset(portMask, value); status != ERR_NONE) return status;
    return ERR_NONE;
}

// --- camera information -----------------------------------------------------------

int32_t CxpController::ReadCameraInfo(uint32_t port) {
    static constexpr CameraRegister kStrings[] = {
        {"DeviceVendorName", camera_register::kDeviceVendorName, "Failed to read camera info manufacturer id", 0},
        {"DeviceModelName", camera_register::kDeviceModelName, "Failed to read camera info device name", 0},
        {"DeviceManufacturerInfo", camera_register::kDeviceManufacturerInfo,
         "Failed to read camera info manufacturer info", 0},
        {"DeviceVersion", camera_register::kDeviceVersion, "Failed to read camera info device version", 0},
        {"DeviceFirmwareVersion", camera_register::kDeviceFirmwareVersion,
         "Failed to read camera info device firmware version", protocol::cxp::kRevision1_1},
        {"DeviceSerialNumber", camera_register::kDeviceSerialNumber,
         "Failed to read camera info device serial number", 0},
        {"DeviceUserId", camera_register::kDeviceUserId, "Failed to read camera info device user id", 0},
    };
    RecursiveMutex::Guard guard(LinkMutex());
    DiscoveryInfo &info = impl_->Info();
    if (info.GetCameraExtensionId(port) != 0) return ERR_NONE;
    const uint32_t master = info.GetCameraMasterId(port);
    if (master == 0 || master == DiscoveryInfo::kNone) return ERR_NONE;
    const uint32_t commandPort = info.GetCommandPort(master);
    const uint32_t revision = info.GetProtocolRevision(master);
    for (const CameraRegister &item : kStrings) {
        if (item.minimumRevision != 0 && (revision == DiscoveryInfo::kNone || revision < item.minimumRevision))
            continue;
        RecordCameraInfo(master, commandPort == DiscoveryInfo::kNone ? port : commandPort, item);
    }
    return ERR_NONE;
}

// The camera's text need not end in a zero byte; it ends at the field's size.
void CxpController::RecordCameraInfo(uint32_t masterId, uint32_t commandPort, const CameraRegister &item) {
    std::array<char, 64> text{};
    const int32_t status = impl_->ExecRWPacket(Access::kRead, commandPort, item.address, text.data(), item.bytes,
                                               ByteSwap::kWireOrder, AcknowledgeMode::kRequired,
                                               kCameraRegisterTimeoutMs);
    if (status != ERR_NONE) {
        log_.Write(kLevelWarning, item.failure);
        impl_->Info().SetCameraInfo(masterId, item.name, "");
        return;
    }
    const std::string value(text.data(), strnlen(text.data(), item.bytes));
    impl_->Info().SetCameraInfo(masterId, item.name, value.c_str());
}

}  // namespace vexo::genicam
