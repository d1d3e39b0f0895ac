#pragma once
#include <cstdint>

namespace vexo::genicam {

// The GenCP controllers answer a camera's GenCP status positive (0x8003);
// outside the controller it is the negated code of the error table (-32771),
// which has a description and reads as a failure to every caller.
constexpr int32_t ExportedStatus(int32_t controllerStatus) {
    return controllerStatus > 0 ? -controllerStatus : controllerStatus;
}

}  // namespace vexo::genicam
