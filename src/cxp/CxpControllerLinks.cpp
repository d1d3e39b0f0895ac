// Link locking, link configuration and the synchronisation check of CxpController.
#include <bit>
#include <optional>
#include <thread>

#include "cxp/CxpCameraRegisters.h"
#include "cxp/CxpControlCore.h"
#include "cxp/CxpController.h"
#include "cxp/CxpControllerImpl.h"
#include "cxp/CxpLinkSpeed.h"
#include "cxp/PollPacer.h"
#include "logging/Record.h"
#include "nox_genicam.h"

namespace vexo::genicam {

using cxp::ForEachPort;
using cxp::kCameraRegisterTimeoutMs;
using templates::platform::RecursiveMutex;
using tools::logging::PortIndexItem;
using tools::logging::PortMaskItem;
using tools::logging::kLevelDetail;
using tools::logging::kLevelError;
using tools::logging::kLevelWarning;
using Clock = std::chrono::steady_clock;

namespace {

// A receiver reprogrammed for a bit rate relocks its PLL (up to about a
// millisecond in FPGA transceivers), then its clock recovery and the cable
// equaliser adapt to the signal: a few milliseconds at worst, 5 with long
// cables. The synchronisation wait lasts twice that, so that a busy host
// polling late still sees such a lock; a port with no camera costs it whole.
constexpr auto kSyncSpan = std::chrono::milliseconds(10);
constexpr uint32_t kStandardRegister = cxp::camera_register::kStandard;
constexpr uint32_t kConnectionConfigRegister = cxp::camera_register::kConnectionConfig;
constexpr uint32_t kMasterHostIdRegister = cxp::camera_register::kMasterHostConnectionId;
constexpr auto kMagicCheckDelay = std::chrono::milliseconds(2);
constexpr auto kSyncCheckInterval = std::chrono::milliseconds(100);
constexpr int32_t kStatusSyncRetry = -1020;
constexpr uint32_t kUplinkLow = 0;
constexpr uint32_t kUplinkHigh = 1;

int64_t ElapsedMs(Clock::time_point since, Clock::time_point now) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(now - since).count();
}

}  // namespace

uint32_t CxpController::FoundPortsMask() {
    RecursiveMutex::Guard guard(LinkMutex());
    return foundPorts_;
}

uint32_t CxpController::DetectedBitRate(uint32_t port) {
    RecursiveMutex::Guard guard(LinkMutex());
    return port < portBitRate_.size() ? portBitRate_[port] : 0;
}

void CxpController::RecordDetectedRates(uint32_t portMask, uint32_t speed) {
    ForEachPort(portMask, [&](uint32_t port) { portBitRate_[port] = speed; });
}

void CxpController::ForgetDetectedRates(uint32_t portMask) {
    ForEachPort(portMask, [&](uint32_t port) { portBitRate_[port] = 0; });
}

// --- transceivers ------------------------------------------------------------------

int32_t CxpController::SetUplinks(uint32_t physicalMask, uint32_t speed) {
    if (!impl_->HasUplinkRegisters()) return ERR_NONE;
    const bool high = cxp::NeedsHighUplink(speed);
    int32_t status = ERR_NONE;
    ForEachPort(physicalMask & impl_->AllPortsMask(), [&](uint32_t port) {
        const int32_t set = impl_->SetUplink(port, high);
        if (set == ERR_NONE)
            SetUplinkSetting(port, high ? kUplinkHigh : kUplinkLow);
        else
            status = set;
    });
    if (status == ERR_NONE)
        log_.Write(kLevelDetail, std::string("Uplink transceivers set to ") + (high ? "high" : "low") + " speed");
    else
        log_.Write(kLevelError, "Failed to set bitrate of uplink transceivers");
    return status;
}

int32_t CxpController::SetDownlinks(uint32_t physicalMask, uint32_t speed) {
    int32_t status = ERR_NONE;
    ForEachPort(physicalMask & impl_->AllPortsMask(), [&](uint32_t port) {
        const int32_t set = impl_->SetDownlink(port, speed);
        if (set == ERR_NONE)
            SetDownlinkBitRate(port, speed);
        else
            status = set;
    });
    if (status == ERR_NONE)
        log_.Write(kLevelDetail, "Downlink transceivers set to " + cxp::GbpsText(speed) + " Gbit/s");
    else
        log_.Write(kLevelError, "Failed to set bitrate of downlink transceivers");
    return status;
}

