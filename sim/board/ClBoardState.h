#pragma once
#include <chrono>
#include <cstdint>

#include "camera/CameraFault.h"
#include "camera/GenCpCameraState.h"
#include "camera/TrafficCounters.h"

namespace vexo::sim {

// Camera Link boards have two camera connectors and a serial port on each.
inline constexpr uint32_t kClConnectors = 2;
inline constexpr uint32_t kSerialQueueBytes = 4096;

// Characters on their way to the host, oldest first in a ring; each is
// readable from its due time on (the end of its time on the line).
struct SerialReceiveQueue {
    using Clock = std::chrono::steady_clock;

    uint8_t chars[kSerialQueueBytes]{};
    Clock::time_point due[kSerialQueueBytes]{};
    uint32_t head = 0;
    uint32_t count = 0;
};

// One serial port, as plain data in the simulator's shared memory.
struct SerialPortState {
    using Clock = std::chrono::steady_clock;

    bool open = false;
    int32_t owner = 0;     // the process that opened it
    bool claimed = false;  // held by another program (vexosim_serial_claim)
    uint32_t receiveQueue = 0;
    uint32_t transmitQueue = 0;  // 0: released
    uint32_t hostBaud = 9600;
    Clock::time_point transmitFreeAt;  // host to camera: the last byte written is on the line until then
    Clock::time_point receiveFreeAt;   // camera to host
    SerialReceiveQueue received;
};

struct ClConnectorState {
    bool plugged = false;
    CameraFault fault;
    TrafficCounters traffic;
};

// The state of a Camera Link board; cameras are named by index (at most one
// serial camera per connector).
struct ClBoardState {
    ClConnectorState connectors[kClConnectors];
    SerialPortState ports[kClConnectors];
    GenCpCameraState cameras[kClConnectors];
    uint32_t nextQueueId = 1;
};

}  // namespace vexo::sim
