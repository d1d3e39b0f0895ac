#include "model/NOXBoardInterface.h"

#include <algorithm>
#include <exception>
#include <new>

#include "board/BoardLibraries.h"
#include "board/BoardTypeTable.h"
#include "discovery/DiscoveryInfo.h"
#include "logging/LoggerNames.h"
#include "logging/Record.h"
#include "model/CameraOperatorAllocation.h"
#include "model/ControllerFactory.h"
#include "model/NOXCameraInterface.h"
#include "platform/LiveObjectSet.h"

namespace vexo::genicam {

using templates::platform::LiveObjectSet;
using templates::platform::RecursiveMutex;
using tools::logging::kLevelDetail;
using tools::logging::kLevelError;

namespace {

constexpr uint16_t kLinkLostEvent = 100;

// Every board of the process. The mutex lives as long as the process: boards
// come and go, and a mutex destroyed with the last of them would race the next.
struct BoardRegistry {
    RecursiveMutex mutex;
    std::vector<NOXBoardInterface *> boards;
};

BoardRegistry &Registry() {
    static BoardRegistry registry;
    return registry;
}

// The boards a handle may name. Apart from the registry: handle checks only
// look, on every exported call, and must not wait behind a cross-board connect.
LiveObjectSet<NOXBoardInterface> &LiveBoards() {
    static LiveObjectSet<NOXBoardInterface> boards;
    return boards;
}

}  // namespace

BoardPin LiveBoard(NoxBoardHandle *handle) { return LiveBoards().Find(handle); }

namespace {
// A call still waiting on the board's cameras (a scan searching line rates)
// gives up now instead of holding the free up.
void AbortControllerWaits(NOXBoardInterface &board) {
    if (FirmwareControllerBase *controller = board.Controller()) controller->Abort();
}
}  // namespace

BoardFreeing FreeBoard(BoardPin board, void (*dispose)(NOXBoardInterface *), std::chrono::milliseconds patience) {
    NOXBoardInterface *object = board.get();
    if (object == nullptr) return BoardFreeing::kNotLive;
    // Inside the board's own callback the monitor's pass holds the board below us.
    const bool insideCallback = object->IsMonitorThread();
    if (!LiveBoards().Withdraw(std::move(board))) return BoardFreeing::kNotLive;
    AbortControllerWaits(*object);
    if (!insideCallback && LiveBoards().AwaitUnpinned(object, patience)) return BoardFreeing::kUnpinned;
    if (object->LeaveEndToMonitor(dispose)) return BoardFreeing::kLeftToMonitor;
    // No monitor to leave it to: the holders' calls end on their own.
    LiveBoards().AwaitUnpinned(object, std::nullopt);
    return BoardFreeing::kUnpinned;
}

void AwaitLastRelease(NOXBoardInterface *board) { LiveBoards().AwaitUnpinned(board, std::nullopt); }

NOXBoardInterface::NOXBoardInterface() {
    LiveBoards().Add(this);
    {
        RecursiveMutex::Guard guard(Registry().mutex);
        Registry().boards.push_back(this);
    }
    monitor_ = std::make_unique<NoxBoardMonitoringThread>(*this);
    monitor_->Start();
}

NOXBoardInterface::~NOXBoardInterface() {
    // Nothing holds the board after this; the monitor may still be between passes.
    LiveBoards().Forget(this);
    StopMonitor();
    {
        RecursiveMutex::Guard guard(Registry().mutex);
        auto &boards = Registry().boards;
        boards.erase(std::remove(boards.begin(), boards.end(), this), boards.end());
    }
    // Every camera pin held a board pin: the cameras are free to go now.
    DeleteAllCameras();
    DestroyController();
}

void NOXBoardInterface::StopMonitor() {
    if (!monitor_) return;
    if (monitor_->IsCurrentThread()) {
        // Freed from inside the board's own callback: the thread cannot join
        // itself, so it ends on its own once the pass that got here returns.
        monitor_->RequestStop();
        monitor_.release()->DeleteWhenFinished();
        return;
    }
    monitor_->Stop();
    monitor_.reset();
}

bool NOXBoardInterface::IsMonitorThread() const { return monitor_ && monitor_->IsCurrentThread(); }

bool NOXBoardInterface::LeaveEndToMonitor(void (*dispose)(NOXBoardInterface *)) {
    return monitor_ && monitor_->TakeOverEnd(dispose);
}

tools::logging::Logger *NOXBoardInterface::GetLogger() {
    return logger_.Get(tools::logging::names::kBoardInterface);
}

void NOXBoardInterface::Log(uint32_t level, const std::string &message) { WriteRecord(GetLogger(), level, {}, message); }

std::unique_ptr<FirmwareControllerBase> NOXBoardInterface::MakeController(ControllerKind kind, uint64_t device,
                                                                          uint64_t applet, bool optionFlag,
                                                                          uint32_t optionWord) {
    return CreateController(kind, device, applet, this, optionFlag, optionWord);
}

int32_t NOXBoardInterface::Init(GrabberSession *session, bool optionFlag, uint32_t optionWord) {
    if (session == nullptr) return ERR_INVALID_ARGUMENT;
    session_ = session;
    const uint64_t device = SessionDeviceHandle(session);
    const uint64_t applet = SessionAppletHandle(session);
    const int32_t boardType = static_cast<int32_t>(QueryBoardInfo(device, "board/type"));
    const ControllerKind technology = BoardTechnology(boardType);
    if (technology == ControllerKind::kNone) return ERR_BOARD_NOT_SUPPORTED;
    std::unique_ptr<FirmwareControllerBase> controller;
    try {
        controller = MakeController(technology, device, applet, optionFlag, optionWord);
    } catch (const std::exception &error) {
        Log(kLevelError, std::string("Failed to create the board's link controller: ") + error.what());
        return ERR_BOARD_NOT_SUPPORTED;
    }
    if (!controller) return ERR_BOARD_NOT_SUPPORTED;
    {
        // Other boards' cross-board work looks at this board's kind and controller.
        RecursiveMutex::Guard registry(Registry().mutex);
        controller_ = std::move(controller);
        kind_ = technology;
    }
    portCount_ = BoardPortCount(boardType);
    // Links that run (another program's, on the board both use) keep the routing they run on.
    if (!controller_->HasLiveLinks()) controller_->ResetDiscoverySelect();
    controller_->FinishSetup();
    return ERR_NONE;
}

// --- The camera list --------------------------------------------------------

uint32_t NOXBoardInterface::GetCameraCount() {
    RecursiveMutex::Guard guard(cameraLock_);
    return cameraCount_;
}

uint32_t NOXBoardInterface::CountDiscoveredCameras() {
    RecursiveMutex::Guard guard(cameraLock_);
    uint32_t count = 0;
    for (uint32_t i = 0; i < cameraCount_ && i < kCameraSlots; ++i)
        if (cameras_[i] && cameras_[i]->IsDiscovered()) ++count;
    return count;
}

NOXCameraInterface *NOXBoardInterface::GetCamera(uint32_t index) {
    RecursiveMutex::Guard guard(cameraLock_);
    return index < kCameraSlots ? cameras_[index].get() : nullptr;
}

CameraPin NOXBoardInterface::PinCamera(uint32_t index) {
    RecursiveMutex::Guard guard(cameraLock_);
    if (index >= kCameraSlots || !cameras_[index]) return {};
    return LiveCamera(ToHandle(cameras_[index].get()));
}

int32_t NOXBoardInterface::AddCamera(std::unique_ptr<NOXCameraInterface> camera, int32_t index) {
    int32_t status = ERR_NONE;
    {
        RecursiveMutex::Guard guard(cameraLock_);
        status = PlaceCamera(camera, index);
    }
    // A refused camera goes outside the list's lock: its end may wait for a call holding it.
    RetireCamera(std::move(camera));
    return status;
}

int32_t NOXBoardInterface::PlaceCamera(std::unique_ptr<NOXCameraInterface> &camera, int32_t index) {
    if (index >= static_cast<int32_t>(kCameraSlots)) return ERR_INVALID_LINK_INDEX;
    if (index < 0) {
        if (cameraCount_ >= kCameraSlots) return ERR_CAMERA_LIST_FULL;
        index = static_cast<int32_t>(cameraCount_);
    }
    if (cameras_[index]) return ERR_CAMERA_LIST_FULL;
    cameras_[index] = std::move(camera);
    ++cameraCount_;
    return ERR_NONE;
}

int32_t NOXBoardInterface::RemoveCamera(uint32_t index) {
    if (index >= kCameraSlots) return ERR_INVALID_LINK_INDEX;
    std::unique_ptr<NOXCameraInterface> removed;
    {
        RecursiveMutex::Guard guard(cameraLock_);
        if (cameras_[index]) --cameraCount_;
        removed = std::move(cameras_[index]);
    }
    RetireCamera(std::move(removed));
    return ERR_NONE;
}

void NOXBoardInterface::ClearCameras() { DeleteAllCameras(); }

void NOXBoardInterface::DeleteAllCameras() {
    std::array<std::unique_ptr<NOXCameraInterface>, kCameraSlots> removed;
    {
        RecursiveMutex::Guard guard(cameraLock_);
        removed.swap(cameras_);
        cameraCount_ = 0;
    }
    // Handles of the removed cameras are dead at once; a camera a call or the callback still holds is deleted when they let go.
    for (auto &camera : removed) RetireCamera(std::move(camera));
}

NOXCameraInterface *NOXBoardInterface::FindCameraByMasterId(uint32_t masterId) {
    RecursiveMutex::Guard guard(cameraLock_);
    for (auto &camera : cameras_)
        if (camera && camera->MasterId() == masterId) return camera.get();
    return nullptr;
}

NOXCameraInterface *NOXBoardInterface::FindCameraByPort(uint32_t port) {
    RecursiveMutex::Guard guard(cameraLock_);
    return CameraAtPort(port);
}

NOXCameraInterface *NOXBoardInterface::CameraAtPort(uint32_t port) {
    if (port >= kCameraSlots) return nullptr;
    for (auto &camera : cameras_)
        if (camera && camera->UsesCameraPort(port)) return camera.get();
    return nullptr;
}

int32_t NOXBoardInterface::FindOrAddCameraAtPort(uint32_t port, NOXCameraInterface *&camera, bool &created) {
    created = false;
    std::unique_ptr<NOXCameraInterface> fresh;
    int32_t status = ERR_NONE;
    {
        RecursiveMutex::Guard guard(cameraLock_);
        camera = CameraAtPort(port);
        if (camera != nullptr) return ERR_NONE;
        fresh = std::make_unique<NOXCameraInterface>(this, port);
        NOXCameraInterface *added = fresh.get();
        status = PlaceCamera(fresh, -1);
        if (status == ERR_NONE) {
            camera = added;
            created = true;
        }
    }
    RetireCamera(std::move(fresh));  // refused for a full list
    return status;
}

namespace {
int32_t IsAvailable(const NOXCameraInterface *camera) {
    return camera != nullptr && !camera->IsDummy() && camera->IsDiscovered() ? 1 : 0;
}
}  // namespace

int32_t NOXBoardInterface::IsCameraAvailableAtPort(uint32_t port) {
    RecursiveMutex::Guard guard(cameraLock_);
    return IsAvailable(CameraAtPort(port));
}

int32_t NOXBoardInterface::IsCameraAvailableInSlot(uint32_t index) {
    RecursiveMutex::Guard guard(cameraLock_);
    return IsAvailable(index < kCameraSlots ? cameras_[index].get() : nullptr);
}

// --- Scanning ----------------------------------------------------------------

int32_t NOXBoardInterface::DiscoverCameras(uint32_t portMask, uint32_t option, uint32_t speed, uint32_t flags) {
    ClearCameras();
    const int32_t status = NOXInterface::DiscoverCameras(portMask, option, speed, flags);
    if (status != ERR_NONE && status != ERR_LINK_LAYOUT_MISMATCH) return status;
    // The new cameras are made from the model under the link lock and listed
    // after it, so the list never waits for the model.
    CameraList found;
    {
        RecursiveMutex::Guard model(controller_->LinkMutex());
        DiscoveryInfo *info = GetDiscoveryInfo(false);
        if (info == nullptr) return ERR_INTERNAL;
        RegisterDiscoveredCameras(*info, found);
        RegisterPlaceholderCameras(*info, found);
    }
    InstallCameras(std::move(found));
    return status;
}

namespace {
NOXCameraInterface *FoundWithMaster(const std::vector<std::unique_ptr<NOXCameraInterface>> &found, uint32_t masterId) {
    for (const auto &camera : found)
        if (camera->MasterId() == masterId) return camera.get();
    return nullptr;
}

bool FoundAtPort(const std::vector<std::unique_ptr<NOXCameraInterface>> &found, uint32_t port) {
    return std::any_of(found.begin(), found.end(), [port](const auto &camera) { return camera->UsesCameraPort(port); });
}
}  // namespace

void NOXBoardInterface::RegisterDiscoveredCameras(DiscoveryInfo &info, CameraList &found) {
    std::vector<uint32_t> masters;
    info.ListCameraMasters(true, masters);
    Log(kLevelDetail, "Found " + std::to_string(masters.size()) + " cameras");
    for (uint32_t masterId : masters) {
        uint32_t extension = DiscoveryInfo::kNone;
        for (info.FirstCameraLink(masterId, extension); extension != DiscoveryInfo::kNone;
             info.NextCameraLink(masterId, extension, extension)) {
            const uint32_t port = info.FindCameraPort(masterId, extension);
            NOXCameraInterface *camera = FoundWithMaster(found, masterId);
            if (camera == nullptr && found.size() < kCameraSlots) {
                found.push_back(MakeDiscoveredCamera(info, masterId, port));
                camera = found.back().get();
            }
            const uint32_t apPort = info.GetCameraPeerIndex(port);
            if (camera == nullptr || apPort == DiscoveryInfo::kNone) continue;
            camera->SetLinkCameraPort(extension, port);
            camera->SetLinkApPort(extension, apPort);
            camera->SetLinkApMasterId(extension, info.GetApMasterId(apPort));
            camera->SetLinkApExtensionId(extension, info.GetApExtensionId(apPort));
        }
    }
}

std::unique_ptr<NOXCameraInterface> NOXBoardInterface::MakeDiscoveredCamera(DiscoveryInfo &info, uint32_t masterId,
                                                                           uint32_t port) {
    Log(kLevelDetail, "Registering new camera with master id " + std::to_string(masterId) + " at port " +
                          std::to_string(port));
    auto camera = std::make_unique<NOXCameraInterface>(this, port);
    camera->SetDiscovered(true);
    camera->SetLinkUp(false);
    camera->SetConnected(false);
    camera->SetDummy(false);
    const int32_t links = info.CountConnectedCameraLinks(masterId);
    camera->SetLinkCount(links < 0 ? 0 : static_cast<uint32_t>(links));
    Log(kLevelDetail, "Number of links: " + std::to_string(links));
    camera->SetMasterId(masterId);
    camera->SetCommandPort(info.GetCommandPort(masterId));
    Log(kLevelDetail, "Command port: " + std::to_string(camera->CommandPort()));
    camera->SetBitRate(info.GetBitRate(masterId));  // a rate outside the link rates is not stored
    Log(kLevelDetail, "Bitrate: " + std::to_string(info.GetBitRate(masterId)));
    camera->SetDiscoveryBitRate(info.GetDiscoveryBitRate(masterId));
    Log(kLevelDetail, "Discovery Bitrate: " + std::to_string(camera->DiscoveryBitRate()));
    camera->SetStreamPacketSize(info.GetStreamPacketSize(masterId));
    Log(kLevelDetail, "Stream packet size: " + std::to_string(camera->StreamPacketSize()));
    camera->SetControlPacketSize(info.GetControlPacketSize(masterId));
    Log(kLevelDetail, "Control packet size: " + std::to_string(camera->ControlPacketSize()));
    if (auto texts = info.GetCameraInfo(masterId);
        texts && std::any_of(texts->begin(), texts->end(), [](const auto &text) { return text.has_value(); }))
        camera->SetCameraInfo(*texts);
    return camera;
}

void NOXBoardInterface::RegisterPlaceholderCameras(DiscoveryInfo &info, CameraList &found) {
    std::vector<uint32_t> freeMasterPorts;
    for (uint32_t port = 0; port < kCameraSlots && port < info.GetPortCount(); ++port) {
        if (info.GetApPeerIndex(port) == DiscoveryInfo::kNone && info.GetApMasterId(port) != DiscoveryInfo::kNone &&
            info.GetApExtensionId(port) == 0)
            freeMasterPorts.push_back(port);
    }
    Log(kLevelDetail, std::to_string(freeMasterPorts.size()) + " unconnected AP master ports.");

    const DiscoverySelect routing = info.ComputeDiscoverySelect();
    uint32_t placeholderId = kFirstPlaceholderId;
    for (uint32_t apPort : freeMasterPorts) {
        const uint32_t cameraPort = routing.ReverseEntry(apPort);
        if (cameraPort == DiscoverySelect::kNoEntry) continue;
        if (!FoundAtPort(found, cameraPort) && found.size() < kCameraSlots) {
            Log(kLevelDetail, "Registering dummy camera at port " + std::to_string(cameraPort));
            const uint32_t apMaster = info.GetApMasterId(apPort);
            const int32_t apLinks = std::max(info.CountApLinks(apMaster), 0);
            auto camera = std::make_unique<NOXCameraInterface>(this, cameraPort);
            camera->MakePlaceholder(placeholderId, apPort, static_cast<uint32_t>(apLinks));
            for (uint32_t extension = 0; extension < static_cast<uint32_t>(apLinks); ++extension) {
                const uint32_t operatorPort = info.FindApPort(apMaster, extension);
                const uint32_t routedPort = routing.ReverseEntry(operatorPort);
                if (routedPort == DiscoverySelect::kNoEntry) continue;
                // Placeholder links start at record 1 unless the operator has four ports.
                const uint32_t record = apLinks < 4 ? extension + 1 : extension;
                camera->SetLinkCameraPort(record, routedPort);
                camera->SetLinkApPort(record, operatorPort);
                camera->SetLinkApMasterId(record, apMaster);
                camera->SetLinkApExtensionId(record, extension);
            }
            found.push_back(std::move(camera));
        }
        ++placeholderId;
    }
}

// Lists the cameras of a scan ordered by their port index (every one of them
// is discovered, so the index is its command port and needs no model).
void NOXBoardInterface::InstallCameras(CameraList found) {
    std::stable_sort(found.begin(), found.end(),
                     [](const auto &a, const auto &b) { return a->GetPortIndex() < b->GetPortIndex(); });
    for (auto &camera : found) AddCamera(std::move(camera), -1);
}

// --- The model ---------------------------------------------------------------

DiscoveryInfo *NOXBoardInterface::GetDiscoveryInfo(bool update) {
    return controller_ ? controller_->GetDiscoveryInfo(update) : nullptr;
}

int32_t NOXBoardInterface::AllocateCameraOperator(DiscoveryInfo &info, uint32_t cameraMasterId) {
    if (!controller_) return ERR_INTERNAL;
    return vexo::genicam::AllocateCameraOperator(info, cameraMasterId, *controller_, IsClhs(), GetLogger());
}

NOXBoardInterface::CrossBoardLock::CrossBoardLock(RecursiveMutex &registry) : registry_(registry) {}

// Camera Link HS link connects on several boards run one after the other.
NOXBoardInterface::CrossBoardLock NOXBoardInterface::LockForCrossBoardWork() {
    if (!IsClhs()) return {};
    CrossBoardLock lock(Registry().mutex);
    for (NOXBoardInterface *board : Registry().boards)
        if (board->IsClhs() && board->controller_) lock.Add(board->controller_->LinkMutex());
    return lock;
}

int32_t NOXBoardInterface::CountLinksOfMaster(uint32_t masterId) {
    if (IsClhs()) {
        RecursiveMutex::Guard guard(Registry().mutex);
        int32_t total = 0;
        for (NOXBoardInterface *board : Registry().boards) {
            if (!board->IsClhs() || !board->controller_) continue;
            RecursiveMutex::Guard model(board->controller_->LinkMutex());
            DiscoveryInfo *info = board->GetDiscoveryInfo(false);
            const int32_t links = info ? info->CountConnectedCameraLinks(masterId) : -1;
            if (links != -1) total += links;
        }
        return total;
    }
    if (!controller_) return ERR_INTERNAL;
    RecursiveMutex::Guard model(controller_->LinkMutex());
    DiscoveryInfo *info = GetDiscoveryInfo(false);
    return info ? info->CountConnectedCameraLinks(masterId) : ERR_INTERNAL;
}

int32_t NOXBoardInterface::ListControllersOfMaster(uint32_t masterId,
                                                   std::vector<FirmwareControllerBase *> &controllers) {
    if (!IsClhs()) return ERR_INTERNAL;
    controllers.clear();
    RecursiveMutex::Guard guard(Registry().mutex);
    for (NOXBoardInterface *board : Registry().boards) {
        if (!board->IsClhs() || !board->controller_) continue;
        RecursiveMutex::Guard model(board->controller_->LinkMutex());
        DiscoveryInfo *info = board->GetDiscoveryInfo(false);
        if (info != nullptr && info->GetCommandPort(masterId) != DiscoveryInfo::kNone)
            controllers.push_back(board->controller_.get());
    }
    return ERR_NONE;
}

// --- Events ------------------------------------------------------------------

int32_t NOXBoardInterface::RegisterEventCallback(NoxEventCallback callback, void *context) {
    RecursiveMutex::Guard guard(callbackLock_);
    eventCallback_ = callback;
    eventContext_ = callback != nullptr ? context : nullptr;
    return ERR_NONE;
}

// The callback runs outside callbackLock: registering never waits for a running
// callback, which finishes with the callback and context it started with.
int32_t NOXBoardInterface::DispatchEvent(const NoxEvent &event, NOXCameraInterface *camera) {
    NoxEventCallback callback = nullptr;
    void *context = nullptr;
    {
        RecursiveMutex::Guard guard(callbackLock_);
        callback = eventCallback_;
        context = eventContext_;
    }
    if (callback == nullptr) return ERR_NO_EVENT_HANDLER;
    try {
        return callback(ToHandle(this), ToHandle(camera), &event, context);
    } catch (...) {
        return ERR_EXCEPTION;
    }
}

// Links are checked without cameraLock and with a bounded wait for the link
// lock: while a link operation holds it, a loss is reported a pass later.
void NOXBoardInterface::CheckCameraLinks() {
    for (uint32_t slot = 0; slot < kCameraSlots; ++slot) {
        // A callback may have freed the board: its handles are dead, nothing more is reported.
        if (!LiveBoards().IsLive(this)) return;
        // Held, the camera outlives a scan the callback (or another thread) starts meanwhile.
        CameraPin camera = PinCamera(slot);
        if (camera == nullptr) continue;
        const uint64_t connects = camera->ConnectCount();
        if (camera->CheckLink(false, kMonitorLinkLockPatience) != NOXCameraInterface::LinkState::kLost) continue;
        if (camera->ClaimLinkLoss(connects)) DispatchEvent(NoxEvent{kLinkLostEvent, slot, 0}, camera.get());
    }
}

}  // namespace vexo::genicam