int32_t CxpController::SetUplinkSpeed(uint32_t port, uint32_t setting) {
    if (port >= 4) return ERR_INVALID_ARGUMENT;
    const bool isSetting = setting == kUplinkLow || setting == kUplinkHigh;
    if (!isSetting && !cxp::IsValidSpeed(setting, Family())) return ERR_INVALID_ARGUMENT;
    const uint32_t speed = isSetting ? (setting == kUplinkHigh ? 10000 : 3125) : setting;
    RecursiveMutex::Guard guard(LinkMutex());
    const int32_t status = SetUplinks(1u << port, speed);
    SleepLogged(settings_.waitAfterUplinkSpeedChangedMs);
    return status;
}

// --- locking links -------------------------------------------------------------------

int32_t CxpController::LockLinksAtSpeed(uint32_t portMask, uint32_t speed, uint32_t *locked, uint32_t extraWaitMs) {
    RecursiveMutex::Guard guard(LinkMutex());
    if (speed == 0 || !cxp::IsValidSpeed(speed, Family())) return ERR_INVALID_LINK_SPEED;
    // Transceivers and control cores belong to the physical ports; the routing
    // only decides which applet port each of them feeds.
    const uint32_t physical = portMask & impl_->AllPortsMask();

    uint32_t uplinkWait = extraWaitMs;
    if (Family() == BoardFamily::kC)
        ForEachPort(physical, [&](uint32_t port) {
            const uint32_t current = GetDownlinkBitRate(port);
            if (current == 0 || cxp::NeedsHighUplink(current) != cxp::NeedsHighUplink(speed))
                uplinkWait = std::max(uplinkWait, settings_.waitAfterUplinkSpeedChangedMs);
        });

    impl_->SetControlCoreReset(physical, cxp::kResetReleaseUplink);
    ConsoleTrace("[CXP::LockLinksAtSpeed] ... CXP control core reset.");
    SetUplinks(physical, speed);
    ConsoleTrace("[CXP::LockLinksAtSpeed] ... Uplink transceiver bitrate set.");
    SleepLogged(uplinkWait);
    SetDownlinks(physical, speed);
    ConsoleTrace("[CXP::LockLinksAtSpeed] ... Downlink transceiver bitrate set.");
    impl_->SetControlCoreReset(physical, cxp::kResetReleaseDownlink);
    int32_t syncStatus = ERR_NONE;
    uint32_t synchronised = WaitForLinkSynchronisation(physical, syncStatus);
    ConsoleTrace("[CXP::LockLinksAtSpeed] ... Waiting for link synchronisation done.");

    SleepLogged(settings_.waitAfterLinkLockFoundMs);
    if (impl_->SetControlCoreReset(synchronised, cxp::kResetRunning) != ERR_NONE)
        log_.Write(kLevelWarning, "Resetting CXP control core failed.");
    if (settings_.skipRegisterCheckOnLinkConfig) {
        log_.Write(kLevelDetail, "CXP Standard Magic Value verification skipped");
    } else {
        if (synchronised != 0) std::this_thread::sleep_for(kMagicCheckDelay);
        synchronised = VerifyStandardMagic(synchronised, speed);
        ConsoleTrace("[CXP::LockLinksAtSpeed] ... Verified CXP Standard Magic Value.");
    }
    RecordSyncBaseline(physical, synchronised);

    if (locked != nullptr) {
        if (synchronised == 0) {
            log_.Write(kLevelDetail, "Wait for link up failed!");
            return ERR_LINK_TIMEOUT;
        }
        *locked = synchronised;
    } else if (synchronised != physical) {
        log_.Write(kLevelError, "Wait for link up failed!");
        return ERR_LINK_TIMEOUT;
    }
    log_.Write(kLevelDetail, "Links locked at " + cxp::GbpsText(speed) + " Gbit/s on ports [" +
                                 cxp::PortList(synchronised) + "]");
    return ERR_NONE;
}

