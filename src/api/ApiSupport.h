#pragma once
// Helpers shared by the exported functions: handle checks and the context
// items of their records.
#include <string>

#include "api/CallFrame.h"
#include "api/LibraryLogger.h"
#include "model/NOXBoardInterface.h"
#include "model/NOXCameraInterface.h"
#include "nox_genicam.h"

namespace vexo::genicam {

// The board's session items followed by the handle item. A handle that names
// no live board shows its address only (a null one "(nil)"), and is not followed.
std::string BoardItem(NoxBoardHandle *handle);
std::string CameraItem(NoxCameraHandle *handle);

// The context of a call about one camera, and the parameter text of one about a feature.
ContextFunction CameraContext(NoxCameraHandle *handle);
ParameterFunction FeatureText(const char *name);

// Logs the message as the call's error record and returns the status through the frame.
int32_t Refuse(CallFrameResult &frame, int32_t status, const std::string &message);

// A null or empty text argument.
inline bool IsEmpty(const char *text) { return text == nullptr || *text == '\0'; }

// The object behind a handle the application hands in, held for as long as
// the returned pin lives (keep it for the whole call): a concurrent free or
// scan cannot delete it meanwhile. Empty for a null handle and for one that
// names no live object, which every exported function answers alike; a board
// being freed, and its cameras, are no live objects any more.
inline BoardPin Board(NoxBoardHandle *handle) { return LiveBoard(handle); }
inline CameraPin Camera(NoxCameraHandle *handle) { return LiveCamera(handle); }

}  // namespace vexo::genicam
