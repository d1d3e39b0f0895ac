// GenICam features by name: typed get and set, enumerations, commands and
// the acquisition shortcuts, through the camera's node map.
#include <sstream>
#include <string>

#include "api/ApiSupport.h"
#include "genapi/GenApi.h"

using namespace vexo::genicam;

namespace {

template <class Value>
ParameterFunction FeatureValueText(const char *name, Value value) {
    return [=] {
        std::ostringstream text;
        text << "Feature: " << (name != nullptr ? name : "") << "; Value: " << value;
        return text.str();
    };
}

ParameterFunction FeatureTextValueText(const char *name, const char *value) {
    return [=] {
        return std::string("Feature: ") + (name != nullptr ? name : "") + "; Value: " + (value != nullptr ? value : "");
    };
}

// The camera's node of that name as the node kind; the refusal's status otherwise.
template <class Kind>
int32_t LookUp(const CallFrameResult &frame, NOXCameraInterface *camera, const char *name, GenApi::CPointer<Kind> &node) {
    if (camera == nullptr) {
        frame.LogError("Invalid camera handle");
        return ERR_INVALID_CAMERA_HANDLE;
    }
    GenApi::INodeMap *nodeMap = camera->NodeMap();
    if (nodeMap == nullptr) {
        frame.LogError("Failed to get camera node map");
        return ERR_NO_GENICAM_CONNECTION;
    }
    node = nodeMap->GetNode(name);
    if (!node.IsValid()) {
        frame.LogError("Failed to get feature");
        return ERR_INVALID_FEATURE;
    }
    return ERR_NONE;
}

// Runs the part of a call that may raise; a raised exception becomes
// ERR_EXCEPTION with its text after the prefix (and the feature's name and
// ": " when one is given). Nothing raised below the exported interface
// leaves it. The message is put together only when it is needed: feature
// reads are frequent, and the text would cost more than the rest of the frame.
template <class Body>
int32_t Guarded(CallFrameResult &frame, const char *prefix, Body body, const char *feature = nullptr) {
    const auto log = [&](const char *what) {
        frame.LogError(std::string(prefix) + (feature != nullptr ? std::string(feature) + ": " : std::string()) + what);
    };
    try {
        return frame.Return(body());
    } catch (const std::exception &exception) {
        log(exception.what());
    } catch (...) {
        log("unknown exception");
    }
    return frame.Return(ERR_EXCEPTION);
}

int32_t RefuseName(CallFrameResult &frame, const char *message = "Invalid feature name") {
    return Refuse(frame, ERR_INVALID_FEATURE, message);
}

int32_t RefuseArgument(CallFrameResult &frame, const char *message) {
    return Refuse(frame, ERR_INVALID_ARGUMENT, message);
}

// The text getters check the camera first, then name and out pointer.
int32_t CheckTextRequest(CallFrameResult &frame, const NOXCameraInterface *camera, const char *name,
                         const char **value) {
    if (camera == nullptr) {
        frame.LogError("Invalid camera handle");
        return frame.Return(ERR_INVALID_CAMERA_HANDLE);
    }
    if (IsEmpty(name)) return RefuseName(frame);
    if (value == nullptr) return RefuseArgument(frame, "Invalid value pointer");
    return ERR_NONE;
}

// Runs a read of the node (returning a status); a read refused because the
// node is write only becomes that refusal, with the message given. The
// access mode is asked for only then: the read checks readability itself,
// and asking first would do that work twice per call.
template <class Kind, class Read, class Message>
int32_t ReadUnlessWriteOnly(const CallFrameResult &frame, const GenApi::CPointer<Kind> &node, Read read,
                            Message message) {
    try {
        return read();
    } catch (const GenICam::AccessException &) {
        if (node->GetAccessMode() != GenApi::WO) throw;
        frame.LogError(message());
        return static_cast<int32_t>(ERR_FEATURE_WRITE_ONLY);
    }
}

std::string EnumerationWriteOnly() { return "Value is write only"; }

// Integer, boolean and float reads: checks, look-up, value.
template <class Kind, class Out, class Read>
int32_t TypedGet(CallFrameResult &frame, NOXCameraInterface *camera, const char *name, Out *value, Read read) {
    if (IsEmpty(name)) return RefuseName(frame);
    if (value == nullptr) return RefuseArgument(frame, "Invalid value pointer");
    return Guarded(
        frame, "Exception while getting feature ",
        [&] {
            GenApi::CPointer<Kind> node;
            if (int32_t status = LookUp(frame, camera, name, node); status != ERR_NONE) return status;
            return ReadUnlessWriteOnly(
                frame, node,
                [&] {
                    *value = read(*node);
                    return static_cast<int32_t>(ERR_NONE);
                },
                [&] { return std::string("Feature ") + name + " is write only"; });
        },
        name);
}

// Integer, boolean, float and string writes, after the caller's value check.
template <class Kind, class Write>
int32_t TypedSet(CallFrameResult &frame, NOXCameraInterface *camera, const char *name, Write write) {
    return Guarded(
        frame, "Exception while setting feature ",
        [&] {
            GenApi::CPointer<Kind> node;
            if (int32_t status = LookUp(frame, camera, name, node); status != ERR_NONE) return status;
            if (node->GetAccessMode() == GenApi::RO) {
                frame.LogError(std::string("Feature ") + name + " is read only");
                return static_cast<int32_t>(ERR_FEATURE_READ_ONLY);
            }
            write(*node);
            return static_cast<int32_t>(ERR_NONE);
        },
        name);
}

}  // namespace

