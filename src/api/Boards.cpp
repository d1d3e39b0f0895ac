// Boards, scanning, cameras, power, links and events.
#include <chrono>
#include <exception>
#include <memory>
#include <new>
#include <optional>

#include "api/ApiSupport.h"
#include "board/RawAccess.h"
#include "board/BoardLibraries.h"
#include "discovery/DiscoveryException.h"
#include "platform/LibraryInitController.h"

using namespace vexo::genicam;
using vexo::templates::platform::LibraryInitController;
using vexo::tools::logging::kLevelDetail;

namespace {

// The body of Nox_initBoardEx inside its call frame; the library reference is
// taken and released around it.
int32_t InitBoard(GrabberSession *session, uint32_t initFlag, NoxBoardHandle **board, uint32_t portMask) {
    NOX_CALL_FRAME(frame, "Nox_initBoardEx", [=] {
        return SessionItems(session) + PortMaskItem(portMask) + HandleItem("GrabberSession*", session);
    });
    if (session == nullptr) {
        frame.LogError("Invalid FG handle");
        return frame.Return(ERR_INVALID_ARGUMENT);
    }
    if (board == nullptr) {
        frame.LogError("Invalid board handle pointer");
        return frame.Return(ERR_INVALID_ARGUMENT);
    }
    NOXBoardInterface *object = nullptr;
    try {
        object = new NOXBoardInterface();
    } catch (...) {
        *board = nullptr;
        frame.LogError("Not enough memory to allocate board handle");
        return frame.Return(ERR_OUT_OF_MEMORY);
    }
    const int32_t status = object->Init(session, (initFlag & 1) != 0, portMask);
    if (status != ERR_NONE) {
        delete object;
        *board = nullptr;
        return frame.Return(status);
    }
    *board = ToHandle(object);
    frame.AppendHandle("NoxBoardHandle*", object);
    return frame.Return(ERR_NONE);
}

// How long Nox_freeBoard waits for calls and a callback still running on the
// board before it leaves the board's end to the board's monitoring thread.
constexpr std::chrono::milliseconds kFreePatience{10000};

// The end of a freed board: the board, then the library reference it held.
void DeleteFreedBoard(NOXBoardInterface *board) {
    delete board;
    LibraryInitController::Deinit();
}

// The board to delete now, or null: the handle named no live board, or the
// board is still held and its monitoring thread ends it.
NOXBoardInterface *WithdrawBoard(NoxBoardHandle *handle) {
    // The board is gone when the Leaving record is written: its items are rendered once, before.
    auto items = std::make_shared<std::optional<std::string>>();
    NOX_CALL_FRAME(frame, "Nox_freeBoard", [=] {
        if (!*items) *items = BoardItem(handle);
        return **items;
    });
    BoardPin board = Board(handle);
    NOXBoardInterface *object = board.get();
    switch (FreeBoard(std::move(board), &DeleteFreedBoard, kFreePatience)) {
        case BoardFreeing::kUnpinned: return object;
        case BoardFreeing::kLeftToMonitor: return nullptr;
        case BoardFreeing::kNotLive: break;
    }
    frame.LogError("Invalid board handle");
    frame.Return(ERR_INVALID_BOARD_HANDLE);
    return nullptr;
}

int32_t ConnectAllCameras(NOXBoardInterface &board) {
    int32_t lastFailure = ERR_NONE;
    for (uint32_t slot = 0; slot < board.GetCameraCount(); ++slot) {
        if (CameraPin camera = board.PinCamera(slot); camera != nullptr) {
            const int32_t status = camera->LinkConnect();
            if (status != ERR_NONE) lastFailure = status;
        }
    }
    return lastFailure;
}

}  // namespace

extern "C" NOX_API int32_t Nox_initBoardEx(GrabberSession *session, uint32_t initFlag, NoxBoardHandle **board,
                                           uint32_t portMask) {
    ExportedCallScope call;
    // The board's own reference; the first one also brings the library up for
    // the application, which releases that reference with GenICamDeinit.
    if (LibraryInitController::Init() == 1) {
        LibraryInitController::RegisterTeardownFunction(&GenICamDeinit);
        GenICamInit();
    }
    const int32_t status = InitBoard(session, initFlag, board, portMask);
    // Released after the call frame has written its last record.
    if (status != ERR_NONE) LibraryInitController::Deinit();
    return status;
}

extern "C" NOX_API int32_t Nox_initBoard(GrabberSession *session, int32_t initFlag, NoxBoardHandle **board) {
    return Nox_initBoardEx(session, static_cast<uint32_t>(initFlag), board, 0xFFFF);
}

