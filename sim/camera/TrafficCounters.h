#pragma once
#include <cstdint>

namespace vexo::sim {

// What crossed one physical port's control channel, seen from the camera.
struct TrafficCounters {
    uint64_t commandsReceived = 0;  // frames with a valid shape and CRC
    uint64_t crcErrors = 0;
    uint64_t framingErrors = 0;
    uint64_t acksSent = 0;
    uint64_t bytesRead = 0;     // data bytes the camera returned to reads
    uint64_t bytesWritten = 0;  // data bytes the camera accepted from writes
};

}  // namespace vexo::sim
