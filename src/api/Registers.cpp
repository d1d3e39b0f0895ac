// Raw access to the register space of the camera on a port ("direct") or of a camera.
#include <cstring>
#include <vector>

#include "api/ApiSupport.h"
#include "board/RawAccess.h"
#include "genapi/INodeMap.h"

using namespace vexo::genicam;

namespace {

constexpr uint32_t kDefaultTimeoutMs = 2000;

ContextFunction PortContext(NoxBoardHandle *handle, uint32_t port) {
    return [=] { return BoardItem(handle) + PortIndexItem(port); };
}

int32_t DirectRead(NoxBoardHandle *handle, uint32_t port, uint64_t address, uint32_t *value,
                   const char *invalidData) {
    CallFrameResult frame(PortContext(handle, port));
    if (value == nullptr) {
        frame.LogError(invalidData);
        return ERR_INVALID_DATA;
    }
    BoardPin board = Board(handle);
    if (board == nullptr) return ERR_INVALID_BOARD_HANDLE;
    return ExportedStatus(
        board->Controller()->ReadRaw(port, address, value, 4, ByteSwap::kSwapWords, kDefaultTimeoutMs));
}

// A raw write changes the camera behind its node map's back: the register
// values the node map keeps are forgotten, whatever the write's outcome.
int32_t ForgettingCameraValues(NOXCameraInterface *camera, int32_t status) {
    if (camera != nullptr && camera->NodeMap() != nullptr) camera->NodeMap()->InvalidateNodes();
    return ExportedStatus(status);
}

int32_t DirectWrite(NoxBoardHandle *handle, uint32_t port, uint64_t address, uint32_t value, uint32_t swap) {
    ExportedCallScope call;
    BoardPin board = Board(handle);
    if (board == nullptr) return ERR_INVALID_BOARD_HANDLE;
    const int32_t status =
        board->Controller()->WriteRegister(port, address, value, ByteSwapOf(swap), AcknowledgeMode::kRequired, 0);
    return ForgettingCameraValues(board->FindCameraByPort(port), status);
}

int32_t DirectReadMemory(NoxBoardHandle *handle, uint32_t port, uint64_t address, void *buffer,
                         const uint32_t *length, uint32_t timeoutMs, int32_t nullBufferStatus) {
    CallFrameResult frame(PortContext(handle, port));
    if (length == nullptr) {
        frame.LogError("Invalid buffer length");
        return ERR_INVALID_ARGUMENT;
    }
    if (buffer == nullptr) {
        frame.LogError("Invalid data");
        return nullBufferStatus;
    }
    BoardPin board = Board(handle);
    if (board == nullptr) return ERR_INVALID_BOARD_HANDLE;
    return ExportedStatus(board->Controller()->ReadMemory(port, address, buffer, *length, timeoutMs));
}

int32_t DirectWriteMemory(NoxBoardHandle *handle, uint32_t port, uint64_t address, const void *data,
                          uint32_t length, uint32_t timeoutMs) {
    CallFrameResult frame(PortContext(handle, port));
    if (data == nullptr) {
        frame.LogError("Invalid data");
        return ERR_INVALID_DATA;
    }
    BoardPin board = Board(handle);
    if (board == nullptr) return ERR_INVALID_BOARD_HANDLE;
    const int32_t status =
        board->Controller()->WriteMemory(port, address, data, length, ByteSwap::kWireOrder, timeoutMs);
    return ForgettingCameraValues(board->FindCameraByPort(port), status);
}

// The controller of a camera's board, or null when the camera has no board.
FirmwareControllerBase *CameraController(NOXCameraInterface *camera) {
    NOXBoardInterface *board = camera->Board();
    return board != nullptr ? board->Controller() : nullptr;
}

int32_t ReadCameraMemory(CallFrameResult &frame, NoxCameraHandle *handle, void *buffer, uint32_t address,
                         uint32_t length, uint32_t timeoutMs, const char *invalidBuffer) {
    if (buffer == nullptr) {
        frame.LogError(invalidBuffer);
        return ERR_INVALID_ARGUMENT;
    }
    if (length == 0) {
        frame.LogError("Invalid length");
        return ERR_INVALID_ARGUMENT;
    }
    CameraPin camera = Camera(handle);
    if (camera == nullptr) return ERR_INVALID_CAMERA_HANDLE;
    FirmwareControllerBase *controller = CameraController(camera);
    if (controller == nullptr) return ERR_NO_CXP_INTERFACE;
    const uint32_t port = camera->GetPortIndex();
    if (camera->Kind() == ControllerKind::kCameraLink || length % 4 == 0)
        return ExportedStatus(controller->ReadRaw(port, address, buffer, length, ByteSwap::kWireOrder, timeoutMs));
    // Whole words on the wire; the caller gets the bytes it asked for.
    const uint64_t rounded = (static_cast<uint64_t>(length) / 4 + 1) * 4;
    if (rounded > UINT32_MAX) {
        frame.LogError("Invalid length");
        return ERR_INVALID_ARGUMENT;
    }
    std::vector<uint8_t> words(rounded);
    const int32_t status = controller->ReadRaw(port, address, words.data(), static_cast<uint32_t>(rounded),
                                               ByteSwap::kWireOrder, timeoutMs);
    if (status == ERR_NONE) std::memcpy(buffer, words.data(), length);
    return ExportedStatus(status);
}

int32_t WriteCameraMemory(NOXCameraInterface *camera, const void *data, uint32_t address, uint32_t length,
                          uint32_t timeoutMs) {
    if (camera == nullptr) return ERR_INVALID_CAMERA_HANDLE;
    FirmwareControllerBase *controller = CameraController(camera);
    if (controller == nullptr) return ERR_NO_CXP_INTERFACE;
    return ForgettingCameraValues(camera, controller->WriteMemory(camera->GetPortIndex(), address, data, length,
                                                                  ByteSwap::kWireOrder, timeoutMs));
}

}  // namespace

