#include "model/NOXCameraInterface.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <exception>

#include "board/BoardTypeTable.h"
#include "board/FirmwareControllerBase.h"
#include "discovery/DiscoveryInfo.h"
#include "discovery/MasterRecord.h"
#include "genapi/CNodeMapRef.h"
#include "genapi/IPort.h"
#include "logging/LoggerNames.h"
#include "logging/Record.h"
#include "model/NOXBoardInterface.h"
#include "platform/LiveObjectSet.h"
#include "protocol/ClhsRegisters.h"
#include "protocol/CxpBootstrap.h"
#include "settings/TweakProperties.h"

namespace vexo::genicam {

using templates::platform::LiveObjectSet;
using templates::platform::RecursiveMutex;
using tools::logging::kLevelDetail;
using tools::logging::kLevelError;
using tools::logging::kLevelInfo;
using tools::logging::kLevelWarning;

namespace {

constexpr uint32_t kMasterHostConnectionIdRegister = protocol::cxp::bootstrap::kMasterHostConnectionId;
constexpr uint32_t kConnectionConfigRegister = protocol::cxp::bootstrap::kConnectionConfig;
constexpr uint32_t kClhsMasterIdRegister = protocol::clhs::camera::kDeviceId;
constexpr uint32_t kTopologyReadTimeoutMs = 200;

uint32_t InitialBitRate(ControllerKind kind) {
    switch (kind) {
        case ControllerKind::kCameraLinkHs: return 10000;
        case ControllerKind::kCoaXPress: return 3125;
        default: return 0;
    }
}

uint32_t InitialControlPacketSize(ControllerKind kind) {
    switch (kind) {
        case ControllerKind::kCameraLinkHs: return 8192;
        case ControllerKind::kCoaXPress: return 512;
        default: return 0;
    }
}

uint32_t ReadSyncInitialWait() {
    const int32_t waitMs = templates::platform::TweakProperties::GetInt32("NOX::SyncMonitorInitialWaitInMs");
    return waitMs < 0 ? 0u : static_cast<uint32_t>(waitMs);
}

std::string Hex64(uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%016" PRIX64, value);
    return text;
}

// The cameras a handle may name.
LiveObjectSet<NOXCameraInterface> &LiveCameras() {
    static LiveObjectSet<NOXCameraInterface> cameras;
    return cameras;
}

CameraPin::BoardHold PinBoardOf(NOXCameraInterface *camera) { return LiveBoard(ToHandle(camera->Board())); }

void DeleteCamera(NOXCameraInterface *camera) { delete camera; }

}  // namespace

CameraPin LiveCamera(NoxCameraHandle *handle) {
    auto [board, camera] = LiveCameras().FindTied(handle, &PinBoardOf);
    return CameraPin(std::move(board), std::move(camera));
}

void RetireCamera(std::unique_ptr<NOXCameraInterface> camera) {
    if (camera) LiveCameras().Retire(camera.release(), &DeleteCamera);
}

NOXCameraInterface::NOXCameraInterface(NOXBoardInterface *board, uint32_t port)
    : board_(board),
      controllerKind_(board != nullptr ? board->Kind() : ControllerKind::kNone),
      commandPort_(port),
      bitRate_(InitialBitRate(controllerKind_)),
      controlPacketSize_(InitialControlPacketSize(controllerKind_)),
      syncInitialWaitMs_(ReadSyncInitialWait()) {
    // The camera is known by the port it was made for until its links are known.
    if (port < kMaxLinks) links_[0].cameraPort = port;
    syncStopwatch_.Restart();
    LiveCameras().Add(this);
}

NOXCameraInterface::~NOXCameraInterface() {
    LiveCameras().Forget(this);
    SetConnected(false);
}

tools::logging::Logger *NOXCameraInterface::GetLogger() {
    return logger_.Get(tools::logging::names::kCameraInterface);
}

void NOXCameraInterface::Log(uint32_t level, const std::string &message) { WriteRecord(GetLogger(), level, {}, message); }

void NOXCameraInterface::Trace(const std::string &marker) {
    if (FirmwareControllerBase *controller = Controller()) controller->ConsoleTrace(marker);
}

FirmwareControllerBase *NOXCameraInterface::Controller() const {
    return board_ != nullptr ? board_->Controller() : nullptr;
}

// --- Parameters and link records ---------------------------------------------

int32_t NOXCameraInterface::SetBitRate(uint32_t bitRate) {
    if (!DiscoveryInfo::IsSupportedBitRate(bitRate)) return ERR_INVALID_LINK_SPEED;
    bitRate_.store(bitRate);
    return ERR_NONE;
}

int32_t NOXCameraInterface::SetLinkCount(uint32_t count) {
    if (count > kMaxLinks) return ERR_INVALID_ARGUMENT;
    linkCount_.store(count);
    return ERR_NONE;
}

int32_t NOXCameraInterface::SetStreamPacketSize(uint32_t bytes) {
    streamPacketSize_.store(bytes);
    return ERR_NONE;
}

void NOXCameraInterface::SetLinkUp(bool value) {
    std::lock_guard<std::mutex> lock(recordMutex_);
    linkUp_.store(value);
}

void NOXCameraInterface::MakePlaceholder(uint32_t placeholderId, uint32_t apPort, uint32_t linkCount) {
    SetDiscovered(true);
    SetLinkUp(false);
    SetConnected(false);
    SetDummy(true);
    linkCount_.store(std::min(linkCount, kMaxLinks));
    SetMasterId(placeholderId);
    SetCommandPort(apPort);
    for (auto *parameter : {&bitRate_, &discoveryBitRate_, &streamPacketSize_, &controlPacketSize_})
        parameter->store(0);
}

int32_t NOXCameraInterface::SetLinkCameraPort(uint32_t link, uint32_t port) {
    if (link >= kMaxLinks || port >= kMaxLinks) return ERR_INVALID_ARGUMENT;
    std::lock_guard<std::mutex> lock(recordMutex_);
    links_[link].cameraPort = port;
    return ERR_NONE;
}

int32_t NOXCameraInterface::SetLinkApPort(uint32_t link, uint32_t port) {
    if (link >= kMaxLinks || port >= kMaxLinks) return ERR_INVALID_ARGUMENT;
    std::lock_guard<std::mutex> lock(recordMutex_);
    links_[link].apPort = port;
    return ERR_NONE;
}

int32_t NOXCameraInterface::SetLinkApMasterId(uint32_t link, uint32_t apMasterId) {
    if (link == kNone) {
        apMasterId_.store(apMasterId);
        return ERR_NONE;
    }
    if (link >= kMaxLinks) return ERR_INVALID_ARGUMENT;
    std::lock_guard<std::mutex> lock(recordMutex_);
    links_[link].apMasterId = apMasterId;
    return ERR_NONE;
}

int32_t NOXCameraInterface::SetLinkApExtensionId(uint32_t link, uint32_t extensionId) {
    if (link >= kMaxLinks || extensionId >= kMaxLinks) return ERR_INVALID_ARGUMENT;
    std::lock_guard<std::mutex> lock(recordMutex_);
    links_[link].apExtensionId = extensionId;
    return ERR_NONE;
}

int32_t NOXCameraInterface::GetLinkCameraPort(uint32_t link, uint32_t &port) const {
    if (link >= kMaxLinks) return ERR_INVALID_ARGUMENT;
    std::lock_guard<std::mutex> lock(recordMutex_);
    port = links_[link].cameraPort;
    return ERR_NONE;
}

int32_t NOXCameraInterface::GetLinkApPort(uint32_t link, uint32_t &port) const {
    if (link >= kMaxLinks) return ERR_INVALID_ARGUMENT;
    std::lock_guard<std::mutex> lock(recordMutex_);
    port = links_[link].apPort;
    return ERR_NONE;
}

int32_t NOXCameraInterface::GetLinkApMasterId(uint32_t link, uint32_t &apMasterId) const {
    if (link >= kMaxLinks) return ERR_INVALID_ARGUMENT;
    std::lock_guard<std::mutex> lock(recordMutex_);
    apMasterId = links_[link].apMasterId;
    return ERR_NONE;
}

int32_t NOXCameraInterface::GetLinkApExtensionId(uint32_t link, uint32_t &extensionId) const {
    if (link >= kMaxLinks) return ERR_INVALID_ARGUMENT;
    std::lock_guard<std::mutex> lock(recordMutex_);
    extensionId = links_[link].apExtensionId;
    return ERR_NONE;
}

LinkRecord NOXCameraInterface::Link(uint32_t link) const {
    std::lock_guard<std::mutex> lock(recordMutex_);
    return link < kMaxLinks ? links_[link] : LinkRecord{};
}

std::array<LinkRecord, NOXCameraInterface::kMaxLinks> NOXCameraInterface::Links() const {
    std::lock_guard<std::mutex> lock(recordMutex_);
    return links_;
}

void NOXCameraInterface::SetLinkRecord(uint32_t link, const LinkRecord &record) {
    std::lock_guard<std::mutex> lock(recordMutex_);
    links_[link] = record;
}

bool NOXCameraInterface::UsesCameraPort(uint32_t port) const {
    std::lock_guard<std::mutex> lock(recordMutex_);
    return std::any_of(links_.begin(), links_.end(), [port](const LinkRecord &link) { return link.cameraPort == port; });
}

uint32_t NOXCameraInterface::GetPortIndex() {
    if (IsDiscovered()) return CommandPort();
    if (FirmwareControllerBase *controller = Controller()) {
        RecursiveMutex::Guard model(controller->LinkMutex());
        if (DiscoveryInfo *info = board_->GetDiscoveryInfo(false)) {
            const uint32_t masterPort = info->FindCameraMasterPort(MasterId());
            if (masterPort != kNone) {
                const uint32_t apPort = info->GetCameraPeerIndex(masterPort);
                return apPort != kNone ? apPort : masterPort;
            }
        }
    }
    for (const LinkRecord &link : Links())
        if (link.HasCameraPort()) return link.cameraPort;
    return kNone;
}

// --- GenICam ---------------------------------------------------------------------

void NOXCameraInterface::SetConnected(bool value) {
    connected_.store(value);
    if (value) return;
    nodeMap_.reset();
    port_.reset();
}

void NOXCameraInterface::SetGenApiObjects(std::unique_ptr<GenApi::CNodeMapRef> nodeMap,
                                          std::unique_ptr<GenApi::IPort> port) {
    nodeMap_ = std::move(nodeMap);
    port_ = std::move(port);
}

GenApi::INodeMap *NOXCameraInterface::NodeMap() const { return nodeMap_ ? nodeMap_->_Ptr() : nullptr; }

// A text stays valid until the same thread reads the same feature again (not any thread).
const char *NOXCameraInterface::KeepFeatureText(const std::string &feature, std::string text) {
    std::lock_guard<std::mutex> lock(recordMutex_);
    std::string &kept = featureTexts_[{feature, std::this_thread::get_id()}];
    kept = std::move(text);
    return kept.c_str();
}

// --- Identification ------------------------------------------------------------

void NOXCameraInterface::SetCameraInfo(const std::array<std::optional<std::string>, 8> &texts) {
    const char **fields[] = {&infoFields_.vendorName,       &infoFields_.modelName,       &infoFields_.familyName,
                             &infoFields_.version,          &infoFields_.firmwareVersion, &infoFields_.manufacturerInfo,
                             &infoFields_.serialNumber,     &infoFields_.userId};
    std::lock_guard<std::mutex> lock(recordMutex_);
    for (size_t i = 0; i < texts.size(); ++i) {
        if (!texts[i]) continue;
        std::string &stored = infoStrings_[kCameraInfoNames[i]];
        stored = *texts[i];
        *fields[i] = stored.c_str();
    }
    infoValid_ = true;
}

bool NOXCameraInterface::HasCameraInfo() const {
    std::lock_guard<std::mutex> lock(recordMutex_);
    return infoValid_;
}

const NoxCameraInfo *NOXCameraInterface::GetCameraInfo() {
    FirmwareControllerBase *controller = Controller();
    if (!IsDummy() && !HasCameraInfo() && controller != nullptr) {
        RecursiveMutex::Guard model(controller->LinkMutex());
        // Another thread may have fetched them while this one waited; once
        // filled, the record handed out is never rewritten.
        if (!HasCameraInfo()) {
            controller->ReadCameraInfo(CommandPort());
            if (DiscoveryInfo *info = board_->GetDiscoveryInfo(false)) {
                if (auto texts = info->GetCameraInfo(MasterId()); texts && std::any_of(texts->begin(), texts->end(),
                                                                                       [](const auto &text) {
                                                                                           return text.has_value();
                                                                                       }))
                    SetCameraInfo(*texts);
            }
        }
    }
    return HasCameraInfo() ? &infoFields_ : nullptr;
}

// --- Link connect -------------------------------------------------------------

int32_t NOXCameraInterface::LinkConnect() {
    FirmwareControllerBase *controller = Controller();
    if (controller == nullptr) {
        Log(kLevelError, "No physical interface for camera found");
        return ERR_INVALID_CAMERA_HANDLE;
    }
    // The registry and the other boards' link locks come first (Camera Link HS connects count links on every board).
    const NOXBoardInterface::CrossBoardLock crossBoard = board_->LockForCrossBoardWork();
    // The model changes below must not interleave with a scan or a link check.
    RecursiveMutex::Guard model(controller->LinkMutex());
    Trace("[LinkConnect       ] Entered.");
    if (!board_->IsCameraLink() && (BitRate() == 0 || StreamPacketSize() == 0)) {
        Log(kLevelError, "No link speed or no stream packet size set");
        return ERR_DISCOVERY_INCOMPLETE;
    }
    DiscoveryInfo *info = board_->GetDiscoveryInfo(true);
    if (info == nullptr) return ERR_INTERNAL;

    if (!IsDiscovered()) {
        Log(kLevelDetail, "Connecting camera...");
        const std::array<LinkRecord, kMaxLinks> links = Links();
        if (int32_t status = CheckLinkRecordsComplete(links); status != ERR_NONE) return status;
        const int32_t layout = HasUnconnectedRecord(links) ? DetermineLayout(*info) : ConnectModelFromRecords(*info);
        if (layout != ERR_NONE) return layout;
        if (int32_t status = StoreConnectionParameters(*info); status != ERR_NONE) return status;
        Trace("[LinkConnect       ] Masters connected.");
        Log(kLevelDetail, "Synchronize link speed...");
        const int32_t portMask = info->GetCameraPortMask(MasterId(), -1);
        if (int32_t status = controller->LockLinks(static_cast<uint32_t>(portMask), BitRate()); status != ERR_NONE) {
            Log(kLevelError, "Failed to detect the current link speed");
            return status;
        }
        Trace("[LinkConnect       ] Link speed detected.");
        Log(kLevelDetail, "Camera connected.");
    }

    if (MasterId() == 0 || static_cast<int32_t>(CommandPort()) < 0) {
        Log(kLevelError, "No master for camera set or detected");
        return ERR_NO_MASTER;
    }
    UpdateDiscoverySelect(*info);
    Trace("[LinkConnect       ] Discovery Mux updated.");
    if (CommandPort() == Link(0).apPort) {
        if (int32_t status = SetUpMasterLink(); status != ERR_NONE) return status;
    }
    SetDiscovered(true);
    MarkLinkConnected();
    Trace("[LinkConnect       ] Leaving.");
    return CheckTopology() ? ERR_NONE : ERR_LINK_LAYOUT_MISMATCH;
}

void NOXCameraInterface::MarkLinkConnected() {
    std::lock_guard<std::mutex> lock(recordMutex_);
    linkUp_.store(true);
    ++connects_;
    syncStopwatch_.Restart();
    syncWaitOver_ = false;
}

int32_t NOXCameraInterface::CheckLinkRecordsComplete(const std::array<LinkRecord, kMaxLinks> &links) {
    uint32_t found = 0, connected = 0;
    for (uint32_t i = 0; i < kMaxLinks && found < LinkCount(); ++i) {
        if (!links[i].HasCameraPort()) continue;
        ++found;
        if (links[i].HasApPort()) ++connected;
        if (connected > 0 && connected < found) {
            Log(kLevelError, "Number of links configured does not match number of links found!");
            Log(kLevelDetail, "Links found: " + std::to_string(found) + ", expected: " + std::to_string(connected));
            return ERR_DISCOVERY_INCOMPLETE;
        }
    }
    return ERR_NONE;
}

bool NOXCameraInterface::HasUnconnectedRecord(const std::array<LinkRecord, kMaxLinks> &links) {
    bool unconnected = false;
    for (uint32_t i = 0, seen = 0; i < kMaxLinks && seen < LinkCount(); ++i) {
        if (!links[i].HasCameraPort()) continue;
        ++seen;
        unconnected |= !links[i].HasApPort();
    }
    return unconnected;
}

int32_t NOXCameraInterface::DetermineLayout(DiscoveryInfo &info) {
    Log(kLevelDetail, "Determining camera link layout...");
    const uint32_t masterId = MasterId();
    uint32_t extension = kNone;
    info.FirstCameraLink(masterId, extension);
    if (extension != kNone && extension > 0) info.SetCommandPort(masterId, info.FindCameraPort(masterId, extension));
    if (int32_t status = board_->AllocateCameraOperator(info, masterId); status != ERR_NONE) return status;
    for (info.FirstCameraLink(masterId, extension); extension != kNone;
         info.NextCameraLink(masterId, extension, extension)) {
        LinkRecord link = extension < kMaxLinks ? Link(extension) : LinkRecord{};
        if (!link.HasCameraPort()) {
            Log(kLevelError, "Discovery info contains unconnected ports!");
            Log(kLevelDetail, "Camera master id: " + std::to_string(masterId) +
                                  ", extension id: " + std::to_string(extension));
            return ERR_INTERNAL;
        }
        link.apPort = info.GetCameraPeerIndex(link.cameraPort);
        link.apMasterId = info.GetApMasterId(link.apPort);
        link.apExtensionId = info.GetApExtensionId(link.apPort);
        SetLinkRecord(extension, link);
    }
    return ERR_NONE;
}

int32_t NOXCameraInterface::ConnectModelFromRecords(DiscoveryInfo &info) {
    Log(kLevelDetail, "Connecting ports...");
    const uint32_t masterId = MasterId();
    const std::array<LinkRecord, kMaxLinks> links = Links();
    try {
        uint32_t connected = 0;
        for (uint32_t i = 0; i < kMaxLinks && connected < LinkCount(); ++i) {
            const LinkRecord &link = links[i];
            if (!link.HasCameraPort() || !link.HasApPort()) continue;
            // A configuration whose master link is not the first connected one
            // still reaches the camera through the first connected applet port.
            if (i != 0 && connected == 0) info.SetCommandPort(masterId, link.apPort);
            const uint32_t apMaster = ApMasterId() != kNone ? ApMasterId() : link.apMasterId;
            info.ConnectLink(masterId, i, apMaster, link.apExtensionId);
            ++connected;
        }
    } catch (const std::exception &error) {
        Log(kLevelError, std::string("Failed to connect ports on camera: ") + error.what());
        return ERR_DISCOVERY_INCOMPLETE;
    } catch (...) {
        Log(kLevelError, "Failed to connect ports on camera");
        return ERR_DISCOVERY_INCOMPLETE;
    }
    return ERR_NONE;
}

int32_t NOXCameraInterface::StoreConnectionParameters(DiscoveryInfo &info) {
    Log(kLevelDetail, "Setting camera connection parameters...");
    const uint32_t masterId = MasterId();
    SetCommandPort(info.GetCommandPort(masterId));
    if (DiscoveryBitRate() == 0) SetDiscoveryBitRate(BitRate());
    Log(kLevelDetail, "Master ID: " + std::to_string(masterId));
    Log(kLevelDetail, "Command port: " + std::to_string(CommandPort()));
    Log(kLevelDetail, "Bitrate: " + std::to_string(BitRate()));
    Log(kLevelDetail, "Discovery Bitrate: " + std::to_string(DiscoveryBitRate()));
    Log(kLevelDetail, "Stream packet size: " + std::to_string(StreamPacketSize()));
    Log(kLevelDetail, "Control packet size: " + std::to_string(ControlPacketSize()));
    try {
        info.SetBitRate(masterId, BitRate());
        info.SetDiscoveryBitRate(masterId, DiscoveryBitRate());
        info.SetStreamPacketSize(masterId, StreamPacketSize());
        info.SetControlPacketSize(masterId, ControlPacketSize());
    } catch (const std::exception &error) {
        Log(kLevelError, std::string("Failed to set connection parameters: ") + error.what());
        return ERR_INTERNAL;
    } catch (...) {
        Log(kLevelError, "Failed to set connection parameters");
        return ERR_INTERNAL;
    }
    return ERR_NONE;
}

int32_t NOXCameraInterface::SetUpMasterLink() {
    FirmwareControllerBase *controller = Controller();
    const uint32_t masterId = MasterId();
    const uint32_t port = CommandPort();
    Log(kLevelDetail, "Setting up total number of links...");
    const int32_t totalLinks = board_->CountLinksOfMaster(masterId);
    if (totalLinks <= 0) {
        Log(kLevelError, "Failed to get total number of links!");
        return ERR_INTERNAL;
    }
    if (board_->IsCxp()) {
        Log(kLevelDetail, "Setting camera master id and packet sizes...");
        if (controller->WriteRegister(port, kMasterHostConnectionIdRegister, masterId, ByteSwap::kSwapWords,
                                      AcknowledgeMode::kRequired, 0) != ERR_NONE)
            Log(kLevelWarning, "Failed to set the master id on the camera");
        Trace("[LinkConnect       ] MasterHostLinkId set.");
        uint32_t controlPacketSize = 0;
        if (controller->ReadControlPacketSizeMax(port, &controlPacketSize) != ERR_NONE)
            Log(kLevelWarning, "Failed to get the control packet size on the camera");
        else
            SetControlPacketSize(controlPacketSize);
        Trace("[LinkConnect       ] Control packet size set.");
        if (StreamPacketSize() == 0) {
            Log(kLevelError, "No stream packet size set");
            return ERR_DISCOVERY_INCOMPLETE;
        }
        if (controller->WriteStreamPacketSizeMax(port, StreamPacketSize()) != ERR_NONE)
            Log(kLevelWarning, "Failed to set the stream packet size on the camera");
        Trace("[LinkConnect       ] Stream packet size set.");
    }
    Log(kLevelDetail, "Setting the link speed...");
    if (int32_t status = controller->SetLinkConfig(masterId, BitRate(), static_cast<uint32_t>(totalLinks), 0, nullptr);
        status != ERR_NONE) {
        Log(kLevelError, "Failed to set the link speed and connect to the camera");
        return status;
    }
    Trace("[LinkConnect       ] Link speed set and connected.");
    if (board_->IsClhs()) {
        Log(kLevelDetail, "Setting camera master id...");
        if (controller->WriteRegister(port, kClhsMasterIdRegister, masterId, ByteSwap::kSwapWords,
                                      AcknowledgeMode::kRequired, 0) != ERR_NONE)
            Log(kLevelWarning, "Failed to set the master id on the camera");
    }
    Log(kLevelDetail, "Links physically connected.");
    return ERR_NONE;
}

void NOXCameraInterface::UpdateDiscoverySelect(DiscoveryInfo &info) {
    FirmwareControllerBase *controller = Controller();
    if (controller == nullptr) return;
    controller->SetDiscoverySelect(info.ComputeDiscoverySelect());
    if (GetLogger()->IsEnabled(kLevelDetail))
        Log(kLevelDetail, "Current link layout of board: " + Hex64(controller->GetDiscoverySelect().Value()));
}

// --- Topology check -------------------------------------------------------------

bool NOXCameraInterface::CheckTopology() {
    Log(kLevelDetail, "Checking topology...");
    FirmwareControllerBase *controller = Controller();
    if (controller == nullptr) {
        topologyOk_.store(false);
        return false;
    }
    RecursiveMutex::Guard model(controller->LinkMutex());
    DiscoveryInfo *info = board_->GetDiscoveryInfo(false);
    const uint32_t apMaster = info != nullptr ? info->GetApMasterId(CommandPort()) : kNone;
    const int32_t apLinks = info != nullptr ? info->CountApLinks(apMaster) : -1;
    if (apLinks < 0) {
        topologyOk_.store(false);
        return false;
    }
    const bool acceptsPartlyUsed =
        board_->IsCxp() && AcceptsPartlyUsedOperators(controller->BoardType(), controller->FirmwareVersion());
    bool answer = true;
    if (!acceptsPartlyUsed) answer = CheckApPortsConnected(*info, apMaster, apLinks);
    if (board_->IsCxp()) {
        answer = CheckCameraLinksOnOperator(*info, apMaster) && answer;
        answer = CheckConfiguredLinkCount(apLinks, acceptsPartlyUsed, answer);
    }
    topologyOk_.store(answer);
    return answer;
}

bool NOXCameraInterface::CheckApPortsConnected(DiscoveryInfo &info, uint32_t apMaster, int32_t apLinks) {
    bool answer = true;
    for (int32_t extension = 0; extension < apLinks; ++extension) {
        const uint32_t apPort = info.FindApPort(apMaster, static_cast<uint32_t>(extension));
        if (info.GetApPeerIndex(apPort) != kNone) continue;
        answer = false;
        Log(kLevelDetail, "Camera operator requires " + std::to_string(apLinks) + " links; link " +
                              std::to_string(extension) + " is unconnected");
    }
    return answer;
}

bool NOXCameraInterface::CheckCameraLinksOnOperator(DiscoveryInfo &info, uint32_t apMaster) {
    const int32_t cameraLinks = info.CountCameraLinks(MasterId());
    if (cameraLinks < 0) return false;
    for (int32_t extension = 0; extension < cameraLinks; ++extension) {
        const uint32_t port = info.FindCameraPort(MasterId(), static_cast<uint32_t>(extension));
        const uint32_t apPort = port != kNone ? info.GetCameraPeerIndex(port) : kNone;
        if (apPort != kNone && info.GetApMasterId(apPort) == apMaster) continue;
        Log(kLevelWarning, "Camera has " + std::to_string(cameraLinks) +
                               " active links; not all links are connected to the same camera operator");
        return false;
    }
    return true;
}

bool NOXCameraInterface::CheckConfiguredLinkCount(int32_t apLinks, bool acceptsPartlyUsed, bool answer) {
    uint32_t connectionConfig = 0;
    if (Controller()->ReadRaw(CommandPort(), kConnectionConfigRegister, &connectionConfig, 4, ByteSwap::kSwapWords,
                              kTopologyReadTimeoutMs) != ERR_NONE) {
        Log(kLevelWarning, "Failed to read link configuration from camera");
        return answer;
    }
    const int32_t configured = static_cast<int32_t>(connectionConfig >> 16);
    if (configured == apLinks) return answer;
    Log(kLevelInfo, "Camera is configured to use " + std::to_string(configured) + " links; camera operator provides " +
                        std::to_string(apLinks) + " links");
    if (configured < apLinks && acceptsPartlyUsed) return answer;
    Log(kLevelWarning, "Applet topology does not match connected camera(s)");
    Log(kLevelWarning, "Please check if the applet used matches the camera(s) connected");
    return false;
}

// --- Link monitoring ------------------------------------------------------------

bool NOXCameraInterface::IsLinkUp(bool force) {
    const LinkState state = CheckLink(force, std::nullopt);
    return force ? state == LinkState::kUp : state != LinkState::kLost;
}

NOXCameraInterface::LinkState NOXCameraInterface::CheckLink(bool force,
                                                           std::optional<std::chrono::milliseconds> lockPatience) {
    if (!force) {
        std::lock_guard<std::mutex> lock(recordMutex_);
        if (!linkUp_.load()) return LinkState::kUp;
        if (!syncWaitOver_) {
            const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(syncStopwatch_.Elapsed());
            if (elapsed.count() <= static_cast<int64_t>(syncInitialWaitMs_)) return LinkState::kUp;
            syncWaitOver_ = true;
        }
    }
    FirmwareControllerBase *controller = Controller();
    if (controller == nullptr) return LinkState::kLost;
    RecursiveMutex &linkMutex = controller->LinkMutex();
    if (!lockPatience) linkMutex.Lock();
    else if (!linkMutex.TryLockFor(*lockPatience)) return LinkState::kUnknown;
    std::lock_guard<RecursiveMutex> model(linkMutex, std::adopt_lock);
    DiscoveryInfo *info = board_->GetDiscoveryInfo(false);
    if (info == nullptr) return LinkState::kLost;
    uint32_t extension = kNone;
    const uint32_t port = info->FirstCameraLink(MasterId(), extension);
    if (port == kNone) return LinkState::kLost;
    switch (controller->CheckLinkSync(port)) {
        case FirmwareControllerBase::LinkSync::kSynchronized: return LinkState::kUp;
        case FirmwareControllerBase::LinkSync::kLost: return LinkState::kLost;
        default: return LinkState::kUnknown;
    }
}

uint64_t NOXCameraInterface::ConnectCount() const {
    std::lock_guard<std::mutex> lock(recordMutex_);
    return connects_;
}

// A loss seen while a new connect of the camera completed is not reported: the new link is watched afresh.
bool NOXCameraInterface::ClaimLinkLoss(uint64_t connects) {
    std::lock_guard<std::mutex> lock(recordMutex_);
    if (!linkUp_.load() || connects != connects_) return false;
    linkUp_.store(false);
    return true;
}

}  // namespace vexo::genicam