// A port is locked once its error count holds still between two reads.
uint32_t CxpController::WaitForLinkSynchronisation(uint32_t physicalMask, int32_t &status) {
    log_.Write(kLevelDetail, PortMaskItem(physicalMask), "Waiting for lock on links");
    log_.Write(kLevelDetail,
               "Waiting for the transceivers to establish the link; port mask " + std::to_string(physicalMask));
    std::array<std::optional<uint64_t>, 4> previous{};
    ForEachPort(physicalMask, [&](uint32_t port) { previous[port] = impl_->ReadTransceiverErrorCount(port); });

    status = ERR_NONE;
    uint32_t lockedMask = 0;
    // The rounds span kSyncSpan rather than running back to back: the caller finds links that lock within it.
    const Clock::time_point deadline = Clock::now() + kSyncSpan;
    cxp::PollPacer pacer(std::chrono::microseconds(0), std::chrono::microseconds(0));
    // A lock shows in two reads after it, so two rounds at the end, back to back, even when a pause overran.
    uint32_t roundsPastEnd = 0;
    for (uint32_t round = 1; lockedMask != physicalMask && roundsPastEnd < 2; ++round) {
        if (round > 1 && Clock::now() < deadline) pacer.Pause();
        if (Clock::now() >= deadline) ++roundsPastEnd;
        ForEachPort(physicalMask, [&](uint32_t port) {
            const std::optional<uint64_t> count = impl_->ReadTransceiverErrorCount(port);
            const uint32_t bit = 1u << port;
            const std::string link = "Link " + std::to_string(port);
            if (count && count == previous[port]) {
                if (!(lockedMask & bit)) {
                    lockedMask |= bit;
                    log_.Write(kLevelDetail, link + " locked (loop " + std::to_string(round) + ")");
                    if (*count != 0) {
                        log_.Write(kLevelDetail, link + " error count was not zero; requesting retry");
                        status = kStatusSyncRetry;
                    }
                }
            } else if (lockedMask & bit) {
                lockedMask &= ~bit;
                log_.Write(kLevelDetail, link + " lock lost");
            }
            previous[port] = count;
        });
    }
    log_.Write(kLevelDetail, "Link locked mask: " + std::to_string(lockedMask));
    bool reported = false;
    const uint32_t up = impl_->LinkUpMask(physicalMask, reported);
    if (reported) {
        log_.Write(kLevelDetail, "Link up status mask: " + std::to_string(up));
        lockedMask &= up;
    }
    return lockedMask;
}

uint32_t CxpController::VerifyStandardMagic(uint32_t synchronised, uint32_t speed) {
    uint32_t verified = 0;
    const DiscoverySelect routing = GetDiscoverySelect();
    ForEachPort(synchronised, [&](uint32_t link) {
        // Commands reach the camera on physical port `link` through the applet port it feeds.
        const uint32_t appletPort = routing.ForwardEntry(link);
        uint32_t value = 0;
        if (appletPort < cxp::kMaxPorts &&
            ReadCameraRegister(appletPort, kStandardRegister, value, kCameraRegisterTimeoutMs) == ERR_NONE &&
            value == cxp::kStandardMagic) {
            log_.Write(kLevelDetail, "CXP Standard Magic Value verified on link " + std::to_string(link));
            verified |= 1u << link;
            return;
        }
        log_.Write(kLevelWarning, "Link " + std::to_string(link) + " locked at " + cxp::GbpsText(speed) +
                                      " Gbit/s, but register communication failed");
    });
    return verified;
}

void CxpController::RecordSyncBaseline(uint32_t physicalMask, uint32_t lockedMask) {
    const Clock::time_point now = Clock::now();
    ForEachPort(physicalMask, [&](uint32_t port) {
        CxpControllerImpl::SyncState &sync = impl_->Sync(port);
        sync.errorCount = impl_->ReadTransceiverErrorCount(port).value_or(0);
        sync.inSync = (lockedMask >> port & 1) != 0;
        sync.lastCheck = now;
    });
}