extern "C" NOX_API int32_t Nox_DirectRegisterRead(NoxBoardHandle *b, uint32_t port, uint32_t address, uint32_t *value) {
    return DirectRead(b, port, address, value, "Invalid data");
}

extern "C" NOX_API int32_t Nox_DirectRegisterRead64(NoxBoardHandle *b, uint32_t port, uint64_t address,
                                                    uint32_t *value) {
    return DirectRead(b, port, address, value, "invalid data");
}

extern "C" NOX_API int32_t Nox_DirectRegisterWrite(NoxBoardHandle *b, uint32_t port, uint32_t address, uint32_t value,
                                                   uint32_t swap) {
    return DirectWrite(b, port, address, value, swap);
}

extern "C" NOX_API int32_t Nox_DirectRegisterWrite64(NoxBoardHandle *b, uint32_t port, uint64_t address,
                                                     uint32_t value, uint32_t swap) {
    return DirectWrite(b, port, address, value, swap);
}

extern "C" NOX_API int32_t Nox_DirectRegisterReadMem(NoxBoardHandle *b, uint32_t port, uint32_t address, void *buffer,
                                                     uint32_t *length) {
    return DirectReadMemory(b, port, address, buffer, length, kDefaultTimeoutMs, ERR_INVALID_ARGUMENT);
}

extern "C" NOX_API int32_t Nox_DirectRegisterReadMem64(NoxBoardHandle *b, uint32_t port, uint64_t address,
                                                       void *buffer, uint32_t *length) {
    return DirectReadMemory(b, port, address, buffer, length, kDefaultTimeoutMs, ERR_INVALID_DATA);
}

extern "C" NOX_API int32_t Nox_DirectRegisterReadMemWithTimeOut(NoxBoardHandle *b, uint32_t port, uint32_t address,
                                                                void *buffer, uint32_t *length, uint32_t timeout) {
    return DirectReadMemory(b, port, address, buffer, length, timeout, ERR_INVALID_DATA);
}

extern "C" NOX_API int32_t Nox_DirectRegisterReadMemWithTimeOut64(NoxBoardHandle *b, uint32_t port, uint64_t address,
                                                                  void *buffer, uint32_t *length, uint32_t timeout) {
    return DirectReadMemory(b, port, address, buffer, length, timeout, ERR_INVALID_DATA);
}

extern "C" NOX_API int32_t Nox_DirectRegisterWriteMem(NoxBoardHandle *b, uint32_t port, uint32_t address,
                                                      const void *data, uint32_t length) {
    return DirectWriteMemory(b, port, address, data, length, 0);
}

extern "C" NOX_API int32_t Nox_DirectRegisterWriteMem64(NoxBoardHandle *b, uint32_t port, uint64_t address,
                                                        const void *data, uint32_t length) {
    return DirectWriteMemory(b, port, address, data, length, 0);
}

extern "C" NOX_API int32_t Nox_DirectRegisterWriteMemWithTimeOut(NoxBoardHandle *b, uint32_t port, uint32_t address,
                                                                 const void *data, uint32_t length, uint32_t timeout) {
    return DirectWriteMemory(b, port, address, data, length, timeout);
}

