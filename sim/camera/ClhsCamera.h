#pragma once
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>

#include "camera/ClhsFault.h"
#include "camera/ClhsCameraState.h"
#include "camera/GenCpResponder.h"
#include "camera/TrafficCounters.h"
#include "protocol/GenCp.h"
#include "topology/Topology.h"

namespace vexo::sim {

// A Camera Link HS camera: its links (each up or down by the camera's own
// doing: configurations and hotplug requests) and the GenCP commands that
// reach it over the boards' message channels. It answers GenCP memory reads
// and writes of its own registers: the GenCP version at 0 and, from 0x10000,
// its device id, link id, configurations, hotplug request, FEC and link
// speed. The object is this process's view: the camera's state lives in the
// simulator's shared memory (ClhsCameraState).
class ClhsCamera final : public GenCpResponder {
public:
    struct Acknowledge {
        uint8_t bytes[kMaxAcknowledgeBytes];
        uint32_t size = 0;
        std::span<const uint8_t> Bytes() const { return {bytes, size}; }
    };
    // The answer to one command: an optional pending acknowledge sent at
    // once, the final acknowledge (if any) after a delay, and whether the
    // command asked for a hotplug.
    struct Answer {
        Acknowledge preliminary;
        Acknowledge final;
        Clock::duration finalDelay{};
        bool hotplug = false;
    };

    // A view of a camera whose state (power-on state: value-initialised) is set up in the segment.
    ClhsCamera(const CameraConfig &config, ClhsCameraState &state) : config_(config), state_(state) {}

    const CameraConfig &Config() const { return config_; }
    uint32_t LinkCount() const { return uint32_t(config_.links.size()); }
    // Whether the camera runs link `link` now (a plugged cable aside).
    bool LinkUp(uint32_t link, Clock::time_point now) const;
    // When the links came back after the last hotplug.
    Clock::time_point LinksBackAt() const { return state_.linksBackAt; }
    uint32_t DeviceId() const { return state_.deviceId; }
    // Mbit/s of the configuration its links run.
    uint32_t LinkSpeed() const { return config_.configurations[state_.configuration].mbps; }

    // Handles one GenCP command that came on a link; `fault` is its port's.
    const Answer &Receive(const Command &command, ClhsFault &fault, TrafficCounters &counters);
    // Carries out the hotplug the last command asked for: every link goes
    // down at `from`, for the reconnect time.
    void StartHotplug(Clock::time_point from);

    uint32_t Respond(const Command &command, std::span<uint8_t, kMaxAcknowledgeBytes> acknowledge,
                     TrafficCounters &counters) override;

private:
    using Status = protocol::gencp::Status;
    enum class Access { ReadOnly, ReadWrite };

    uint32_t Links(uint32_t configuration) const { return config_.configurations[configuration].links; }
    std::optional<Access> AccessAt(uint32_t address) const;
    uint32_t ReadRegister(uint32_t address, uint32_t link) const;
    Status ValidateRegister(uint32_t address, uint32_t value) const;
    void WriteRegister(uint32_t address, uint32_t value);
    Status ReadMemory(uint64_t address, uint32_t size, uint32_t link, uint8_t *out) const;
    Status WriteMemory(uint64_t address, std::span<const uint8_t> data);

    CameraConfig config_;
    ClhsCameraState &state_;
    Answer answer_;
    bool hotplugRequested_ = false;
};

}  // namespace vexo::sim
