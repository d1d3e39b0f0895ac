#pragma once
#include <chrono>
#include <cstdint>

#include "board/AppletRegisterMap.h"
#include "board/ControlChannel.h"
#include "board/ErrorCounter.h"
#include "camera/CameraFault.h"
#include "camera/CxpCameraState.h"
#include "camera/TrafficCounters.h"

namespace vexo::sim {

// Every camera has a port of its own, so a board has at most one per port.
inline constexpr uint32_t kMaxCamerasPerBoard = kMaxPorts;
// Late answers (delayed, or after a wait) a board keeps at once; one more is lost.
inline constexpr uint32_t kMaxPendingAnswers = 16;
inline constexpr uint8_t kNoCamera = 0xFF;

// The state of a CoaXPress board, as plain data in the simulator's shared
// memory: no pointers (cameras are named by index), fixed capacities.
struct CxpPortState {
    using Clock = std::chrono::steady_clock;

    uint64_t reset = 0;
    uint32_t downlinkRate = 3125;     // Mbit/s the receiver is programmed for
    uint64_t downlinkSetting = 3125;  // last value written to the rate register of the interface
    uint64_t uplinkSetting = 0;       // 1: high (10000 and 12500)
    uint64_t drpAddress = 0;
    uint64_t led = 0;
    bool plugged = false;
    uint8_t camera = kNoCamera;  // index of the camera with a link here
    uint32_t link = 0;
    ErrorCounter errors;
    uint32_t noisePerMs = 0;
    CameraFault fault;
    TrafficCounters traffic;
    Clock::time_point lockFrom;      // a link that is up locks from here on
    Clock::time_point readyFrom;     // the transceiver finishes its programming
    Clock::time_point uplinkFreeAt;  // the last command sent is on the wire until then
};

// An acknowledgment the camera sends later (delayed or after a wait).
struct PendingAnswer {
    using Clock = std::chrono::steady_clock;

    uint32_t appletPort = 0;
    uint32_t physicalPort = 0;
    Clock::time_point due;
    Clock::duration pace{};
    uint32_t wordCount = 0;
    uint32_t words[AckPacket::kCapacity];
};

struct CxpBoardState {
    using Clock = std::chrono::steady_clock;

    CxpPortState ports[kMaxPorts];
    ControlChannel channels[kMaxPorts];
    CxpCameraState cameras[kMaxCamerasPerBoard];
    uint64_t discoverySelect = 0;
    uint64_t powerMask = 0;
    uint64_t packetSent = 0;
    // Late answers, oldest first, in a ring.
    PendingAnswer pending[kMaxPendingAnswers];
    uint32_t pendingHead = 0;
    uint32_t pendingCount = 0;
    uint32_t pendingPerPort[kMaxPorts]{};
    // Per applet port: the last answer queued is on the wire until then.
    Clock::time_point answersFreeAt[kMaxPorts]{};
    Clock::time_point lastNow;  // the clock as last read
};

}  // namespace vexo::sim