int32_t CxpController::LockLinks(uint32_t portMask, uint32_t preferredSpeed) {
    RecursiveMutex::Guard guard(LinkMutex());
    const uint32_t mask = portMask & impl_->AllPortsMask();
    if (mask == 0) return ERR_INVALID_PORT;
    const uint32_t preferred = cxp::IsValidSpeed(preferredSpeed, Family()) ? preferredSpeed : 0;
    for (uint32_t speed : cxp::LockLinksCandidates(preferred, Family())) {
        uint32_t locked = 0;
        if (LockLinksAtSpeed(mask, speed, &locked, 0) != ERR_NONE) continue;
        if ((locked & mask) == mask) {
            RecordDetectedRates(mask, speed);
            return ERR_NONE;
        }
        // Part of the camera answers at this speed: bring the whole camera there.
        const uint32_t firstLocked = static_cast<uint32_t>(std::countr_zero(locked & mask));
        const uint32_t master = impl_->Info().GetCameraMasterId(firstLocked);
        return SetLinkConfig(master, speed, static_cast<uint32_t>(std::popcount(mask)), 0, nullptr);
    }
    return ERR_STREAM_PACKET_SIZE_REJECTED;
}

// --- link configuration -----------------------------------------------------------------

int32_t CxpController::SetLinkConfig(uint32_t masterId, uint32_t bitRate, uint32_t links, uint32_t,
                                     uint32_t *outValue) {
    return ConfigureCameraLinks(masterId, bitRate, links, outValue, kLevelError);
}

int32_t CxpController::ConfigureCameraLinks(uint32_t masterId, uint32_t bitRate, uint32_t links, uint32_t *outValue,
                                            uint32_t refusalLevel) {
    RecursiveMutex::Guard guard(LinkMutex());
    ConsoleTrace("[CXP::SetLinkConfig] ... Entered.");
    DiscoveryInfo &info = impl_->Info();
    const uint32_t commandPort = info.GetCommandPort(masterId);
    if (commandPort == DiscoveryInfo::kNone) return ERR_STREAM_PACKET_SIZE_REJECTED;
    if (bitRate == 0 || !cxp::IsValidSpeed(bitRate, Family())) return ERR_INVALID_LINK_SPEED;
    if (links == 0 || links > cxp::kMaxPorts) return ERR_INVALID_ARGUMENT;

    const uint32_t value = cxp::ConnectionConfig(links, bitRate);
    const uint32_t masterPort = info.FindCameraMasterPort(masterId);
    uint32_t current = 0;
    if (DetectedBitRate(masterPort) == bitRate &&
        ReadCameraRegister(commandPort, kConnectionConfigRegister, current, kCameraRegisterTimeoutMs) == ERR_NONE &&
        current == value) {
        log_.Write(kLevelDetail, "Current camera configuration matches desired settings: " + std::to_string(links) +
                                     " links, " + cxp::GbpsText(bitRate) + " Gbps");
        if (outValue != nullptr) *outValue = value;
        return ERR_NONE;
    }

    log_.Write(kLevelDetail,
               "Configuring the camera: " + std::to_string(links) + " links, " + cxp::GbpsText(bitRate) + " Gbps...");
    // The camera may switch its speed before it answers, so the answer is optional.
    const uint32_t usualRefusalLevel = impl_->SwapRefusalLevel(refusalLevel);
    int32_t status = WriteCameraRegister(commandPort, kConnectionConfigRegister, value, AcknowledgeMode::kOptional,
                                         kCameraRegisterTimeoutMs);
    impl_->SwapRefusalLevel(usualRefusalLevel);
    if (status != ERR_NONE) {
        log_.Write(refusalLevel, "Camera configuration failed.");
        return status;
    }
    ConsoleTrace("[CXP::SetLinkConfig] ... Camera configuration change requested.");

    const int32_t cameraPorts = info.GetCameraPortMask(masterId, static_cast<int32_t>(links));
    const uint32_t ports = cameraPorts > 0 ? static_cast<uint32_t>(cameraPorts) : 0;
    status = LockLinksAtSpeed(ports, bitRate, nullptr, settings_.waitAfterCameraConfigDoneMs);
    if (status != ERR_NONE) {
        // Forget only our record of the camera's links, so the next speed can still be tried.
        const int32_t allPorts = info.GetCameraPortMask(masterId, -1);
        ForgetDetectedRates(allPorts > 0 ? static_cast<uint32_t>(allPorts) : 0);
        return status;
    }
    ConsoleTrace("[CXP::SetLinkConfig] ... Link speed changed.");
    if (settings_.receiveAckPacketOnLinkConfig) {
        // Awaits the answer up to the acknowledgment timeout instead of always waiting that long.
        std::vector<uint32_t> dropped;
        impl_->ClearAckBuffer(commandPort, dropped, settings_.commandAckTimeoutMs);
    }
    RecordDetectedRates(ports, bitRate);
    info.SetBitRate(masterId, bitRate);
    ConsoleTrace("[CXP::SetLinkConfig] ... Leaving.");
    if (outValue != nullptr) *outValue = value;
    return ERR_NONE;
}