// Freed from inside the board's own callback, or while other threads' calls
// still run on it, the board is deleted later by its monitoring thread: the
// caller sees the handles dead at once and the call return without waiting.
extern "C" NOX_API void Nox_freeBoard(NoxBoardHandle *board) {
    // Deleted after the call frame has written its last record: the board's
    // library reference may be the last, and tear logging down.
    if (NOXBoardInterface *unpinned = WithdrawBoard(board)) DeleteFreedBoard(unpinned);
}

extern "C" NOX_API int32_t Nox_scanPortsEx(NoxBoardHandle *handle, uint32_t portMask, uint32_t speed, uint32_t flags,
                                           uint32_t option) {
    NOX_CALL_FRAME(
        frame, "Nox_scanPortsEx", [=] { return PortMaskItem(portMask) + BoardItem(handle); },
        [=] { return "Speed: " + std::to_string(speed) + "; Flags: " + std::to_string(flags); });
    if (portMask == 0) {
        frame.LogError("Invalid Port Mask");
        return frame.Return(ERR_INVALID_PORT);
    }
    BoardPin board = Board(handle);
    if (board == nullptr) {
        frame.LogError("Invalid board handle");
        return frame.Return(ERR_INVALID_BOARD_HANDLE);
    }
    // A Camera Link board tells a failed discovery by the GenCP status.
    return frame.Return(ExportedStatus(board->DiscoverCameras(portMask, option, speed, flags)));
}

extern "C" NOX_API int32_t Nox_scanPorts(NoxBoardHandle *board, uint32_t portMask, uint32_t speed, uint32_t flags) {
    return Nox_scanPortsEx(board, portMask, speed, flags, 0);
}

extern "C" NOX_API int32_t Nox_getCameraCount(NoxBoardHandle *handle) {
    ExportedCallScope call;
    BoardPin board = Board(handle);
    if (board == nullptr) return ERR_INVALID_BOARD_HANDLE;
    return static_cast<int32_t>(board->GetCameraCount());
}

extern "C" NOX_API int32_t Nox_getCameraByIndex(NoxBoardHandle *handle, uint32_t index, NoxCameraHandle **camera) {
    ExportedCallScope call;
    BoardPin board = Board(handle);
    if (board == nullptr) return ERR_INVALID_BOARD_HANDLE;
    NOXCameraInterface *found = board->GetCamera(index);  // only its address leaves
    if (camera == nullptr) return ERR_INVALID_ARGUMENT;
    *camera = ToHandle(found);
    return ERR_NONE;
}

extern "C" NOX_API int32_t Nox_getCamera(NoxBoardHandle *handle, uint32_t port, NoxCameraHandle **camera) {
    NOX_CALL_FRAME(frame, "Nox_getCamera", [=] { return BoardItem(handle) + PortIndexItem(port); });
    BoardPin board = Board(handle);
    if (board == nullptr) {
        frame.LogError("Invalid board handle");
        return frame.Return(ERR_INVALID_BOARD_HANDLE);
    }
    if (camera == nullptr) {
        frame.LogError("Invalid camera handle pointer");
        return frame.Return(ERR_INVALID_ARGUMENT);
    }
    NOXCameraInterface *found = nullptr;
    bool created = false;
    // A full list would leave the new camera without an owner: refuse instead.
    if (const int32_t status = board->FindOrAddCameraAtPort(port, found, created); status != ERR_NONE) {
        frame.LogError("Camera list of the board is full");
        return frame.Return(status);
    }
    if (created) frame.LogRecord(kLevelDetail, "New camera interface created");
    *camera = ToHandle(found);
    frame.AppendHandle("NoxCameraHandle*", found);
    return frame.Return(ERR_NONE);
}

extern "C" NOX_API int32_t Nox_isCameraAvailable(NoxBoardHandle *handle, uint32_t port) {
    NOX_CALL_FRAME(frame, "Nox_isCameraAvailable", [=] { return BoardItem(handle) + PortIndexItem(port); });
    BoardPin board = Board(handle);
    if (board == nullptr) return frame.Return(0);
    return frame.Return(board->IsCameraAvailableAtPort(port));
}

extern "C" NOX_API int32_t Nox_isCameraAvailableAtIndex(NoxBoardHandle *handle, uint32_t index) {
    NOX_CALL_FRAME(frame, "Nox_isCameraAvailableAtIndex", [=] { return BoardItem(handle) + IndexItem(index); });
    BoardPin board = Board(handle);
    if (board == nullptr) return frame.Return(0);
    return frame.Return(board->IsCameraAvailableInSlot(index));
}

