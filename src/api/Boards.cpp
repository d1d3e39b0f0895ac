// Boards, scanning, cameras, power, links and events.
#include <exception>
#include <memory>
#include <new>
#include <optional>

#include "api/ApiSupport.h"
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

// True when the handle named a live board, which is now deleted.
bool FreeBoard(NoxBoardHandle *handle) {
    // The board is gone when the Leaving record is written: its items are rendered once, before.
    auto items = std::make_shared<std::optional<std::string>>();
    NOX_CALL_FRAME(frame, "Nox_freeBoard", [=] {
        if (!*items) *items = BoardItem(handle);
        return **items;
    });
    NOXBoardInterface *board = Board(handle);
    if (board == nullptr) {
        frame.LogError("Invalid board handle");
        frame.Return(ERR_INVALID_BOARD_HANDLE);
        return false;
    }
    delete board;
    return true;
}

int32_t ConnectAllCameras(NOXBoardInterface *board) {
    int32_t lastFailure = ERR_NONE;
    for (uint32_t slot = 0; slot < board->GetCameraCount(); ++slot) {
        if (NOXCameraInterface *camera = board->GetCamera(slot)) {
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

extern "C" NOX_API void Nox_freeBoard(NoxBoardHandle *board) {
    // The board and its loggers are gone before the last reference may tear logging down.
    if (FreeBoard(board)) LibraryInitController::Deinit();
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
    NOXBoardInterface *board = Board(handle);
    if (board == nullptr) {
        frame.LogError("Invalid board handle");
        return frame.Return(ERR_INVALID_BOARD_HANDLE);
    }
    return frame.Return(board->DiscoverCameras(portMask, option, speed, flags));
}

extern "C" NOX_API int32_t Nox_scanPorts(NoxBoardHandle *board, uint32_t portMask, uint32_t speed, uint32_t flags) {
    return Nox_scanPortsEx(board, portMask, speed, flags, 0);
}

extern "C" NOX_API int32_t Nox_getCameraCount(NoxBoardHandle *handle) {
    ExportedCallScope call;
    NOXBoardInterface *board = Board(handle);
    if (board == nullptr) return ERR_INVALID_BOARD_HANDLE;
    return static_cast<int32_t>(board->GetCameraCount());
}

extern "C" NOX_API int32_t Nox_getCameraByIndex(NoxBoardHandle *handle, uint32_t index, NoxCameraHandle **camera) {
    ExportedCallScope call;
    NOXBoardInterface *board = Board(handle);
    if (board == nullptr) return ERR_INVALID_BOARD_HANDLE;
    NOXCameraInterface *found = board->GetCamera(index);
    if (camera == nullptr) return ERR_INVALID_ARGUMENT;
    *camera = ToHandle(found);
    return ERR_NONE;
}

extern "C" NOX_API int32_t Nox_getCamera(NoxBoardHandle *handle, uint32_t port, NoxCameraHandle **camera) {
    NOX_CALL_FRAME(frame, "Nox_getCamera", [=] { return BoardItem(handle) + PortIndexItem(port); });
    NOXBoardInterface *board = Board(handle);
    if (board == nullptr) {
        frame.LogError("Invalid board handle");
        return frame.Return(ERR_INVALID_BOARD_HANDLE);
    }
    if (camera == nullptr) {
        frame.LogError("Invalid camera handle pointer");
        return frame.Return(ERR_INVALID_ARGUMENT);
    }
    NOXCameraInterface *found = board->FindCameraByPort(port);
    if (found == nullptr) {
        auto created = std::make_unique<NOXCameraInterface>(board, port);
        NOXCameraInterface *raw = created.get();
        // A full list would leave the new camera without an owner: refuse instead.
        if (const int32_t status = board->AddCamera(std::move(created), -1); status != ERR_NONE) {
            frame.LogError("Camera list of the board is full");
            return frame.Return(status);
        }
        frame.LogRecord(kLevelDetail, "New camera interface created");
        found = raw;
    }
    *camera = ToHandle(found);
    frame.AppendHandle("NoxCameraHandle*", found);
    return frame.Return(ERR_NONE);
}

namespace {
int32_t IsAvailable(NOXCameraInterface *camera) {
    return camera != nullptr && !camera->IsDummy() && camera->IsDiscovered() ? 1 : 0;
}
}  // namespace

extern "C" NOX_API int32_t Nox_isCameraAvailable(NoxBoardHandle *handle, uint32_t port) {
    NOX_CALL_FRAME(frame, "Nox_isCameraAvailable", [=] { return BoardItem(handle) + PortIndexItem(port); });
    NOXBoardInterface *board = Board(handle);
    if (board == nullptr) return frame.Return(0);
    return frame.Return(IsAvailable(board->FindCameraByPort(port)));
}

extern "C" NOX_API int32_t Nox_isCameraAvailableAtIndex(NoxBoardHandle *handle, uint32_t index) {
    NOX_CALL_FRAME(frame, "Nox_isCameraAvailableAtIndex", [=] { return BoardItem(handle) + IndexItem(index); });
    NOXBoardInterface *board = Board(handle);
    if (board == nullptr) return frame.Return(0);
    return frame.Return(IsAvailable(board->GetCamera(index)));
}

extern "C" NOX_API NoxCameraInfo *Nox_getCameraInfo(NoxCameraHandle *handle) {
    NOX_CALL_FRAME(frame, "Nox_getCameraInfo", [=] { return CameraItem(handle); });
    NOXCameraInterface *camera = Camera(handle);
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
    NOXBoardInterface *board = Board(handle);
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
    NOXBoardInterface *board = Board(handle);
    if (board == nullptr) return ERR_INVALID_BOARD_HANDLE;
    CallFrameResult frame([=] { return BoardItem(handle) + CameraItem(cameraHandle); });
    try {
        // Without a live camera, every camera of the board.
        if (NOXCameraInterface *camera = Camera(cameraHandle)) return camera->LinkConnect();
        return ConnectAllCameras(board);
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
    NOXCameraInterface *camera = Camera(handle);
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
    NOXCameraInterface *camera = Camera(handle);
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
    NOXBoardInterface *board = Board(handle);
    if (board == nullptr) return ERR_INVALID_BOARD_HANDLE;
    return board->RegisterEventCallback(callback, context);
}
