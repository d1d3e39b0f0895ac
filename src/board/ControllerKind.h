#pragma once
#include <cstdint>

namespace vexo::genicam {

// The link technology of a board, which selects the kind of its link controller.
enum class ControllerKind : uint32_t {
    kNone = 0,
    kCameraLinkHs = 1,
    kCoaXPress = 2,
    kCameraLink = 3,
};

}  // namespace vexo::genicam
