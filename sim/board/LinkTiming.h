#pragma once
#include <chrono>
#include <cstdint>

#include "protocol/CameraLink.h"
#include "topology/Topology.h"

namespace vexo::sim {

// Hardware time on a board's links, from its timing figures. CoaXPress links
// are 8b/10b coded both ways: 10 bits on the wire per byte, 40 per word. A
// Camera Link serial line sends 10 bits per character (start, 8 data, stop).
class LinkTiming {
public:
    using Duration = std::chrono::nanoseconds;

    explicit LinkTiming(const TimingConfig &config) : config_(config) {}

    // A command of `words` words, markers included, on the uplink: 20.833 Mbit/s,
    // or 41.6 Mbit/s at the high setting.
    Duration Uplink(uint32_t words, bool high) const {
        if (!config_.wire) return Duration::zero();
        const uint64_t bitsPerMs = high ? 41600 : 20833;
        return Duration(uint64_t{words} * kBitsPerWord * 1000000 / bitsPerMs);
    }
    // One answer word on a downlink at `mbps`, rounded up: never faster than the wire.
    Duration DownlinkWord(uint32_t mbps) const {
        if (!config_.wire || mbps == 0) return Duration::zero();
        return Duration((kBitsPerWord * 1000 + mbps - 1) / mbps);
    }
    Duration TurnAround() const { return std::chrono::microseconds(config_.ackUs); }
    Duration Lock() const { return std::chrono::microseconds(config_.lockUs); }
    Duration Ready() const { return std::chrono::microseconds(config_.readyUs); }
    bool CountersSurviveReset() const { return config_.countersSurviveReset; }

    // One character on a serial line at `baud`, rounded up; 0 without line timing.
    Duration SerialCharacter(uint32_t baud) const {
        if (!config_.line || baud == 0) return Duration::zero();
        return Duration((uint64_t{protocol::cl::kBitsPerCharacter} * 1000000000 + baud - 1) / baud);
    }
    // A serial camera's turn-around is part of the line's time: without line timing it answers at once.
    Duration SerialTurnAround() const { return config_.line ? TurnAround() : Duration::zero(); }

private:
    static constexpr uint64_t kBitsPerWord = 40;

    TimingConfig config_;
};

}  // namespace vexo::sim