extern "C" NOX_API int32_t Nox_DirectRegisterWriteMemWithTimeOut64(NoxBoardHandle *b, uint32_t port,
                                                                   uint64_t address, const void *data,
                                                                   uint32_t length, uint32_t timeout) {
    return DirectWriteMemory(b, port, address, data, length, timeout);
}

extern "C" NOX_API int32_t Nox_registerReadFromCamera(NoxCameraHandle *handle, uint32_t *value, uint32_t address) {
    CallFrameResult frame([=] { return CameraItem(handle); });
    if (value == nullptr) {
        frame.LogError("Invalid data");
        return ERR_INVALID_ARGUMENT;
    }
    CameraPin camera = Camera(handle);
    if (camera == nullptr) return ERR_INVALID_CAMERA_HANDLE;
    // Refused without touching the wire when the link is down.
    if (!camera->IsLinkUp(true)) return ERR_STREAM_PACKET_SIZE_REJECTED;
    FirmwareControllerBase *controller = CameraController(camera);
    if (controller == nullptr) return ERR_NO_CXP_INTERFACE;
    uint8_t bytes[4] = {};
    const int32_t status = controller->ReadRaw(camera->GetPortIndex(), address, bytes, 4, ByteSwap::kWireOrder, kDefaultTimeoutMs);
    if (status == ERR_NONE)
        *value = uint32_t{bytes[0]} << 24 | uint32_t{bytes[1]} << 16 | uint32_t{bytes[2]} << 8 | bytes[3];
    return ExportedStatus(status);
}

extern "C" NOX_API int32_t Nox_registerWriteToCamera(NoxCameraHandle *handle, uint32_t value, uint32_t address) {
    ExportedCallScope call;
    CameraPin camera = Camera(handle);
    if (camera == nullptr) return ERR_INVALID_CAMERA_HANDLE;
    if (!camera->IsLinkUp(true)) return ERR_STREAM_PACKET_SIZE_REJECTED;
    FirmwareControllerBase *controller = CameraController(camera);
    if (controller == nullptr) return ERR_NO_CXP_INTERFACE;
    return ForgettingCameraValues(camera, controller->WriteRegister(camera->GetPortIndex(), address, value,
                                                                    ByteSwap::kSwapWords, AcknowledgeMode::kRequired, 0));
}

extern "C" NOX_API int32_t Nox_memoryReadFromCamera(NoxCameraHandle *handle, void *buffer, uint32_t address,
                                                    uint32_t length) {
    CallFrameResult frame([=] { return CameraItem(handle); });
    return ReadCameraMemory(frame, handle, buffer, address, length, kDefaultTimeoutMs, "Invalid buffer");
}

extern "C" NOX_API int32_t Nox_memoryReadFromCameraWithTimeout(NoxCameraHandle *handle, void *buffer,
                                                               uint32_t address, uint32_t length, uint32_t timeout) {
    CallFrameResult frame([=] { return CameraItem(handle); });
    return ReadCameraMemory(frame, handle, buffer, address, length, timeout, "Invalid buffer");
}

extern "C" NOX_API int32_t Nox_stringReadFromCamera(NoxCameraHandle *handle, char *buffer, uint32_t address,
                                                    uint32_t length) {
    CallFrameResult frame([=] { return CameraItem(handle); });
    return ReadCameraMemory(frame, handle, buffer, address, length, kDefaultTimeoutMs, "Invalid data");
}

extern "C" NOX_API int32_t Nox_memoryWriteToCamera(NoxCameraHandle *handle, const void *data, uint32_t address,
                                                   uint32_t length) {
    ExportedCallScope call;
    CameraPin camera = Camera(handle);
    if (camera == nullptr) return ERR_INVALID_CAMERA_HANDLE;
    // A length without data would make the controller read from nowhere.
    if (data == nullptr && length != 0) {
        CallFrameResult frame([=] { return CameraItem(handle); });
        frame.LogError("Invalid buffer");
        return ERR_INVALID_ARGUMENT;
    }
    return WriteCameraMemory(camera, data, address, length, 0);
}

extern "C" NOX_API int32_t Nox_memoryWriteToCameraWithTimeout(NoxCameraHandle *handle, const void *data,
                                                              uint32_t address, uint32_t length, uint32_t timeout) {
    CallFrameResult frame([=] { return CameraItem(handle); });
    if (data == nullptr) {
        frame.LogError("Invalid buffer");
        return ERR_INVALID_ARGUMENT;
    }
    if (length == 0) {
        frame.LogError("Invalid length");
        return ERR_INVALID_ARGUMENT;
    }
    CameraPin camera = Camera(handle);
    return WriteCameraMemory(camera, data, address, length, timeout);
}