extern "C" NOX_API int32_t Nox_getIntegerValue(NoxCameraHandle *handle, const char *feature, int64_t *value) {
    NOX_CALL_FRAME(frame, "Nox_getIntegerValue", CameraContext(handle), FeatureText(feature));
    CameraPin camera = Camera(handle);
    return TypedGet<GenApi::IInteger>(frame, camera, feature, value, [](GenApi::IInteger &node) { return node.GetValue(); });
}

extern "C" NOX_API int32_t Nox_setIntegerValue(NoxCameraHandle *handle, const char *feature, int64_t value) {
    NOX_CALL_FRAME(frame, "Nox_setIntegerValue", CameraContext(handle), FeatureValueText(feature, value));
    CameraPin camera = Camera(handle);
    if (IsEmpty(feature)) return RefuseName(frame);
    if (value < 0) return RefuseArgument(frame, "Invalid value");
    return TypedSet<GenApi::IInteger>(frame, camera, feature, [=](GenApi::IInteger &node) { node.SetValue(value); });
}

extern "C" NOX_API int32_t Nox_getBooleanValue(NoxCameraHandle *handle, const char *feature, uint32_t *value) {
    NOX_CALL_FRAME(frame, "Nox_getBooleanValue", CameraContext(handle), FeatureText(feature));
    CameraPin camera = Camera(handle);
    return TypedGet<GenApi::IBoolean>(frame, camera, feature, value,
                                      [](GenApi::IBoolean &node) { return node.GetValue() ? 1u : 0u; });
}

extern "C" NOX_API int32_t Nox_setBooleanValue(NoxCameraHandle *handle, const char *feature, uint32_t value) {
    NOX_CALL_FRAME(frame, "Nox_setBooleanValue", CameraContext(handle), FeatureValueText(feature, value));
    CameraPin camera = Camera(handle);
    if (IsEmpty(feature)) return RefuseName(frame);
    return TypedSet<GenApi::IBoolean>(frame, camera, feature, [=](GenApi::IBoolean &node) { node.SetValue(value != 0); });
}

extern "C" NOX_API int32_t Nox_getFloatValue(NoxCameraHandle *handle, const char *feature, double *value) {
    NOX_CALL_FRAME(frame, "Nox_getFloatValue", CameraContext(handle), FeatureText(feature));
    CameraPin camera = Camera(handle);
    return TypedGet<GenApi::IFloat>(frame, camera, feature, value, [](GenApi::IFloat &node) { return node.GetValue(); });
}

extern "C" NOX_API int32_t Nox_setFloatValue(NoxCameraHandle *handle, const char *feature, double value) {
    NOX_CALL_FRAME(frame, "Nox_setFloatValue", CameraContext(handle), FeatureValueText(feature, value));
    CameraPin camera = Camera(handle);
    if (IsEmpty(feature)) return RefuseName(frame);
    return TypedSet<GenApi::IFloat>(frame, camera, feature, [=](GenApi::IFloat &node) { node.SetValue(value); });
}

extern "C" NOX_API int32_t Nox_getStringValue(NoxCameraHandle *handle, const char *feature, const char **value) {
    NOX_CALL_FRAME(frame, "Nox_getStringValue", CameraContext(handle), FeatureText(feature));
    CameraPin camera = Camera(handle);
    if (int32_t status = CheckTextRequest(frame, camera, feature, value); status != ERR_NONE) return status;
    return Guarded(frame, "Exception while getting string value:", [&] {
        GenApi::CStringPtr node;
        if (int32_t status = LookUp(frame, camera, feature, node); status != ERR_NONE) return status;
        *value = camera->KeepFeatureText(feature, node->GetValue());
        return static_cast<int32_t>(ERR_NONE);
    });
}

extern "C" NOX_API int32_t Nox_setStringValue(NoxCameraHandle *handle, const char *feature, const char *value) {
    NOX_CALL_FRAME(frame, "Nox_setStringValue", CameraContext(handle), FeatureTextValueText(feature, value));
    CameraPin camera = Camera(handle);
    if (IsEmpty(feature)) return RefuseName(frame);
    if (value == nullptr) return RefuseArgument(frame, "Invalid value");
    return TypedSet<GenApi::IString>(frame, camera, feature, [=](GenApi::IString &node) { node.SetValue(value); });
}

