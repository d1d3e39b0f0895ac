#pragma once
#include <chrono>
#include <cstdint>

#include "camera/GenCpCameraState.h"

namespace vexo::sim {

// The state of a Camera Link HS camera, as plain data in the simulator's
// shared memory (in the slot of the board its master link is on).
struct ClhsCameraState {
    using Clock = std::chrono::steady_clock;

    GenCpCameraState gencp;  // what it answers as a GenCP camera

    uint32_t deviceId = 0;
    uint32_t selectedConfiguration = 0;  // written by the host, used at the next hotplug
    uint32_t configuration = 0;          // the one the links run
    uint32_t previousConfiguration = 0;  // the one they ran before the last hotplug
    uint32_t fecEnable = 0;
    // Every link is down from the first to the second, after a hotplug request.
    Clock::time_point linksDownFrom{};
    Clock::time_point linksBackAt{};
};

}  // namespace vexo::sim
