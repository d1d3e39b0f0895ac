#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "board/ControllerOwner.h"
#include "model/NOXInterface.h"
#include "model/NoxBoardMonitoringThread.h"
#include "nox_genicam.h"
#include "platform/RecursiveMutex.h"

namespace vexo::genicam {

class DiscoveryInfo;
class NOXCameraInterface;

// One opened frame-grabber board: its controller, the cameras a scan found
// (four slots, owned), the event callback and the monitoring thread. Every
// board of the process is listed in one registry, so that a camera whose
// links arrive on several boards can be handled across them.
//
// Locks, in order: the registry's, then callbackLock, then cameraLock, then
// whatever the controller takes. Cameras are deleted only while both board
// locks are held, so the monitor can hand a camera to the event callback
// without holding cameraLock.
class NOXBoardInterface : public NOXInterface, public ControllerOwner {
public:
    static constexpr uint32_t kCameraSlots = 4;
    static constexpr uint32_t kFirstPlaceholderId = 0x10000;

    // Registers the board and starts its monitoring thread. The board is live
    // (LiveBoard finds it) from here until its destructor starts.
    NOXBoardInterface();
    // Stops being live, stops and joins the monitor, leaves the registry,
    // deletes the cameras, then the controller.
    ~NOXBoardInterface() override;

    // Reads the board type and builds the controller of its technology.
    // ERR_INVALID_ARGUMENT for a null session, ERR_BOARD_NOT_SUPPORTED when no
    // controller serves the board type.
    int32_t Init(GrabberSession *session, bool optionFlag, uint32_t optionWord);
    GrabberSession *Session() const { return session_; }

    tools::logging::Logger *GetLogger() override;  // "vexo.genicam.NOXBoardInterface"
    // Replaces the cameras by those of a new discovery, plus a placeholder for
    // every free camera operator; 0 or ERR_LINK_LAYOUT_MISMATCH (cameras
    // registered in both cases), else the failure.
    int32_t DiscoverCameras(uint32_t portMask, uint32_t option, uint32_t speed, uint32_t flags) override;
    uint32_t GetCameraCount() override;
    // Cameras in slots below the count whose discovered flag is set.
    uint32_t CountDiscoveredCameras();

    // --- The camera list -------------------------------------------------
    NOXCameraInterface *GetCamera(uint32_t index);
    // Index -1 appends; another index fills that slot when it is empty. The
    // board owns the camera on success; on failure the camera is deleted.
    // ERR_INVALID_LINK_INDEX for an index of 4 or more, ERR_CAMERA_LIST_FULL.
    int32_t AddCamera(std::unique_ptr<NOXCameraInterface> camera, int32_t index);
    int32_t RemoveCamera(uint32_t index);
    void ClearCameras();
    NOXCameraInterface *FindCameraByMasterId(uint32_t masterId);
    // The first camera one of whose links arrives at that physical port.
    NOXCameraInterface *FindCameraByPort(uint32_t port);
    // Slots ascending by the cameras' port index.
    void SortCameras();

    // --- The model ---------------------------------------------------------
    DiscoveryInfo *GetDiscoveryInfo(bool update = false);
    int32_t AllocateCameraOperator(DiscoveryInfo &info, uint32_t cameraMasterId) override;
    // Connected links of the camera: on Camera Link HS over every such board of the process.
    int32_t CountLinksOfMaster(uint32_t masterId);
    // Camera Link HS only: the controllers of every board that knows the camera.
    int32_t ListControllersOfMaster(uint32_t masterId, std::vector<FirmwareControllerBase *> &controllers);

    // --- Low-level link profiles ----------------------------------------------
    // Writes the port routing, the applet ports' camera operators and the
    // uplink speeds to the file. ERR_INVALID_BOARD_HANDLE without a controller,
    // ERR_NOT_IMPLEMENTED on boards other than CoaXPress, ERR_FILE_ACCESS when
    // the file cannot be written.
    int32_t StoreLinkProfile(const std::string &path);
    // Puts a stored routing and the uplink speeds back, provided the loaded
    // applet has the stored camera operators (else ERR_LINK_LAYOUT_MISMATCH);
    // ERR_INVALID_ARGUMENT for a file that is no profile; nothing reaches the
    // board before the file has been checked. ERR_INTERNAL when the board
    // refuses a step.
    int32_t RestoreLinkProfile(const std::string &path);

    // --- Events ------------------------------------------------------------
    // A null callback unregisters.
    int32_t RegisterEventCallback(NoxEventCallback callback, void *context);
    // The callback's result; ERR_NO_EVENT_HANDLER without one, ERR_EXCEPTION when it throws.
    int32_t DispatchEvent(const NoxEvent &event, NOXCameraInterface *camera);
    // One monitoring pass: reports each connected camera whose link was lost, once.
    void CheckCameraLinks();

protected:
    // The controller of a technology; tests put a stand-in here.
    virtual std::unique_ptr<FirmwareControllerBase> MakeController(ControllerKind kind, uint64_t device,
                                                                   uint64_t applet, bool optionFlag,
                                                                   uint32_t optionWord);

private:
    void Log(uint32_t level, const std::string &message);
    void DeleteAllCameras();
    void RegisterDiscoveredCameras(DiscoveryInfo &info);
    void RegisterCamera(DiscoveryInfo &info, uint32_t masterId, uint32_t port);
    void RegisterPlaceholderCameras(DiscoveryInfo &info);
    bool HasCameraOnPort(uint32_t port);

    GrabberSession *session_ = nullptr;
    std::array<std::unique_ptr<NOXCameraInterface>, kCameraSlots> cameras_;
    uint32_t cameraCount_ = 0;
    templates::platform::RecursiveMutex cameraLock_;
    templates::platform::RecursiveMutex callbackLock_;
    NoxEventCallback eventCallback_ = nullptr;
    void *eventContext_ = nullptr;
    std::unique_ptr<NoxBoardMonitoringThread> monitor_;
    tools::logging::LazyLogger logger_;
};

// The board handle of the exported interface is the board object's address.
inline NoxBoardHandle *ToHandle(NOXBoardInterface *board) { return reinterpret_cast<NoxBoardHandle *>(board); }
// The board a handle names, or null when no live board has that address
// (freed, or never issued). The handle is not followed. An address in use
// again names the new board.
NOXBoardInterface *LiveBoard(NoxBoardHandle *handle);

}  // namespace vexo::genicam