bool CxpController::IsLinkSynchronized(uint32_t port) { return CheckLinkSync(port) == LinkSync::kSynchronized; }

// A port the board does not have carries no link: the caller sees it lost, never as a locked link.
FirmwareControllerBase::LinkSync CxpController::CheckLinkSync(uint32_t port) {
    RecursiveMutex::Guard guard(LinkMutex());
    if (port >= impl_->PortCount()) return LinkSync::kLost;
    CxpControllerImpl::SyncState &sync = impl_->Sync(port);
    const Clock::time_point now = Clock::now();
    if (now - sync.lastCheck < kSyncCheckInterval) return sync.inSync ? LinkSync::kSynchronized : LinkSync::kLost;

    const std::optional<uint64_t> count = impl_->ReadTransceiverErrorCount(port);
    // A register lock another process held too long says nothing about the link: no loss is reported for it.
    if (!count) return LinkSync::kUnknown;
    const int64_t elapsedMs = ElapsedMs(sync.lastCheck, now);
    // A counter that went backwards was reset; everything on it is new.
    const uint64_t added = *count >= sync.errorCount ? *count - sync.errorCount : *count;
    sync.inSync = added < uint64_t{settings_.errorsPerMsBeforeDesync} * static_cast<uint64_t>(elapsedMs);
    sync.errorCount = *count;
    sync.lastCheck = now;
    if (!sync.inSync)
        log_.Write(kLevelWarning, PortIndexItem(port),
                   "Transceiver is no longer synchronized: " + std::to_string(added) + " errors in " +
                       std::to_string(elapsedMs) + " milliseconds");
    return sync.inSync ? LinkSync::kSynchronized : LinkSync::kLost;
}

// --- attaching to links that are up ---------------------------------------------------

int32_t CxpController::AttachLinks(uint32_t masterId, uint32_t bitRate, uint32_t links) {
    RecursiveMutex::Guard guard(LinkMutex());
    DiscoveryInfo &info = impl_->Info();
    const uint32_t commandPort = info.GetCommandPort(masterId);
    const int32_t cameraPorts = info.GetCameraPortMask(masterId, -1);
    if (commandPort == DiscoveryInfo::kNone || cameraPorts <= 0 || !cxp::IsValidSpeed(bitRate, Family()))
        return ERR_LINK_TIMEOUT;
    const uint32_t physical = static_cast<uint32_t>(cameraPorts) & impl_->AllPortsMask();
    if ((impl_->LiveLinkPorts() & physical) != physical) {
        log_.Write(kLevelDetail, PortMaskItem(physical), "Camera links are not up; they are set up anew");
        return ERR_LINK_TIMEOUT;
    }
    uint32_t hostId = 0, configuration = 0;
    if (ReadCameraRegister(commandPort, kMasterHostIdRegister, hostId, kCameraRegisterTimeoutMs) != ERR_NONE ||
        ReadCameraRegister(commandPort, kConnectionConfigRegister, configuration, kCameraRegisterTimeoutMs) !=
            ERR_NONE ||
        hostId != masterId || configuration != cxp::ConnectionConfig(links, bitRate)) {
        log_.Write(kLevelDetail, "Camera connection differs from the configuration; it is set up anew");
        return ERR_LINK_TIMEOUT;
    }
    const bool high = cxp::NeedsHighUplink(bitRate);
    cxp::ForEachPort(physical, [&](uint32_t port) {
        SetDownlinkBitRate(port, bitRate);
        if (impl_->HasUplinkRegisters()) SetUplinkSetting(port, high ? kUplinkHigh : kUplinkLow);
    });
    RecordDetectedRates(physical, bitRate);
    RecordSyncBaseline(physical, physical);
    log_.Write(kLevelDetail, "Attached to links at " + cxp::GbpsText(bitRate) + " Gbit/s on ports [" +
                                 cxp::PortList(physical) + "]");
    return ERR_NONE;
}

}  // namespace vexo::genicam
