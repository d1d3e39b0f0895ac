#pragma once
// Helpers shared by the exported functions: handle conversion and the
// context items of their records.
#include <string>

#include "api/CallFrame.h"
#include "api/LibraryLogger.h"
#include "model/NOXBoardInterface.h"
#include "model/NOXCameraInterface.h"
#include "nox_genicam.h"

namespace vexo::genicam {

// The board's session items followed by the board's handle item; empty for a null board.
std::string BoardItem(NOXBoardInterface *board);
std::string CameraItem(NOXCameraInterface *camera);

// A null or empty text argument.
inline bool IsEmpty(const char *text) { return text == nullptr || *text == '\0'; }

inline NOXBoardInterface *Board(NoxBoardHandle *handle) { return FromHandle(handle); }
inline NOXCameraInterface *Camera(NoxCameraHandle *handle) { return FromHandle(handle); }

}  // namespace vexo::genicam
