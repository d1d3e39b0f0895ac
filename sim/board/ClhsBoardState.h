#pragma once
#include <chrono>
#include <cstdint>

#include "board/ClhsRegisterMap.h"
#include "board/ErrorCounter.h"
#include "board/MessageChannel.h"
#include "board/Mdio.h"
#include "camera/ClhsCameraState.h"
#include "camera/ClhsFault.h"
#include "camera/TrafficCounters.h"

namespace vexo::sim {

// One physical port of a Camera Link HS board: cable, transceiver, coding
// sublayer, revision messages, X-Core, counters.
struct ClhsPortState {
    using Clock = std::chrono::steady_clock;

    bool plugged = false;
    uint64_t gtxSetup = 0;
    uint64_t pcsSetup = 0;    // non-zero holds the coding sublayer
    uint64_t txRevision = 1;  // the board sends revision messages
    uint64_t xcoreReset = 0;  // non-zero holds the message channel
    uint64_t led = 0;
    // Messages: received while aligned, queued, lost, sent.
    uint64_t pcsPackets = 0;
    uint64_t receivedPackages = 0;
    uint64_t lostPackages = 0;
    uint64_t sentPackages = 0;
    ErrorCounter errors;
    uint32_t noisePerMs = 0;
    ClhsFault fault;
    TrafficCounters traffic;
    Clock::time_point lockBase{};          // the last transceiver release or plug-in
    Clock::time_point resetReleasedAt{};   // the last transceiver release
};

// The state of a Camera Link HS board, as plain data in the simulator's
// shared memory. It also holds the cameras whose master link is on it.
struct ClhsBoardState {
    ClhsPortState ports[kClhsPorts];
    MessageChannel channels[kClhsPorts];  // per applet port
    MdioBus mdio[kClhsPorts];             // per bus
    ClhsCameraState cameras[kClhsPorts];
    uint64_t transceiverReset = 0;
    uint64_t networkReset = 0;
    uint64_t discoverySelect = 0;
    uint64_t grabberStatus = 0;
};

}  // namespace vexo::sim
