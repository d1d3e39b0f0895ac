// Camera discovery of CxpController.
#include <algorithm>
#include <bit>

#include "board/ControllerOwner.h"
#include "cxp/CxpCameraRegisters.h"
#include "cxp/CxpControlCore.h"
#include "cxp/CxpController.h"
#include "cxp/CxpControllerImpl.h"
#include "cxp/CxpLinkSpeed.h"
#include "nox_genicam.h"

namespace vexo::genicam {

using cxp::CxpRegister;
using cxp::ForEachPort;
using cxp::kCameraRegisterTimeoutMs;
namespace camera_register = cxp::camera_register;
using templates::platform::RecursiveMutex;
using tools::logging::kLevelDetail;
using tools::logging::kLevelError;
using tools::logging::kLevelInfo;
using tools::logging::kLevelTrace;
using tools::logging::kLevelWarning;

namespace {

constexpr uint32_t kDiscoveryResetSpeed = 3125;
// A short settling pause for the transceivers while no link has locked yet.
constexpr uint32_t kFirstAttemptExtraWaitMs = 1;


bool IsCamera(uint32_t masterId) { return masterId != 0 && masterId != DiscoveryInfo::kNone; }

uint32_t MaskOrNone(int32_t mask) { return mask > 0 ? static_cast<uint32_t>(mask) : 0; }

std::string SignedPort(uint32_t port) { return std::to_string(static_cast<int32_t>(port)); }

}  // namespace

int32_t CxpController::Discovery(uint32_t, uint32_t speed, uint32_t portMask, uint32_t flags) {
    RecursiveMutex::Guard guard(LinkMutex());
    log_.Write(kLevelTrace, "Starting Discovery ");
    log_.Write(kLevelTrace, "Starting IsValidSpeed");
    const bool validSpeed = cxp::IsValidSpeed(speed, Family());
    log_.Write(kLevelTrace, "Ending IsValidSpeed");
    if (!validSpeed) {
        log_.Write(kLevelError, "Invalid user speed " + std::to_string(speed));
        log_.Write(kLevelTrace, "Ending Discovery ");
        return ERR_INVALID_LINK_SPEED;
    }
    const uint32_t ports = impl_->PortCount();
    const uint32_t allPorts = impl_->AllPortsMask();
    if (ports == 0 || (portMask & allPorts) != allPorts) {
        log_.Write(kLevelError, "Invalid port mask " + std::to_string(portMask));
        log_.Write(kLevelTrace, "Ending Discovery ");
        return ERR_INVALID_PORT;
    }

    GetDiscoveryInfo(false)->Reset();
    GetDiscoveryInfo(true);
    if (settings_.useConnectionConfigDefault) flags |= kFlagCameraDefaultSpeed;
    log_.Write(kLevelDetail, "Starting discovery; port mask " + cxp::Hex(allPorts) + "; links " +
                                 std::to_string(ports) + "; flags " + cxp::Hex(flags));
    int32_t status = ERR_NONE;
    try {
        status = PerformCoreReset(allPorts);
        if (status == ERR_NONE) status = PerformLinkReset(portMask & allPorts);
        if (status == ERR_NONE) status = PerformSpeedDetect(speed, allPorts);
        if (status == ERR_NONE) status = ScanTopology();
        if (status == ERR_NONE) status = SaveCameraInfo(flags);
        if (status == ERR_NONE) status = SetFinalLink(speed, flags);
    } catch (...) {
        SetDiscoveryLedModes();
        throw;
    }
    SetDiscoveryLedModes();
    log_.Write(kLevelTrace, "Ending Discovery ");
    return status;
}

void CxpController::SetDiscoveryLedModes() {
    const DiscoveryInfo &info = impl_->Info();
    for (uint32_t port = 0; port < impl_->PortCount(); ++port) {
        uint32_t mode = cxp::kLedExtensionLink;
        if (info.GetCameraMasterId(port) == DiscoveryInfo::kNone)
            mode = cxp::kLedNoCamera;
        else if (info.GetCameraExtensionId(port) == 0)
            mode = cxp::kLedMasterLink;
        impl_->SetLedMode(port, mode);
    }
}

int32_t CxpController::PerformCoreReset(uint32_t portMask) {
    log_.Write(kLevelTrace, "Starting PerformCoreReset");
    ResetDiscoverySelect();
    SetControlCoreReset(portMask, cxp::kResetHoldAll);
    SetControlCoreReset(portMask, cxp::kResetReleaseUplink);
    if (Family() == BoardFamily::kC) {
        log_.Write(kLevelDetail, "Resetting link speed");
        SetUplinks(portMask, kDiscoveryResetSpeed);
        SleepLogged(settings_.waitAfterUplinkSpeedChangedMs);
        SetDownlinks(portMask, kDiscoveryResetSpeed);
    }
    log_.Write(kLevelTrace, "Ending PerformCoreReset");
    return ERR_NONE;
}

int32_t CxpController::PerformLinkReset(uint32_t portMask) {
    log_.Write(kLevelTrace, "Starting PerformLinkReset");
    ForEachPort(portMask, [&](uint32_t port) {
        impl_->SetLedMode(port, cxp::kLedLinkReset);
        log_.Write(kLevelDetail, "Performing link reset on port " + std::to_string(port));
        WriteCameraRegister(port, camera_register::kConnectionReset, 1, AcknowledgeMode::kNone, kCameraRegisterTimeoutMs);
        if (settings_.waitAfterLinkResetOnEachPortMs != 0) SleepLogged(settings_.waitAfterLinkResetOnEachPortMs);
    });
    log_.Write(kLevelDetail, "Link reset done on all requested ports");
    SleepLogged(settings_.waitAfterLinkResetDoneMs);
    log_.Write(kLevelTrace, "Ending PerformLinkReset");
    return ERR_NONE;
}

int32_t CxpController::PerformSpeedDetect(uint32_t speed, uint32_t portMask) {
    log_.Write(kLevelTrace, "Starting PerformSpeedDetect");
    foundPorts_ = 0;
    portBitRate_.fill(0);
    uint32_t remaining = portMask;
    for (uint32_t candidate : cxp::SpeedDetectCandidates(speed, Family())) {
        if (remaining == 0) break;
        log_.Write(kLevelDetail, "Trying to lock links at " + cxp::GbpsText(candidate) + " Gbps");
        uint32_t locked = 0;
        LockLinksAtSpeed(remaining, candidate, &locked, foundPorts_ == 0 ? kFirstAttemptExtraWaitMs : 0);
        locked &= remaining;
        RecordDetectedRates(locked, candidate);
        foundPorts_ |= locked;
        remaining &= ~locked;
    }
    int32_t status = ERR_NONE;
    if (foundPorts_ == 0) {
        log_.Write(kLevelError, "No physical connections found");
        log_.Write(kLevelError, "Try waiting for the camera to fully power up");
        log_.Write(kLevelError,
                   "If there were errors try connecting the camera links 1:1 to the frame grabber ports, or try "
                   "using reverse order");
        status = ERR_NO_CAMERA_FOUND;
    }
    log_.Write(kLevelTrace, "Ending PerformSpeedDetect");
    return status;
}

// Master links get a host id naming their port and board; every link of a
// camera reports its master's id, which groups the links into cameras.
int32_t CxpController::ScanTopology() {
    log_.Write(kLevelTrace, "Starting ScanTopology");
    log_.Write(kLevelDetail, "Physical connection(s) detected on ports: " + cxp::PortList(foundPorts_));
    std::array<uint32_t, cxp::kMaxPorts> connectionId{};
    uint32_t answered = 0;
    ForEachPort(foundPorts_, [&](uint32_t port) {
        if (ReadCameraRegister(port, camera_register::kDeviceConnectionId, connectionId[port],
                               kCameraRegisterTimeoutMs) != ERR_NONE) {
            log_.Write(kLevelError, "Read reg. failed but camera report speed - Port: " + std::to_string(port) +
                                        " Speed: " + std::to_string(portBitRate_[port]));
            return;
        }
        answered |= 1u << port;
        if (connectionId[port] == 0)
            WriteCameraRegister(port, camera_register::kMasterHostConnectionId, (port + 1) | (BoardIndex() << 8),
                                AcknowledgeMode::kRequired, kCameraRegisterTimeoutMs);
    });
    DiscoveryInfo &info = impl_->Info();
    ForEachPort(answered, [&](uint32_t port) {
        uint32_t hostId = 0;
        if (ReadCameraRegister(port, camera_register::kMasterHostConnectionId, hostId, kCameraRegisterTimeoutMs) !=
            ERR_NONE) {
            log_.Write(kLevelWarning, "Failed to read the master host id on port " + std::to_string(port));
            return;
        }
        info.SetCameraPort(port, hostId, connectionId[port]);
        if (connectionId[port] == 0 && IsCamera(hostId)) {
            info.SetDiscoveryBitRate(hostId, portBitRate_[port]);
            info.SetBitRate(hostId, portBitRate_[port]);
        }
    });
    log_.Write(kLevelTrace, "Ending ScanTopology");
    return ERR_NONE;
}

int32_t CxpController::SaveCameraInfo(uint32_t) {
    log_.Write(kLevelTrace, "Starting SaveCameraInfo");
    DiscoveryInfo &info = impl_->Info();
    std::vector<uint32_t> masters;
    info.ListCameraMasters(true, masters);
    int32_t status = ERR_NONE;
    for (uint32_t master : masters) {
        const uint32_t masterPort = info.FindCameraMasterPort(master);
        if (masterPort != DiscoveryInfo::kNone) {
            status = SearchExtensionLinks(master, DetectedBitRate(masterPort));
            if (status == ERR_NONE) {
                RecordCameraParameters(master, info.GetCommandPort(master));
                status = Owner() != nullptr ? Owner()->AllocateCameraOperator(info, master) : ERR_INTERNAL;
            }
        }
        log_.Write(kLevelInfo, "Found camera master link on port " + SignedPort(masterPort));
    }
    log_.Write(kLevelTrace, "Ending SaveCameraInfo " + std::to_string(status));
    return status;
}

// A camera may use more links than were found when a free camera operator
// offers them and ports are still unconnected: ask it, and look for the new
// links. Failing to grow leaves the camera as it was found.
int32_t CxpController::SearchExtensionLinks(uint32_t masterId, uint32_t bitRate) {
    DiscoveryInfo &info = impl_->Info();
    log_.Write(kLevelDetail, "Checking for unconnected ports...");
    const uint32_t unconnected = impl_->AllPortsMask() & ~foundPorts_;
    if (unconnected == 0) {
        log_.Write(kLevelDetail, "All ports are connected");
        return ERR_NONE;
    }
    log_.Write(kLevelDetail, "Checking largest free AP operator...");
    const int32_t cameraLinks = info.CountCameraLinks(masterId);
    const int32_t largestFree = info.LargestFreeApMaster();
    if (largestFree <= cameraLinks) {
        log_.Write(kLevelDetail, "None of the free AP operators offers more extension links for connections");
        return ERR_NONE;
    }
    log_.Write(kLevelDetail, "Asking the camera how many links it would want...");
    const uint32_t commandPort = info.GetCommandPort(masterId);
    uint32_t defaultConfig = 0;
    if (ReadCameraRegister(commandPort, camera_register::kConnectionConfigDefault, defaultConfig,
                           kCameraRegisterTimeoutMs) != ERR_NONE) {
        log_.Write(kLevelWarning, "Failed to ask camera default configuration");
        return ERR_NONE;
    }
    const int32_t wanted = static_cast<int32_t>(std::min<uint32_t>(cxp::LinkCountOf(defaultConfig), cxp::kMaxPorts));
    if (wanted <= cameraLinks) {
        log_.Write(kLevelDetail, "The camera doesn't want any additional links");
        return ERR_NONE;
    }
    const uint32_t links = static_cast<uint32_t>(
        std::min({wanted, largestFree, cameraLinks + static_cast<int32_t>(std::popcount(unconnected))}));
    log_.Write(kLevelDetail, "Configuring the camera to use " + std::to_string(links) + " links at " +
                                 cxp::GbpsText(bitRate) + " Gbps...");
    if (WriteCameraRegister(commandPort, camera_register::kConnectionConfig, cxp::ConnectionConfig(links, bitRate),
                            AcknowledgeMode::kOptional, kCameraRegisterTimeoutMs) != ERR_NONE) {
        log_.Write(kLevelWarning, "Failed to set camera link config");
        return ERR_NONE;
    }
    log_.Write(kLevelDetail, "Sleeping " + std::to_string(settings_.waitAfterCameraConfigDoneMs) + " milliseconds");
    Sleep(settings_.waitAfterCameraConfigDoneMs);

    const uint32_t cameraPorts = MaskOrNone(info.GetCameraPortMask(masterId, -1));
    uint32_t locked = 0;
    LockLinksAtSpeed(cameraPorts | unconnected, bitRate, &locked, 0);
    ForEachPort(unconnected & locked, [&](uint32_t port) {
        const std::string portText = std::to_string(port);
        uint32_t hostId = 0, extension = 0;
        if (ReadCameraRegister(port, camera_register::kMasterHostConnectionId, hostId, kCameraRegisterTimeoutMs) !=
            ERR_NONE) {
            log_.Write(kLevelWarning, "Failed to read master id on port " + portText);
            return;
        }
        if (hostId != masterId) {
            log_.Write(kLevelWarning, "Port " + portText + " found after reconfiguration, but has different master id (" +
                                          std::to_string(hostId) + ")");
            return;
        }
        if (ReadCameraRegister(port, camera_register::kDeviceConnectionId, extension, kCameraRegisterTimeoutMs) !=
            ERR_NONE) {
            log_.Write(kLevelWarning, "Failed to read extension link id on port " + portText);
            return;
        }
        info.SetCameraPort(port, masterId, extension);
        RecordDetectedRates(1u << port, bitRate);
        foundPorts_ |= 1u << port;
        log_.Write(kLevelDetail, "Port " + portText + " added to camera configuration as extension link");
    });
    ForEachPort(cameraPorts & ~locked, [&](uint32_t port) {
        log_.Write(kLevelWarning, "Port " + std::to_string(port) + " was lost after reconfiguration");
    });
    return ERR_NONE;
}

int32_t CxpController::RecordCameraParameters(uint32_t masterId, uint32_t commandPort) {
    DiscoveryInfo &info = impl_->Info();
    uint32_t value = 0;
    if (ReadCameraRegister(commandPort, camera_register::kControlPacketSizeMax, value, kCameraRegisterTimeoutMs) ==
        ERR_NONE) {
        log_.Write(kLevelDetail, "Camera accepts control packets of up to " + std::to_string(value) + " bytes");
        info.SetControlPacketSize(masterId, value);
    }
    if (ReadCameraRegister(commandPort, camera_register::kStreamPacketSizeMax, value, kCameraRegisterTimeoutMs) ==
        ERR_NONE)
        log_.Write(kLevelDetail, "Camera max. stream packet size of up to " + std::to_string(value));
    uint64_t appletSize = 0;
    if (impl_->ReadRegister(CxpRegister::kStreamPacketSize, 0, appletSize) == ERR_NONE) {
        const uint32_t bytes = static_cast<uint32_t>(appletSize);
        log_.Write(kLevelDetail, "Firmware accepts stream packets packets of up to " + std::to_string(bytes) + " bytes");
        if (WriteCameraRegister(commandPort, camera_register::kStreamPacketSizeMax, bytes, AcknowledgeMode::kRequired,
                                kCameraRegisterTimeoutMs) != ERR_NONE)
            log_.Write(kLevelWarning, "Failed to set the stream packet size on the camera");
        info.SetStreamPacketSize(masterId, bytes);
    }
    if (ReadCameraRegister(commandPort, camera_register::kRevision, value, kCameraRegisterTimeoutMs) == ERR_NONE) {
        log_.Write(kLevelDetail, "Camera supports protocol revision " + cxp::Hex(value));
        info.SetProtocolRevision(masterId, value);
    }
    return ERR_NONE;
}

// Routes the cameras to their operators, then gives every camera its final
// link count and the fastest speed it accepts. A camera that cannot be
// configured does not stop the others: they are all configured, and the
// scan then reports the layout as not what the applet wants.
int32_t CxpController::SetFinalLink(uint32_t speed, uint32_t flags) {
    log_.Write(kLevelTrace, "Starting SetFinalLink");
    DiscoveryInfo &info = impl_->Info();
    SetDiscoverySelect(info.ComputeDiscoverySelect());
    std::vector<uint32_t> masters;
    info.ListCameraMasters(true, masters);
    int32_t status = ERR_NONE;
    for (uint32_t master : masters) {
        uint32_t links = 0;
        if (NegotiateFinalLink(master, speed, flags, links) != ERR_NONE) {
            log_.Write(kLevelError, "Failed to negotiate the link configuration of the camera with master id " +
                                        std::to_string(master));
            // The caller sees ERR_LINK_LAYOUT_MISMATCH from the scan, with every camera registered.
            status = ERR_LINK_LAYOUT_MISMATCH;
        }
        const uint32_t masterPort = info.FindCameraMasterPort(master);
        ReadCameraInfo(masterPort);
        const std::optional<CameraInfoTexts> texts = info.GetCameraInfo(master);
        const std::string model = texts && (*texts)[1] ? *(*texts)[1] : std::string();
        log_.Write(kLevelInfo, "Camera on port " + SignedPort(masterPort) + " is a " + model + " using " +
                                   std::to_string(links) + " links at " + cxp::GbpsText(info.GetBitRate(master)) +
                                   " Gbit/s");
    }
    log_.Write(kLevelTrace, "Ending SetFinalLink");
    return status;
}

// The number of links of the camera operator the camera's master link is connected to; 0 without one.
uint32_t CxpController::OperatorLinkCount(uint32_t masterId) {
    DiscoveryInfo &info = impl_->Info();
    const uint32_t appletPort = info.GetCameraPeerIndex(info.FindCameraMasterPort(masterId));
    const int32_t links = info.CountApLinks(info.GetApMasterId(appletPort));
    return links > 0 ? static_cast<uint32_t>(links) : 0;
}

int32_t CxpController::NegotiateFinalLink(uint32_t masterId, uint32_t speed, uint32_t flags, uint32_t &links) {
    DiscoveryInfo &info = impl_->Info();
    const uint32_t commandPort = info.GetCommandPort(masterId);
    if (commandPort >= impl_->PortCount()) {
        log_.Write(kLevelError, "Invalid command port");
        return ERR_INVALID_PORT;
    }
    log_.Write(kLevelDetail, "Negotiating final link configuration for camera with master id " +
                                 std::to_string(masterId) + " at link " +
                                 SignedPort(info.FindCameraMasterPort(masterId)));
    const uint32_t wanted = OperatorLinkCount(masterId);
    const int32_t cameraLinks = info.CountCameraLinks(masterId);
    if (cameraLinks < 1 || wanted == 0) {
        log_.Write(kLevelError, "Invalid number of links");
        return -1;
    }
    const uint32_t discovered = info.GetDiscoveryBitRate(masterId);
    AlignLinkCount(masterId, commandPort, wanted, discovered);
    // A camera cannot run more links than it has.
    links = std::min(wanted, static_cast<uint32_t>(cameraLinks));

    std::vector<std::pair<uint32_t, std::string>> attempts;
    if (speed != 0) attempts.emplace_back(speed, " (user defined speed)");
    uint32_t defaultConfig = 0;
    if ((flags & kFlagCameraDefaultSpeed) &&
        ReadCameraRegister(commandPort, camera_register::kConnectionConfigDefault, defaultConfig,
                           kCameraRegisterTimeoutMs) == ERR_NONE &&
        cxp::IsValidSpeed(cxp::BitRateOf(defaultConfig), Family()) && cxp::BitRateOf(defaultConfig) != 0)
        attempts.emplace_back(cxp::BitRateOf(defaultConfig), " (camera default speed)");
    for (uint32_t candidate : cxp::NegotiationCandidates(Family(), info.GetProtocolRevision(masterId)))
        attempts.emplace_back(candidate, "");

    int32_t status = ERR_LINK_TIMEOUT;
    for (const auto &[rate, reason] : attempts) {
        log_.Write(kLevelDetail, "Trying " + cxp::GbpsText(rate) + " Gbps" + reason + "...");
        // A camera refusing a candidate speed is the expected answer here, not an error.
        status = ConfigureCameraLinks(masterId, rate, links, nullptr, kLevelDetail);
        if (status == ERR_NONE) return ERR_NONE;
    }
    return status;
}

// Brings the camera's link count to what its operator wants before the speed is chosen.
int32_t CxpController::AlignLinkCount(uint32_t masterId, uint32_t commandPort, uint32_t wantedLinks,
                                      uint32_t discovered) {
    uint32_t current = 0;
    if (ReadCameraRegister(commandPort, camera_register::kConnectionConfig, current, kCameraRegisterTimeoutMs) !=
        ERR_NONE) {
        log_.Write(kLevelWarning, "Failed to read back link configuration from camera");
        return ERR_NONE;
    }
    if (cxp::BitRateOf(current) != discovered)
        log_.Write(kLevelWarning, "Discovered camera speed and CurrentConfig register do not match");
    if (cxp::LinkCountOf(current) == wantedLinks) return ERR_NONE;
    log_.Write(kLevelDetail, "Camera is configured with " + std::to_string(cxp::LinkCountOf(current)) +
                                 ", the operator wants " + std::to_string(wantedLinks));
    const uint32_t rate = cxp::BitRateOf(current) != 0 ? cxp::BitRateOf(current) : discovered;
    const int32_t status = SetLinkConfig(masterId, rate, wantedLinks, 0, nullptr);
    if (status != ERR_NONE) {
        log_.Write(kLevelWarning, "Failed to set camera configuration to " + std::to_string(wantedLinks) +
                                      " links; this will probably result in a topology mismatch");
        return status;
    }
    if (ReadCameraRegister(commandPort, camera_register::kConnectionConfig, current, kCameraRegisterTimeoutMs) !=
        ERR_NONE)
        log_.Write(kLevelWarning, "Failed to read back new link configuration from camera");
    return ERR_NONE;
}

}  // namespace vexo::genicam
