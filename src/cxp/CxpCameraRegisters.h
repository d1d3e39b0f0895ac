#pragma once
#include <cstdint>

#include "protocol/CxpBootstrap.h"

namespace vexo::genicam::cxp {

// The camera's bootstrap registers.
namespace camera_register = protocol::cxp::bootstrap;
using protocol::cxp::kStandardMagic;

// Timeout of the controller's own camera register accesses.
inline constexpr uint32_t kCameraRegisterTimeoutMs = 200;

// Calls action(port) for every port 0 to 3 in the mask.
template <class Action>
void ForEachPort(uint32_t mask, Action &&action) {
    for (uint32_t port = 0; port < 4; ++port)
        if (mask >> port & 1) action(port);
}

}  // namespace vexo::genicam::cxp
