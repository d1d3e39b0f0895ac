#pragma once
#include <cstdint>

#include "gencp/BoardWrapper.h"

namespace vexo::genicam {

// How the applet drives a board's Camera Link ports.
enum class CameraPortConfiguration : uint32_t { kBase = 2, kMedium = 3, kFull = 4, kUndetermined = 5 };

// Asks the applet of the board, by the board type's group: boards of the
// first group through "AACamPortConfig" (0 base, 1 medium, 2 full, anything
// else base; missing or unreadable: gencp_error "Cannot detect Applet
// configuration."), boards of the second through which mode register the
// applet has (none: undetermined). Other boards: gencp_error "Cannot
// interpret board type.".
CameraPortConfiguration ReadCameraPortConfiguration(const BoardWrapper &board);

}  // namespace vexo::genicam
