#pragma once
#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "camera/CameraFault.h"
#include "camera/CameraMemory.h"
#include "camera/CxpCameraState.h"
#include "camera/ControlPacket.h"
#include "camera/FeatureRegisters.h"
#include "camera/TrafficCounters.h"
#include "description/DescriptionImage.h"
#include "protocol/CxpBootstrap.h"
#include "topology/Topology.h"

namespace vexo::sim {

// A CoaXPress camera: bootstrap registers, connection state, feature
// registers and the description, reached through control packets on its
// links. The board decides whether packets reach it and answers get back.
// The object is this process's view: the camera's state lives in the
// simulator's shared memory (CxpCameraState), its bytes in the segment.
class CxpCamera {
public:
    using Clock = std::chrono::steady_clock;

    // The answer to one command: an optional wait or tentative acknowledgment
    // sent at once, and the final acknowledgment (if any) after a delay.
    struct Answer {
        AckPacket preliminary;
        AckPacket final;
        uint32_t finalDelayMs = 0;
    };

    // A view of a camera set up before, in this process or another.
    CxpCamera(const CameraConfig &config, CxpCameraState &state, uint8_t *segment);
    // Sets up a new camera's state at power-on: its strings, the URL and its
    // description copied into the areas the state names; scratch memory zeroed.
    static void Install(const CameraConfig &config, const DescriptionImage &description, CxpCameraState &state,
                        uint8_t *segment);
    // Bytes its description (padded to whole words) and scratch memory take in the segment.
    static uint64_t AreaBytes(const CameraConfig &config, const DescriptionImage &description);

    const CameraConfig &Config() const { return config_; }
    uint32_t MasterPort() const { return config_.links.front(); }
    // The link index (0: master connection) the camera has on a physical port.
    std::optional<uint32_t> LinkOn(uint32_t physicalPort) const;

    bool Running() const { return state_.running; }
    // The supply comes or goes; a camera that stops forgets its connection and
    // comes back at its discovery speed.
    void SetRunning(bool running);
    // Bit rate every link currently transmits at.
    uint32_t BitRate() const { return state_.bitRate; }

    // Handles a frame that arrived on a link.
    const Answer &Receive(uint32_t link, std::span<const uint32_t> frame, CameraFault &fault,
                          TrafficCounters &counters, Clock::time_point now);

private:
    // The camera's registers as one link reaches them.
    struct LinkRegisters {
        CxpCamera &camera;
        uint32_t link;
        Clock::time_point now;
        std::optional<RegisterAccess> Access(uint32_t address) const { return camera.RegisterAccessAt(link, address); }
        uint32_t Read(uint32_t address) const { return camera.ReadRegister(link, address, now); }
        AckCode Validate(uint32_t address, uint32_t value) const { return camera.ValidateRegister(address, value); }
        void Write(uint32_t address, uint32_t value) const { camera.WriteRegister(address, value, now); }
    };

    void ResetConnection();
    void PowerOnState();
    static void FillStrings(const CameraConfig &config, CxpCameraState &state);

    void Execute(uint32_t link, const Command &command, AckPacket &ack, TrafficCounters &counters, Clock::time_point now);
    void FinishAnswer(FaultKind fault, uint32_t faultValue, std::optional<uint32_t> tagWord);
    AckCode ReadBytes(uint32_t link, uint32_t address, uint32_t size, uint8_t *out, Clock::time_point now);
    AckCode WriteBytes(uint32_t link, uint32_t address, const uint8_t *data, uint32_t size, Clock::time_point now);

    std::optional<RegisterAccess> RegisterAccessAt(uint32_t link, uint32_t address) const;
    uint32_t ReadRegister(uint32_t link, uint32_t address, Clock::time_point now) const;
    AckCode ValidateRegister(uint32_t address, uint32_t value) const;
    void WriteRegister(uint32_t address, uint32_t value, Clock::time_point now);
    // The packet's markers, header and CRC take 24 bytes, and a tag 4 more.
    uint32_t MaxDataBytes(bool tagged) const { return config_.controlPacketSize - (tagged ? 28 : 24); }

    CameraConfig config_;
    CxpCameraState &state_;
    std::array<MemoryRegion, 5> regions_{};

    Answer answer_;
    std::array<uint8_t, kMaxControlPacketBytes> scratch_{};
};

}  // namespace vexo::sim
