#pragma once
#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "board/ControllerOwner.h"
#include "model/NOXInterface.h"
#include "model/NoxBoardMonitoringThread.h"
#include "nox_genicam.h"
#include "platform/LiveObjectSet.h"
#include "platform/RecursiveMutex.h"

namespace vexo::genicam {

class CameraPin;
class DiscoveryInfo;
class NOXCameraInterface;

// One opened frame-grabber board: its controller, the cameras a scan found
// (four slots, owned), the event callback and the monitoring thread. Every
// board of the process is listed in one registry, so that a camera whose
// links arrive on several boards can be handled across them.
//
// Locks, in order: the registry's, then the controllers' link locks (and what
// a controller takes below its own). cameraLock and callbackLock are never
// held together with a link lock, so the list calls never wait for a link
// operation; the cameras' record locks are taken last of all. No lock of the
// board is held while the event callback runs.
//
// Lifetime: calls and callbacks hold the board and its cameras by pins (see
// LiveBoard, LiveCamera). A scan retires the old cameras and a free the board;
// what is still pinned is deleted when the last pin is let go.
class NOXBoardInterface : public NOXInterface, public ControllerOwner {
public:
    static constexpr uint32_t kCameraSlots = 4;
    static constexpr uint32_t kFirstPlaceholderId = 0x10000;
    // How long the monitor waits for the link lock before it counts a link
    // as not looked at in that pass.
    static constexpr std::chrono::milliseconds kMonitorLinkLockPatience{200};

    // Registers the board and starts its monitoring thread. The board is live
    // (LiveBoard finds it) from here until it is retired or its destructor starts.
    NOXBoardInterface();
    // Stops being live and waits for the pins still held, stops the monitor
    // (joins it, or lets it end on its own when this runs on it), leaves the
    // registry, deletes the cameras, then the controller.
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

    // --- The camera list: every operation holds cameraLock alone ---------
    // The camera in the slot. The address is good while no scan or removal
    // can run meanwhile; other callers take PinCamera.
    NOXCameraInterface *GetCamera(uint32_t index);
    // The camera in the slot, held for the caller; empty for an empty slot or
    // while the board is being freed.
    CameraPin PinCamera(uint32_t index);
    // Index -1 appends; another index fills that slot when it is empty. The
    // board owns the camera on success; on failure the camera is deleted.
    // ERR_INVALID_LINK_INDEX for an index of 4 or more, ERR_CAMERA_LIST_FULL.
    int32_t AddCamera(std::unique_ptr<NOXCameraInterface> camera, int32_t index);
    // Removed cameras are retired: deleted once no call or callback holds them.
    int32_t RemoveCamera(uint32_t index);
    void ClearCameras();
    NOXCameraInterface *FindCameraByMasterId(uint32_t masterId);
    // The first camera one of whose links arrives at that physical port.
    NOXCameraInterface *FindCameraByPort(uint32_t port);
    // Nox_getCamera's lookup in one step: the camera at that physical port, or
    // a new one appended for it (`created` set). ERR_CAMERA_LIST_FULL when the
    // list has no room for it.
    int32_t FindOrAddCameraAtPort(uint32_t port, NOXCameraInterface *&camera, bool &created);
    // 1 when a camera is at that physical port (or in that slot), is no
    // placeholder and is discovered; else 0.
    int32_t IsCameraAvailableAtPort(uint32_t port);
    int32_t IsCameraAvailableInSlot(uint32_t index);

    // --- The model ---------------------------------------------------------
    DiscoveryInfo *GetDiscoveryInfo(bool update = false);
    int32_t AllocateCameraOperator(DiscoveryInfo &info, uint32_t cameraMasterId) override;
    // What a link connect holds before its own board's link lock. On Camera
    // Link HS boards, whose connects read the models of every such board: the
    // registry's lock, then the link locks of all Camera Link HS boards in
    // registry order, so that two connects never hold them crosswise. On other
    // boards nothing.
    class CrossBoardLock {
    public:
        CrossBoardLock() = default;
        explicit CrossBoardLock(templates::platform::RecursiveMutex &registry);
        void Add(templates::platform::RecursiveMutex &linkLock) { links_.emplace_back(linkLock); }

