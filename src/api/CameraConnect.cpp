// The camera's GenICam connection: its description fetched from the camera
// or taken from a file, the node map built from it, the description copy.
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "api/ApiSupport.h"
#include "api/ExportedRegisterAccess.h"
#include "board/FirmwareControllerBase.h"
#include "gencp/CameraLinkController.h"
#include "genapi/CNodeMapFactory.h"
#include "genapi/GenericException.h"
#include "genicam/DescriptionLoader.h"
#include "genicam/DescriptionReader.h"
#include "genicam/GenApiEnvironment.h"

using namespace vexo::genicam;

namespace {

constexpr size_t kMaxDescriptionSize = GenApi::CNodeMapFactory::kMaxDescriptionSize;
const std::string kTracePrefix = "[ConnectCamera     ] ";

// Progress of a connect: trace lines to the board's console trace, messages
// into the call's records.
class ConnectLog final : public DescriptionLog {
public:
    ConnectLog(const CallFrameResult &frame, NOXCameraInterface &camera) : frame_(frame), camera_(camera) {}

    void Trace(const std::string &line) override {
        if (NOXBoardInterface *board = camera_.Board(); board != nullptr && board->Controller() != nullptr)
            board->Controller()->ConsoleTrace(line);
    }
    void Info(const std::string &message) override { frame_.LogRecord(vexo::tools::logging::kLevelInfo, message); }
    void Error(const std::string &message) override { frame_.LogError(message); }

private:
    const CallFrameResult &frame_;
    NOXCameraInterface &camera_;
};

// A description GenApi would not take. One the check refuses as unsafe gets
// ERR_INVALID_DATA instead of ERR_EXCEPTION: the caller sees that the camera's
// description, not the road to it, is at fault.
int32_t RefuseDescription(CallFrameResult &frame, const std::exception &exception) {
    const bool refusedByCheck = dynamic_cast<const GenICam::InvalidDescriptionException *>(&exception) != nullptr;
    return Refuse(frame, refusedByCheck ? ERR_INVALID_DATA : ERR_EXCEPTION,
                  std::string("Exception while interpreting camera XML; Exception: ") + exception.what());
}

// Loads a description fetched from the camera into GenApi and makes it the
// camera's connection and description copy. A terminating zero stays in the
// copy but is no part of the document.
int32_t LoadDescription(CallFrameResult &frame, NOXCameraInterface &camera, std::vector<uint8_t> description,
                        ConnectLog &log, bool zeroTerminated = false) {
    DescriptionLoader::BlankEmptyToolTips(description);
    const size_t documentSize = description.size() - (zeroTerminated && !description.empty() ? 1 : 0);
    try {
        DescriptionLoader::Load(camera, description.data(), documentSize, log);
    } catch (const std::exception &exception) {
        camera.SetConnected(false);
        return RefuseDescription(frame, exception);
    }
    try {
        camera.SetDescription(std::move(description));
        camera.SetConnected(true);
        frame.LogRecord(vexo::tools::logging::kLevelInfo, "GenICam connection succeeded");
    } catch (const std::exception &exception) {
        camera.SetConnected(false);
        return Refuse(frame, ERR_EXCEPTION,
                      std::string("Exception while connecting node map to transport layer: ") + exception.what());
    }
    log.Trace(kTracePrefix + "Leaving.");
    return frame.Return(ERR_NONE);
}

// The same inside the GenApi environment.
int32_t ConnectDescription(CallFrameResult &frame, NOXCameraInterface &camera, std::vector<uint8_t> description,
                           ConnectLog &log) {
    GenApiEnvironment environment;
    return LoadDescription(frame, camera, std::move(description), log);
}

// Camera Link: the controller reads the description through the camera's
// GenCP manifest; it is loaded without entering the GenApi environment.
int32_t ConnectCameraLinkCamera(CallFrameResult &frame, NOXCameraInterface &camera, ConnectLog &log) {
    NOXBoardInterface *board = camera.Board();
    auto *controller = dynamic_cast<CameraLinkController *>(board != nullptr ? board->Controller() : nullptr);
    if (controller == nullptr)
        return Refuse(frame, ERR_NO_CXP_INTERFACE, "No description source for this camera's board");
    return LoadDescription(frame, camera, controller->ReadDescription(camera.GetPortIndex()), log, true);
}

// Camera Link HS cameras keep their description behind a GenCP manifest table.
RetrievedDescription ReadGenCpDescription(ExportedRegisterAccess &registers, ConnectLog &log) {
    return DescriptionReader(registers, log).ReadGenCpManifest();
}

int32_t ConnectCamera(CallFrameResult &frame, NoxCameraHandle *handle, NOXCameraInterface &camera) {
    // A failed connect must leave no node map behind, an earlier one included.
    camera.SetConnected(false);
    ConnectLog log(frame, camera);
    log.Trace(kTracePrefix + "Entered.");
    ExportedRegisterAccess registers(handle);
    RetrievedDescription description;
    switch (camera.Kind()) {
        case ControllerKind::kCoaXPress:
            description = DescriptionReader(registers, log).ReadCoaXPress(camera.ControlPacketSize());
            break;
        case ControllerKind::kCameraLinkHs: description = ReadGenCpDescription(registers, log); break;
        case ControllerKind::kCameraLink: return ConnectCameraLinkCamera(frame, camera, log);
        default: return Refuse(frame, ERR_NO_CXP_INTERFACE, "No description source for this camera's board");
    }
    if (!description.Ok()) return frame.Return(description.status);
    return ConnectDescription(frame, camera, std::move(description.bytes), log);
}

// The whole file plus a terminating zero; nothing when it cannot be read, is
// empty or is larger than a description may be.
std::optional<std::vector<uint8_t>> ReadDescriptionFile(const char *fileName) {
    std::ifstream file(fileName, std::ios::binary | std::ios::ate);
    if (!file) return std::nullopt;
    const std::streamoff size = file.tellg();
    if (size <= 0 || static_cast<uint64_t>(size) > kMaxDescriptionSize) return std::nullopt;
    std::vector<uint8_t> bytes(static_cast<size_t>(size) + 1, 0);
    file.seekg(0);
    if (!file.read(reinterpret_cast<char *>(bytes.data()), size)) return std::nullopt;
    return bytes;
}

int32_t ConnectCameraWithFile(CallFrameResult &frame, NOXCameraInterface &camera, const char *fileName) {
    ConnectLog log(frame, camera);
    GenApiEnvironment environment;
    camera.SetConnected(false);
    std::optional<std::vector<uint8_t>> bytes = ReadDescriptionFile(fileName);
    if (!bytes) return Refuse(frame, ERR_FILE_ACCESS, "Failed to load file");
    // The copy is the file as read; it stays even when the file is refused below.
    camera.SetDescription(std::move(*bytes));
    const std::vector<uint8_t> &description = camera.Description();
    try {
        DescriptionLoader::Load(camera, description.data(), description.size() - 1, log);
    } catch (const GenICam::GenericException &exception) {
        camera.SetConnected(false);
        return RefuseDescription(frame, exception);
    } catch (const std::exception &exception) {
        // The description has no port "Device".
        camera.SetConnected(false);
        return Refuse(frame, ERR_EXCEPTION, exception.what());
    }
    camera.SetConnected(true);
    return frame.Return(ERR_NONE);
}

}  // namespace