extern "C" NOX_API int32_t Nox_getEnumerationValue(NoxCameraHandle *handle, const char *feature, int64_t *value) {
    NOX_CALL_FRAME(frame, "Nox_getEnumerationValue", CameraContext(handle), FeatureText(feature));
    CameraPin camera = Camera(handle);
    if (IsEmpty(feature)) return RefuseName(frame);
    if (value == nullptr) return RefuseArgument(frame, "Invalid value pointer");
    return Guarded(frame, "Exception while getting enum value:", [&] {
        GenApi::CEnumerationPtr node;
        if (int32_t status = LookUp(frame, camera, feature, node); status != ERR_NONE) return status;
        return ReadUnlessWriteOnly(
            frame, node,
            [&] {
                *value = node->GetIntValue();
                return static_cast<int32_t>(ERR_NONE);
            },
            EnumerationWriteOnly);
    });
}

extern "C" NOX_API int32_t Nox_getEnumerationValueAsString(NoxCameraHandle *handle, const char *feature,
                                                           const char **value) {
    NOX_CALL_FRAME(frame, "Nox_getEnumerationValueAsString", CameraContext(handle), FeatureText(feature));
    CameraPin camera = Camera(handle);
    if (int32_t status = CheckTextRequest(frame, camera, feature, value); status != ERR_NONE) return status;
    return Guarded(frame, "Exception while getting enum value:", [&] {
        GenApi::CEnumerationPtr node;
        if (int32_t status = LookUp(frame, camera, feature, node); status != ERR_NONE) return status;
        return ReadUnlessWriteOnly(
            frame, node,
            [&] {
                GenApi::IEnumEntry *entry = node->GetCurrentEntry();
                if (entry == nullptr) {
                    frame.LogError("Invalid data in feature");
                    return static_cast<int32_t>(ERR_INVALID_DATA);
                }
                *value = camera->KeepFeatureText(feature, entry->GetSymbolic());
                return static_cast<int32_t>(ERR_NONE);
            },
            EnumerationWriteOnly);
    });
}

extern "C" NOX_API int32_t Nox_setEnumerationValue(NoxCameraHandle *handle, const char *feature, const char *entry) {
    NOX_CALL_FRAME(frame, "Nox_setEnumerationValue", CameraContext(handle), FeatureTextValueText(feature, entry));
    CameraPin camera = Camera(handle);
    if (IsEmpty(feature)) return RefuseName(frame);
    if (entry == nullptr) return RefuseArgument(frame, "Invalid value");
    return Guarded(frame, "Exception while setting enum value:", [&] {
        GenApi::CEnumerationPtr node;
        if (int32_t status = LookUp(frame, camera, feature, node); status != ERR_NONE) return status;
        GenApi::IEnumEntry *found = node->GetEntryByName(entry);
        if (found == nullptr) {
            frame.LogError("Invalid enum value");
            return static_cast<int32_t>(ERR_INVALID_ARGUMENT);
        }
        // Whether the camera takes the entry now is its own business: the
        // value is written unverified, and a refusal comes back as an exception.
        node->SetIntValue(found->GetValue(), false);
        return static_cast<int32_t>(ERR_NONE);
    });
}

extern "C" NOX_API int32_t Nox_executeCommand(NoxCameraHandle *handle, const char *feature) {
    NOX_CALL_FRAME(frame, "Nox_executeCommand", CameraContext(handle), FeatureText(feature));
    CameraPin camera = Camera(handle);
    if (IsEmpty(feature)) return RefuseName(frame, "Invalid feature Name");
    return Guarded(frame, "Exception while executing command:", [&] {
        GenApi::CCommandPtr node;
        if (int32_t status = LookUp(frame, camera, feature, node); status != ERR_NONE) return status;
        node->Execute();
        return static_cast<int32_t>(ERR_NONE);
    });
}

extern "C" NOX_API int32_t Nox_isCommandDone(NoxCameraHandle *handle, const char *feature, uint32_t *done) {
    NOX_CALL_FRAME(frame, "Nox_isCommandDone", CameraContext(handle), FeatureText(feature));
    CameraPin camera = Camera(handle);
    if (IsEmpty(feature)) return RefuseName(frame);
    if (done == nullptr) return RefuseArgument(frame, "Invalid value pointer");
    return Guarded(frame, "Exception while getting command state:", [&] {
        GenApi::CCommandPtr node;
        if (int32_t status = LookUp(frame, camera, feature, node); status != ERR_NONE) return status;
        *done = node->IsDone() ? 1u : 0u;
        return static_cast<int32_t>(ERR_NONE);
    });
}

namespace {

int32_t ExecuteShortcut(NoxCameraHandle *handle, const char *command) {
    if (Camera(handle) == nullptr) {
        CallFrameResult frame(CameraContext(handle));
        frame.LogError("Invalid camera handle");
        return ERR_INVALID_CAMERA_HANDLE;
    }
    return Nox_executeCommand(handle, command);
}

}  // namespace

extern "C" NOX_API int32_t Nox_startAcquisition(NoxCameraHandle *handle) {
    return ExecuteShortcut(handle, "AcquisitionStart");
}

extern "C" NOX_API int32_t Nox_stopAcquisition(NoxCameraHandle *handle) {
    return ExecuteShortcut(handle, "AcquisitionStop");
}