extern "C" NOX_API NoxCameraInfo *Nox_getCameraInfo(NoxCameraHandle *handle) {
    NOX_CALL_FRAME(frame, "Nox_getCameraInfo", [=] { return CameraItem(handle); });
    CameraPin camera = Camera(handle);
    if (camera == nullptr) {
        frame.LogError("Invalid camera handle");
        frame.Return(ERR_INVALID_CAMERA_HANDLE);
        return nullptr;
    }
    const NoxCameraInfo *info = camera->GetCameraInfo();
    if (info != nullptr) frame.AppendHandle("NoxCameraHandle*", camera);
    return const_cast<NoxCameraInfo *>(info);
}

namespace {
int32_t SwitchPower(CallFrameResult &frame, NoxBoardHandle *handle, uint32_t portMask, uint32_t command) {
    if (portMask == 0) {
        frame.LogError("Invalid Port Mask");
        return frame.Return(ERR_INVALID_PORT);
    }
    BoardPin board = Board(handle);
    if (board == nullptr) {
        frame.LogError("Invalid board handle");
        return frame.Return(ERR_INVALID_BOARD_HANDLE);
    }
    if (FirmwareControllerBase *controller = board->Controller())
        controller->SwitchPower(portMask, command);
    return frame.Return(ERR_NONE);
}
}  // namespace

extern "C" NOX_API int32_t Nox_powerSwitchExt(NoxBoardHandle *handle, uint32_t portMask, uint32_t command) {
    NOX_CALL_FRAME(
        frame, "Nox_powerSwitchExt", [=] { return PortMaskItem(portMask) + BoardItem(handle); },
        [=] { return "Command: " + std::to_string(command); });
    return SwitchPower(frame, handle, portMask, command);
}

extern "C" NOX_API int32_t Nox_powerSwitch(NoxBoardHandle *handle, uint32_t portMask) {
    NOX_CALL_FRAME(frame, "Nox_powerSwitch", [=] { return PortMaskItem(portMask) + BoardItem(handle); });
    return SwitchPower(frame, handle, portMask, 2);
}

extern "C" NOX_API int32_t Nox_LinkConnect(NoxBoardHandle *handle, NoxCameraHandle *cameraHandle) {
    ExportedCallScope call;
    BoardPin board = Board(handle);
    if (board == nullptr) return ERR_INVALID_BOARD_HANDLE;
    CallFrameResult frame([=] { return BoardItem(handle) + CameraItem(cameraHandle); });
    try {
        // Without a live camera, every camera of the board.
        if (CameraPin camera = Camera(cameraHandle); camera != nullptr) return camera->LinkConnect();
        return ConnectAllCameras(*board);
    } catch (const DiscoveryException &error) {
        frame.LogError(std::string("Failed to connect camera:") + error.what());
        return error.Status();
    } catch (const std::exception &error) {
        frame.LogError(std::string("Failed to connect camera:") + error.what());
        return ERR_EXCEPTION;
    } catch (...) {
        return ERR_EXCEPTION;
    }
}

extern "C" NOX_API int32_t Nox_CxpConnect(NoxBoardHandle *board, NoxCameraHandle *camera) {
    return Nox_LinkConnect(board, camera);
}

extern "C" NOX_API int32_t Nox_LinkDisconnect(NoxCameraHandle *handle) {
    CallFrameResult frame([=] { return CameraItem(handle); });
    CameraPin camera = Camera(handle);
    if (camera == nullptr) {
        frame.LogError("Invalid camera handle");
        return ERR_INVALID_CAMERA_HANDLE;
    }
    camera->SetLinkUp(false);
    return ERR_NONE;
}

extern "C" NOX_API int32_t Nox_CxpDisconnect(NoxCameraHandle *camera) { return Nox_LinkDisconnect(camera); }

extern "C" NOX_API int32_t Nox_disconnectCamera(NoxCameraHandle *handle) {
    NOX_CALL_FRAME(frame, "Nox_disconnectCamera", [=] { return CameraItem(handle); });
    CameraPin camera = Camera(handle);
    if (camera == nullptr) {
        frame.LogError("Invalid camera handle");
        return frame.Return(ERR_INVALID_CAMERA_HANDLE);
    }
    camera->SetConnected(false);
    camera->SetLinkUp(false);
    return frame.Return(ERR_NONE);
}

extern "C" NOX_API int32_t Nox_RegisterEventCallback(NoxBoardHandle *handle, NoxEventCallback callback,
                                                     void *context) {
    ExportedCallScope call;
    BoardPin board = Board(handle);
    if (board == nullptr) return ERR_INVALID_BOARD_HANDLE;
    return board->RegisterEventCallback(callback, context);
}