extern "C" NOX_API int32_t Nox_connectCamera(NoxCameraHandle *handle) {
    NOX_CALL_FRAME(frame, "Nox_connectCamera", CameraContext(handle));
    CameraPin camera = Camera(handle);
    if (camera == nullptr) return Refuse(frame, ERR_INVALID_CAMERA_HANDLE, "Invalid camera handle");
    if (!camera->IsDiscovered())
        return Refuse(frame, ERR_NO_PHYSICAL_CONNECTION,
                      "Camera has no physical layer connection; Call Nox_LinkConnect first");
    try {
        return ConnectCamera(frame, handle, *camera);
    } catch (const std::exception &exception) {
        camera->SetConnected(false);
        return Refuse(frame, ERR_EXCEPTION, std::string("Cannot connect to camera: ") + exception.what());
    }
}

extern "C" NOX_API int32_t Nox_connectCameraWithExternalXml(NoxCameraHandle *handle, const char *fileName) {
    NOX_CALL_FRAME(frame, "Nox_connectCameraWithExternalXml", CameraContext(handle),
                   [=] { return std::string("File: ") + (fileName != nullptr ? fileName : ""); });
    CameraPin camera = Camera(handle);
    if (camera == nullptr) return Refuse(frame, ERR_INVALID_CAMERA_HANDLE, "Invalid camera handle");
    if (fileName == nullptr || *fileName == '\0') return Refuse(frame, ERR_INVALID_FILENAME, "Invalid file name");
    std::error_code error;
    if (!std::filesystem::exists(fileName, error)) return Refuse(frame, ERR_FILE_NOT_FOUND, "File not found");
    try {
        return ConnectCameraWithFile(frame, *camera, fileName);
    } catch (const std::exception &exception) {
        camera->SetConnected(false);
        return Refuse(frame, ERR_EXCEPTION, std::string("Cannot connect to camera: ") + exception.what());
    }
}

extern "C" NOX_API int32_t Nox_getGenICamXML(NoxCameraHandle *handle, char *buffer, size_t *size) {
    NOX_CALL_FRAME(frame, "Nox_getGenICamXML", CameraContext(handle));
    if (size == nullptr) return Refuse(frame, ERR_INVALID_DATA, "Invalid buffer size");
    CameraPin camera = Camera(handle);
    if (camera == nullptr) return frame.Return(ERR_INVALID_CAMERA_HANDLE);
    if (camera->Board() == nullptr) return frame.Return(ERR_NO_CXP_INTERFACE);
    const std::vector<uint8_t> &description = camera->Description();
    const size_t needed = description.size();
    if (buffer == nullptr) {
        *size = needed;
        return frame.Return(ERR_NONE);
    }
    if (*size < needed) return Refuse(frame, ERR_INVALID_ARGUMENT, "Buffer too small for the camera XML");
    // Without a copy the caller sees size 0, and the zero byte only in a buffer with room for it.
    if (description.empty() && *size > 0) buffer[0] = '\0';
    *size = needed;
    std::copy(description.begin(), description.end(), buffer);
    return frame.Return(ERR_NONE);
}

extern "C" NOX_API int32_t Nox_setGenICamXML(NoxCameraHandle *handle, const char *text, size_t size) {
    NOX_CALL_FRAME(frame, "Nox_setGenICamXML", CameraContext(handle));
    if (text == nullptr || *text == '\0') return Refuse(frame, ERR_INVALID_DATA, "Invalid buffer");
    if (size == 0 || size > kMaxDescriptionSize) return Refuse(frame, ERR_INVALID_DATA, "Invalid buffer size");
    CameraPin camera = Camera(handle);
    if (camera == nullptr) return frame.Return(ERR_INVALID_CAMERA_HANDLE);
    if (camera->Board() == nullptr) return frame.Return(ERR_NO_CXP_INTERFACE);
    camera->SetDescription(std::vector<uint8_t>(text, text + size));
    return frame.Return(ERR_NONE);
}
