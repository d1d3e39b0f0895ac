#include <algorithm>
#include <array>
#include <cstring>

#include "board/ControllerOwner.h"
#include "clhs/ClhsController.h"
#include "logging/Logger.h"
#include "nox_genicam.h"
#include "protocol/ClhsRegisters.h"
#include "protocol/GenCp.h"

namespace vexo::genicam {

using templates::platform::RecursiveMutex;
using tools::logging::kLevelDetail;
using tools::logging::kLevelError;
using tools::logging::kLevelInfo;
using tools::logging::kLevelWarning;
using Thread = clhs::LinkStateControllerThread;
using Clock = clhs::ClhsBoardAccess::Clock;
namespace camera = protocol::clhs::camera;
namespace bootstrap = protocol::gencp::bootstrap;

namespace {

constexpr uint32_t kAllPorts = (1u << clhs::kPorts) - 1;
constexpr uint32_t kMaxExtensionId = 3;
constexpr uint32_t kMaxBoardInId = 32;
// A thread that ran this many periods without a locked transceiver has no camera to wait for.
constexpr uint64_t kPeriodsWithoutLock = 2;

}  // namespace

int32_t ClhsController::Discovery(uint32_t, uint32_t speed, uint32_t portMask, uint32_t flags) {
    RecursiveMutex::Guard guard(LinkMutex());
    if ((portMask & kAllPorts) != kAllPorts) return ERR_INVALID_PORT;
    if (speed != 0 && speed != kLinkSpeed) return ERR_INVALID_LINK_SPEED;
    info_.Reset();
    deviceIds_.fill(0);
    GetDiscoveryInfo(true);
    if (!(flags & kFlagKeepRouting)) ResetDiscoverySelect();
    const uint32_t linked = AwaitLinks();
    if (linked == 0) {
        Log(kLevelWarning, "No camera link came up");
        return ERR_NO_CAMERA_FOUND;
    }
    int32_t identification = ERR_NONE;
    for (uint32_t port = 0; port < clhs::kPorts; ++port) {
        if (!(linked >> port & 1)) continue;
        const int32_t status = IdentifyCamera(port);
        if (status != ERR_NONE && identification == ERR_NONE) identification = status;
    }
    for (uint32_t port = 0; port < clhs::kPorts; ++port)
        if (info_.GetCameraMasterId(port) != DiscoveryInfo::kNone && info_.GetCameraExtensionId(port) == 0)
            ReadCameraInfo(port);
    int32_t status = flags & kFlagKeepRouting ? ERR_NONE : AllocateOperators();
    if (status == ERR_NONE || status == ERR_NO_MASTER_CONNECT) SetDiscoverySelect(info_.ComputeDiscoverySelect());
    return status != ERR_NONE ? status : identification;
}

// The ports whose link state thread reports the link up once every thread
// either did or ran a while without a locked transceiver; at most kLinkWait.
uint32_t ClhsController::AwaitLinks() {
    std::array<const Thread *, clhs::kPorts> threads{};
    std::array<uint64_t, clhs::kPorts> firstPeriod{};
    for (uint32_t port = 0; port < clhs::kPorts; ++port) {
        threads[port] = LinkThread(port);
        if (threads[port]) firstPeriod[port] = threads[port]->Get().periods;
    }
    const Clock::time_point deadline = Clock::now() + kLinkWait;
    for (;;) {
        uint32_t up = 0;
        const Thread *unsettled = nullptr;
        for (uint32_t port = 0; port < clhs::kPorts; ++port) {
            if (!threads[port]) continue;
            const Thread::Snapshot state = threads[port]->Get();
            if (state.state == Thread::kUp) up |= 1u << port;
            else if (state.locked || state.periods < firstPeriod[port] + kPeriodsWithoutLock) unsettled = threads[port];
        }
        if (!unsettled || Clock::now() >= deadline || board_.Closing()) return up;
        unsettled->AwaitPeriods(1, Thread::kPeriod * 2);
    }
}

// Reads which link of its camera the port carries and the camera's device
// identifier, giving the camera one when it has none.
int32_t ClhsController::IdentifyCamera(uint32_t port) {
    uint32_t linkId = 0;
    if (int32_t status = ReadRaw(port, camera::kLinkId, &linkId, 4, ByteSwap::kSwapWords, kDeviceIdTimeoutMs);
        status != ERR_NONE) {
        Log(kLevelError, "Failed to read the link id of the camera on port " + std::to_string(port));
        return status;
    }
    if (linkId > kMaxExtensionId) {
        Log(kLevelError, "Invalid link id " + std::to_string(linkId) + " of the camera on port " + std::to_string(port));
        return ERR_INVALID_DATA;
    }
    uint32_t deviceId = 0;
    if (int32_t status = ReadRaw(port, camera::kDeviceId, &deviceId, 4, ByteSwap::kSwapWords, kDeviceIdTimeoutMs);
        status != ERR_NONE) {
        Log(kLevelError, "Failed to read the device id of the camera on port " + std::to_string(port));
        return status;
    }
    deviceIds_[port] = deviceId;
    if (deviceId == 0)
        if (int32_t status = AssignDeviceId(port); status != ERR_NONE) return status;
    RecordLink(port, linkId);
    return ERR_NONE;
}

int32_t ClhsController::AssignDeviceId(uint32_t port) {
    const uint32_t wanted = (port + 1) | std::min(BoardIndex(), kMaxBoardInId) << 8;
    if (WriteRegister(port, camera::kDeviceId, wanted, ByteSwap::kSwapWords, AcknowledgeMode::kRequired,
                      kDeviceIdTimeoutMs) != ERR_NONE) {
        Log(kLevelError, "The camera on port " + std::to_string(port) + " rejected its device id");
        deviceIds_[port] = 0;
        return ERR_CLHS_DEVICE_ID_REJECTED;
    }
    uint32_t readBack = 0;
    if (ReadRaw(port, camera::kDeviceId, &readBack, 4, ByteSwap::kSwapWords, kDeviceIdTimeoutMs) != ERR_NONE ||
        readBack == 0) {
        Log(kLevelError, "Failed to read back the device id of the camera on port " + std::to_string(port));
        return ERR_CLHS_DEVICE_ID_READBACK;
    }
    deviceIds_[port] = readBack;
    return ERR_NONE;
}

// A master link makes the camera known with the fixed figures of the
// technology. A camera whose master link is on another board becomes known
// through its first extension link here, which then serves as its command port.
void ClhsController::RecordLink(uint32_t port, uint32_t linkId) {
    const uint32_t masterId = deviceIds_[port];
    info_.SetCameraPort(port, masterId, linkId);
    if (linkId != 0) {
        if (info_.GetCommandPort(masterId) != DiscoveryInfo::kNone) return;
        info_.SetCommandPort(masterId, port);
    }
    info_.SetDiscoveryBitRate(masterId, kLinkSpeed);
    info_.SetBitRate(masterId, kLinkSpeed);
    info_.SetStreamPacketSize(masterId, kPacketSize);
    info_.SetControlPacketSize(masterId, kPacketSize);
    Log(kLevelInfo, "Found camera " + std::string(linkId == 0 ? "master" : "extension") + " link on port " +
                        std::to_string(port));
}

int32_t ClhsController::AllocateOperators() {
    std::vector<uint32_t> masters;
    info_.ListCameraMasters(true, masters);
    for (uint32_t master : masters) {
        const int32_t status = Owner() != nullptr ? Owner()->AllocateCameraOperator(info_, master) : ERR_INTERNAL;
        if (status != ERR_NONE) return status;
    }
    return ERR_NONE;
}

int32_t ClhsController::ReadCameraInfo(uint32_t port) {
    RecursiveMutex::Guard guard(LinkMutex());
    const uint32_t masterId = info_.GetCameraMasterId(port);
    if (masterId == DiscoveryInfo::kNone || masterId == 0) return ERR_NONE;
    for (const bootstrap::DeviceString &item : bootstrap::kDeviceStrings) {
        std::array<char, bootstrap::kStringSize> text{};
        if (ReadRaw(port, item.address, text.data(), bootstrap::kStringSize, ByteSwap::kWireOrder,
                    kCameraInfoTimeoutMs) != ERR_NONE) {
            Log(kLevelWarning, std::string("Failed to read ") + item.name + " on port " + std::to_string(port));
            info_.SetCameraInfo(masterId, item.name, "");
            continue;
        }
        info_.SetCameraInfo(masterId, item.name, std::string(text.data(), strnlen(text.data(), text.size())).c_str());
    }
    return ERR_NONE;
}

}  // namespace vexo::genicam
