// Camera parameter files: the values of a connected camera's features saved
// to a text file and loaded back.
#include <fstream>
#include <string>

#include "api/ApiSupport.h"
#include "api/HandedOutRecords.h"
#include "genicam/ParameterDump.h"
#include "genicam/ParameterLoader.h"
#include "nox_genicam_ext.h"

using namespace vexo::genicam;

namespace {

constexpr uint32_t kStopAtFirstFailure = 0x1;

ContextFunction FileContext(NoxCameraHandle *handle) {
    return [=] { return CameraItem(handle); };
}

// The refusals both functions share, in their order; 0 when the call may go on.
int32_t CheckCall(const CallFrameResult &frame, const NOXCameraInterface *camera, const char *fileName,
                  const char *invalidCamera) {
    if (camera == nullptr) {
        frame.LogError(invalidCamera);
        return ERR_INVALID_CAMERA_HANDLE;
    }
    if (camera->NodeMap() == nullptr) {
        frame.LogError("Invalid XML connection");
        return ERR_NO_GENICAM_CONNECTION;
    }
    if (fileName == nullptr || *fileName == '\0') {
        frame.LogError("Invalid param File Name");
        return ERR_INVALID_FILENAME;
    }
    return ERR_NONE;
}

// Reads the file and applies it line by line; the failed lines are logged as warnings, or as an
// error when loading stopped at one.
int32_t LoadFile(CallFrameResult &frame, NoxCameraHandle *handle, const char *fileName, uint32_t flags,
                 ParameterLoader::Result &result) {
    CameraPin camera = Camera(handle);
    if (int32_t status = CheckCall(frame, camera, fileName, "Invalid camera handle"); status != ERR_NONE)
        return status;
    std::ifstream file(fileName, std::ios::in | std::ios::binary);
    if (!file) {
        frame.LogError(std::string("Cannot open parameter file: ") + fileName);
        return ERR_INVALID_FILENAME;
    }
    try {
        result = ParameterLoader(*camera->NodeMap()).Load(file, (flags & kStopAtFirstFailure) != 0);
    } catch (const std::exception &exception) {
        frame.LogError(std::string("Exception while loading camera parameters: ") + exception.what());
        return ERR_EXCEPTION;
    }
    const uint32_t level = result.stopped ? vexo::tools::logging::kLevelError : vexo::tools::logging::kLevelWarning;
    for (const ParameterLoader::Failure &failure : result.failures)
        frame.LogRecord(level, "Failed to apply parameter " + failure.Text());
    return ERR_NONE;
}

struct LoadReportRecord {
    NoxParameterLoadReport handed{};
    std::vector<ParameterLoader::Failure> failures;
    std::vector<NoxParameterLineFailure> lines;
};

std::unique_ptr<LoadReportRecord> ReportRecord(ParameterLoader::Result result) {
    auto record = std::make_unique<LoadReportRecord>();
    record->failures = std::move(result.failures);
    for (const ParameterLoader::Failure &failure : record->failures)
        record->lines.push_back({failure.line, failure.feature.c_str(), failure.reason.c_str()});
    NoxParameterLoadReport &report = record->handed;
    report.applied = result.applied;
    report.failed = result.failed;
    report.stopped = result.stopped ? 1 : 0;
    report.failureCount = static_cast<uint32_t>(record->lines.size());
    report.failures = record->lines.data();
    return record;
}

}  // namespace

extern "C" NOX_API int32_t Nox_SaveCameraParameters(NoxCameraHandle *handle, const char *fileName) {
    CallFrameResult frame(FileContext(handle));
    CameraPin camera = Camera(handle);
    if (int32_t status = CheckCall(frame, camera, fileName, "Invalid camera Handle"); status != ERR_NONE)
        return frame.Return(status);
    std::ofstream file(fileName, std::ios::out | std::ios::trunc);
    if (!file) {
        frame.LogError(std::string("Cannot open parameter file for writing: ") + fileName);
        return frame.Return(ERR_INVALID_FILENAME);
    }
    try {
        if (!ParameterDump(*camera->NodeMap()).Write(file)) {
            frame.LogError("Camera description has no category Root");
            return frame.Return(ERR_EXCEPTION);
        }
    } catch (const std::exception &exception) {
        frame.LogError(std::string("Exception while saving camera parameters: ") + exception.what());
        return frame.Return(ERR_EXCEPTION);
    }
    file.close();
    // A file that could not be written completely is no saved parameter set.
    if (!file) {
        frame.LogError(std::string("Failed to write parameter file: ") + fileName);
        return frame.Return(ERR_FILE_ACCESS);
    }
    return frame.Return(ERR_NONE);
}

extern "C" NOX_API int32_t Nox_LoadCameraParameters(NoxCameraHandle *handle, const char *fileName, uint32_t flags) {
    CallFrameResult frame(FileContext(handle));
    ParameterLoader::Result result;
    if (int32_t status = LoadFile(frame, handle, fileName, flags, result); status != ERR_NONE)
        return frame.Return(status);
    // A load that goes on past failed lines succeeds: they are warnings then.
    return frame.Return(result.stopped ? ERR_INVALID_FEATURE : ERR_NONE);
}

extern "C" NOX_API int32_t Nox_loadCameraParametersWithReport(NoxCameraHandle *handle, const char *fileName,
                                                              uint32_t flags, NoxParameterLoadReport **report) {
    CallFrameResult frame(FileContext(handle));
    if (report == nullptr) {
        frame.LogError("Invalid report pointer");
        return frame.Return(ERR_INVALID_ARGUMENT);
    }
    ParameterLoader::Result result;
    if (int32_t status = LoadFile(frame, handle, fileName, flags, result); status != ERR_NONE)
        return frame.Return(status);
    *report = HandedOut<LoadReportRecord>().Keep(ReportRecord(std::move(result)));
    return frame.Return(ERR_NONE);
}

extern "C" NOX_API int32_t Nox_freeParameterLoadReport(NoxParameterLoadReport *report) {
    CallFrameResult frame([] { return std::string(); });
    if (!HandedOut<LoadReportRecord>().Free(report)) {
        frame.LogError("Invalid parameter load report");
        return frame.Return(ERR_INVALID_ARGUMENT);
    }
    return frame.Return(ERR_NONE);
}
