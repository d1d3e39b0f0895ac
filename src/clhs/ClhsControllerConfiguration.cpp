#include "clhs/ClhsController.h"
#include "logging/Logger.h"
#include "nox_genicam.h"
#include "protocol/ClhsRegisters.h"

namespace vexo::genicam {

using templates::platform::RecursiveMutex;
using tools::logging::kLevelDetail;
using tools::logging::kLevelError;
using tools::logging::kLevelInfo;
using tools::logging::kLevelWarning;
using Thread = clhs::LinkStateControllerThread;
using Clock = clhs::ClhsBoardAccess::Clock;
namespace camera = protocol::clhs::camera;

namespace {

// The camera's table of configurations ends where the next register begins.
constexpr uint32_t kMaxConfigurations = (camera::kFecEnable - camera::kConfigurations) / camera::kConfigurationStride;
constexpr std::chrono::milliseconds kDisconnectWait{250};
constexpr std::chrono::milliseconds kReconnectMargin{50};
// Longest reconnect time taken from a camera.
constexpr uint32_t kMaxReconnectMs = 10000;

}  // namespace

int32_t ClhsController::SetLinkConfig(uint32_t masterId, uint32_t bitRate, uint32_t links, uint32_t,
                                      uint32_t *outValue) {
    RecursiveMutex::Guard guard(LinkMutex());
    const uint32_t port = info_.GetCommandPort(masterId);
    if (port == DiscoveryInfo::kNone || port >= clhs::kPorts) {
        Log(kLevelError, "Unknown camera master id " + std::to_string(masterId));
        return ERR_INVALID_ARGUMENT;
    }
    std::vector<Configuration> list;
    uint32_t current = 0;
    if (int32_t status = ReadConfigurations(port, list, current); status != ERR_NONE) return status;
    uint32_t index = 0;
    while (index < list.size() && (list[index].links != links || list[index].bitRate != bitRate)) ++index;
    if (index == list.size()) {
        Log(kLevelWarning, "Failed to find matching camera configuration; ignoring");
        return ERR_NONE;
    }
    if (index != current)
        if (int32_t status = ChangeConfiguration(masterId, port, index, list[index]); status != ERR_NONE) return status;
    if (outValue != nullptr) *outValue = index;
    return ERR_NONE;
}

// The camera's configurations, each links then Mbit/s, and the index in force.
int32_t ClhsController::ReadConfigurations(uint32_t port, std::vector<Configuration> &list, uint32_t &current) {
    uint32_t count = 0;
    if (int32_t status = ReadRaw(port, camera::kNumberOfConfigurations, &count, 4, ByteSwap::kSwapWords, 0);
        status != ERR_NONE)
        return status;
    if (int32_t status = ReadRaw(port, camera::kDeviceConfigurationIndex, &current, 4, ByteSwap::kSwapWords, 0);
        status != ERR_NONE)
        return status;
    list.resize(std::min(count, kMaxConfigurations));
    for (uint32_t i = 0; i < list.size(); ++i) {
        uint32_t words[2] = {};
        if (int32_t status = ReadRaw(port, camera::kConfigurations + i * camera::kConfigurationStride, words,
                                     sizeof words, ByteSwap::kSwapWords, 0);
            status != ERR_NONE)
            return status;
        list[i] = {words[0], words[1]};
    }
    return ERR_NONE;
}

int32_t ClhsController::ChangeConfiguration(uint32_t masterId, uint32_t port, uint32_t index,
                                            const Configuration &target) {
    Log(kLevelInfo, "Changing device configuration...");
    if (index >= kMaxConfigurations) {
        Log(kLevelError, "Invalid device configuration index: " + std::to_string(index));
        return ERR_INVALID_ARGUMENT;
    }
    uint32_t reconnectMs = 0;
    ReadRaw(port, camera::kReconnectTime, &reconnectMs, 4, ByteSwap::kSwapWords, 0);
    reconnectMs = std::min(reconnectMs, kMaxReconnectMs);
    if (int32_t status = WriteRegister(port, camera::kDeviceConfigurationIndex, index, ByteSwap::kSwapWords,
                                       AcknowledgeMode::kRequired, 0);
        status != ERR_NONE) {
        Log(kLevelError, "Failed to set device configuration index to " + std::to_string(index));
        return status;
    }
    if (int32_t status =
            WriteRegister(port, camera::kHotplugRequest, 1, ByteSwap::kSwapWords, AcknowledgeMode::kRequired, 0);
        status != ERR_NONE) {
        Log(kLevelError, "Failed to activate hotplug event.");
        return status;
    }
    if (!AwaitLinkCount(masterId, 0, false, kDisconnectWait)) {
        Log(kLevelError, "Not all links were disconnected.");
        return ERR_LINK_TIMEOUT;
    }
    // Links of the camera on other boards come back there.
    const uint32_t expected = std::min<uint32_t>(target.links, uint32_t(std::max(0, info_.CountCameraLinks(masterId))));
    const auto back = std::chrono::milliseconds(reconnectMs) + kReconnectMargin + 2 * Thread::kPeriod;
    const bool reconnected = AwaitLinkCount(masterId, expected, true, back);
    AwaitLinkThreads();
    if (!reconnected) {
        Log(kLevelError, "Not all links were re-connected: expected " + std::to_string(expected) + ", connected " +
                             std::to_string(CountLinkedPorts(masterId)));
        return ERR_LINK_TIMEOUT;
    }
    if (DiscoveryInfo::IsSupportedBitRate(target.bitRate)) info_.SetBitRate(masterId, target.bitRate);
    Log(kLevelDetail, "Device configuration " + std::to_string(index) + " in force");
    return ERR_NONE;
}

// Ports of the board that carry the camera, or no camera the model knows,
// whose transceiver is locked and whose link state thread (if any) reports the link up.
uint32_t ClhsController::CountLinkedPorts(uint32_t masterId) {
    uint32_t count = 0;
    for (uint32_t port = 0; port < clhs::kPorts; ++port) {
        const uint32_t owner = info_.GetCameraMasterId(port);
        if (owner != masterId && owner != DiscoveryInfo::kNone) continue;
        if (transceivers_.Locked(port) && IsLinkSynchronized(port)) ++count;
    }
    return count;
}

// Every link state thread looks at the links once more, so that their
// states show the new layout when the change returns.
void ClhsController::AwaitLinkThreads() {
    for (uint32_t port = 0; port < clhs::kPorts; ++port)
        if (const Thread *thread = LinkThread(port)) thread->AwaitPeriods(1, 2 * Thread::kPeriod);
}

// Polls the links directly: a camera that comes back quickly may do so
// between two periods of the link state threads.
bool ClhsController::AwaitLinkCount(uint32_t masterId, uint32_t wanted, bool atLeast, std::chrono::milliseconds bound) {
    const Clock::time_point deadline = Clock::now() + bound;
    for (;;) {
        const uint32_t count = CountLinkedPorts(masterId);
        if (atLeast ? count >= wanted : count <= wanted) return true;
        if (Clock::now() >= deadline || board_.Closing()) return false;
        board_.Pause(std::chrono::milliseconds(1));
    }
}

}  // namespace vexo::genicam
