#pragma once
#include <chrono>
#include <cstdint>
#include <span>

#include "camera/TrafficCounters.h"

namespace vexo::sim {

// Whatever answers GenCP commands, however they travel: the bytes of one
// command in, the bytes of its acknowledge out. Both are the command
// descriptor (flags or status, command or acknowledge id, SCD length, request
// id: 2 bytes each) followed by the SCD, every multi-byte field most
// significant byte first. The carrier frames them for its wire.
class GenCpResponder {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr uint32_t kMaxAcknowledgeBytes = 8 + 496;  // a descriptor and the largest read

    struct Command {
        std::span<const uint8_t> bytes;
        uint32_t link;  // the camera link it came on: 0 master, k extension k
        Clock::time_point now;
    };

    virtual ~GenCpResponder() = default;
    // Writes the acknowledge and returns its length (0: none), counting what
    // the camera read and wrote.
    virtual uint32_t Respond(const Command &command, std::span<uint8_t, kMaxAcknowledgeBytes> acknowledge,
                             TrafficCounters &counters) = 0;
};

}  // namespace vexo::sim