    private:
        std::unique_lock<templates::platform::RecursiveMutex> registry_;  // released last
        std::vector<std::unique_lock<templates::platform::RecursiveMutex>> links_;
    };
    CrossBoardLock LockForCrossBoardWork();
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
    // A null callback unregisters. Never waits for a callback that is running;
    // that one finishes with the callback it started with.
    int32_t RegisterEventCallback(NoxEventCallback callback, void *context);
    // The callback's result; ERR_NO_EVENT_HANDLER without one, ERR_EXCEPTION
    // when it throws. The callback runs with no lock of the library held.
    int32_t DispatchEvent(const NoxEvent &event, NOXCameraInterface *camera);
    // One monitoring pass: reports each connected camera whose link was lost,
    // once. A link it cannot look at in time (its lock busy) is left for the
    // next pass; the pass ends early when the board is freed meanwhile.
    void CheckCameraLinks();
    // True on the board's own monitoring thread, that is inside its callback.
    bool IsMonitorThread() const;
    // For FreeBoard: the monitoring thread deletes the freed board with
    // `dispose` once nothing holds it. False when the thread does not run.
    bool LeaveEndToMonitor(void (*dispose)(NOXBoardInterface *));

protected:
    // The controller of a technology; tests put a stand-in here.
    virtual std::unique_ptr<FirmwareControllerBase> MakeController(ControllerKind kind, uint64_t device,
                                                                   uint64_t applet, bool optionFlag,
                                                                   uint32_t optionWord);

private:
    using CameraList = std::vector<std::unique_ptr<NOXCameraInterface>>;

    void Log(uint32_t level, const std::string &message);
    void DeleteAllCameras();
    // Under cameraLock: lists the camera; a refused one stays with the caller.
    int32_t PlaceCamera(std::unique_ptr<NOXCameraInterface> &camera, int32_t index);
    NOXCameraInterface *CameraAtPort(uint32_t port);
    void RegisterDiscoveredCameras(DiscoveryInfo &info, CameraList &found);
    std::unique_ptr<NOXCameraInterface> MakeDiscoveredCamera(DiscoveryInfo &info, uint32_t masterId, uint32_t port);
    void RegisterPlaceholderCameras(DiscoveryInfo &info, CameraList &found);
    void InstallCameras(CameraList found);
    void StopMonitor();

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

// A board held for the length of a call or a monitoring pass: it is not
// deleted while held. Move-only; converts to the board's address only while
// held in a variable.
using BoardPin = templates::platform::LiveObjectSet<NOXBoardInterface>::Pin;

// The board a handle names, pinned; empty when no live board has that address
// (freed or being freed, or never issued). The handle is not followed. An
// address in use again names the new board.
BoardPin LiveBoard(NoxBoardHandle *handle);

// What freeing a board came to.
enum class BoardFreeing {
    kNotLive,          // the handle named no live board (or another free got there first)
    kUnpinned,         // nothing holds the board any more: the caller deletes it
    kLeftToMonitor,    // still held: the board's monitoring thread runs `dispose` once all have let go
};
// Frees the board the pin holds: from now on its handle and its cameras'
// handles name nothing. Waits up to `patience` for the calls and the callback
// that still hold the board; on the board's own monitoring thread (inside its
// callback) it does not wait, as that could never end. What is still held
// then is left to the monitoring thread, which deletes the board with
// `dispose` when the last holder lets go (right after the callback returns).
BoardFreeing FreeBoard(BoardPin board, void (*dispose)(NOXBoardInterface *), std::chrono::milliseconds patience);
// For the monitoring thread that ends a freed board: waits until nothing holds it.
void AwaitLastRelease(NOXBoardInterface *board);

}  // namespace vexo::genicam
