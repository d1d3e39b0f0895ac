#pragma once
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>

#include "camera/ClhsCameraState.h"
#include "camera/ClhsFault.h"
#include "camera/GenCpCamera.h"
#include "camera/GenCpPacket.h"
#include "camera/TrafficCounters.h"
#include "topology/Topology.h"

namespace vexo::sim {

// A Camera Link HS camera: its links (each up or down by the camera's own
// doing: configurations and hotplug requests) and the GenCP commands that
// reach it over the boards' message channels. A GenCP camera answers them:
// bootstrap registers, device strings, manifest, description, feature
// registers and resends; this camera adds its technology registers from
// 0x10000: device id, link id, configurations, hotplug request, FEC and link
// speed. The object is this process's view: the camera's state lives in the
// simulator's shared memory (ClhsCameraState), its description in the segment.
class ClhsCamera final : private TechnologyRegisters {
public:
    using Clock = std::chrono::steady_clock;

    // One GenCP command as a message carries it: the command descriptor and
    // its SCD, most significant byte first.
    struct Command {
        std::span<const uint8_t> bytes;
        uint32_t link;  // the camera link it came on: 0 master, k extension k
        Clock::time_point now;
    };
    // The answer to one command: an optional pending acknowledge sent at
    // once, the final acknowledge (if any) after a delay, and whether the
    // command asked for a hotplug. Empty packets are not sent.
    struct Answer {
        GenCpPacket preliminary;
        GenCpPacket final;
        Clock::duration finalDelay{};
        bool hotplug = false;
    };

    // A view of a camera whose state is set up in the segment (Install).
    ClhsCamera(const CameraConfig &config, ClhsCameraState &state, uint8_t *segment)
        : config_(config), state_(state), gencp_(config, state.gencp, segment, this) {}
    // Sets up a new camera's state at power-on; its description goes to the
    // area state.gencp.description names.
    static void Install(const CameraConfig &config, const DescriptionImage &description, ClhsCameraState &state,
                        uint8_t *segment) {
        GenCpCamera::Install(config, description, state.gencp, segment);
    }

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

private:
    uint32_t Links(uint32_t configuration) const { return config_.configurations[configuration].links; }
    uint32_t Bootstrap() const override;
    std::optional<RegisterAccess> Access(uint32_t address) const override;
    uint32_t Read(uint32_t address) const override;
    AckCode Validate(uint32_t address, uint32_t value) const override;
    void Write(uint32_t address, uint32_t value) override;

    CameraConfig config_;
    ClhsCameraState &state_;
    GenCpCamera gencp_;
    Answer answer_;
    uint32_t commandLink_ = 0;  // the link of the command being executed
    bool hotplugRequested_ = false;
};

}  // namespace vexo::sim
