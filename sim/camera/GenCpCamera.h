#pragma once
#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>

#include "camera/ByteLine.h"
#include "camera/CameraFault.h"
#include "camera/CameraMemory.h"
#include "camera/GenCpCameraState.h"
#include "camera/GenCpPacket.h"
#include "camera/TrafficCounters.h"
#include "description/DescriptionImage.h"
#include "topology/Topology.h"

namespace vexo::sim {

// Registers a link technology adds to a GenCP camera's memory, beginning at
// the camera's technology-specific bootstrap address.
class TechnologyRegisters {
public:
    virtual ~TechnologyRegisters() = default;
    virtual uint32_t Bootstrap() const = 0;
    virtual std::optional<RegisterAccess> Access(uint32_t address) const = 0;
    virtual uint32_t Read(uint32_t address) const = 0;
    virtual AckCode Validate(uint32_t address, uint32_t value) const = 0;
    virtual void Write(uint32_t address, uint32_t value) = 0;
};

// A camera controlled with GenCP: bytes in, bytes out. It takes commands
// apart from the bytes that reach it (both checksums checked), executes
// memory reads and writes on its bootstrap registers, technology registers,
// manifest table, description and feature registers, and answers on the line
// it is given, at its own rate. Whatever carries the bytes (a Camera Link
// serial port) decides whether they reach it; a carrier with its own framing
// (a Camera Link HS message channel) hands it whole commands (Answer).
//
// Without technology registers it is a Camera Link camera: its technology
// registers are the baud masks of its serial line at kGenCpTechnologyBootstrap.
//
// The object is this process's view: the camera's state lives in the
// simulator's shared memory (GenCpCameraState), its description in the segment.
class GenCpCamera {
public:
    using Clock = std::chrono::steady_clock;

    // A view of a camera set up before, in this process or another.
    GenCpCamera(const CameraConfig &config, GenCpCameraState &state, uint8_t *segment,
                TechnologyRegisters *technology = nullptr);
    GenCpCamera(const GenCpCamera &) = delete;
    GenCpCamera &operator=(const GenCpCamera &) = delete;
    // Sets up a new camera's state at power-on: strings, manifest table, and
    // its description copied into the area the state names.
    static void Install(const CameraConfig &config, const DescriptionImage &description, GenCpCameraState &state,
                        uint8_t *segment);

    const CameraConfig &Config() const { return config_; }
    // The line rate the camera listens and answers at.
    uint32_t Baud() const { return state_.baud; }

    // Bytes that reached the camera, byte i at first + i * pace. Complete
    // commands are executed and answered on `line`.
    void Receive(std::span<const uint8_t> bytes, Clock::time_point first, Clock::duration pace, CameraFault &fault,
                 TrafficCounters &counters, ByteLine &line);
    // The answer to one whole command: for a resend of the memory command
    // executed last, its answer again; otherwise the command executed.
    GenCpPacket Answer(const GenCpHeader &header, std::span<const uint8_t> scd, TrafficCounters &counters,
                       Clock::time_point now);
    // A process died while the camera took bytes apart: the partial command is dropped.
    void Repair();

private:
    // The camera's 32-bit registers, for ReadMemory and WriteMemory.
    struct Registers {
        GenCpCamera &camera;
        Clock::time_point now;
        std::optional<RegisterAccess> Access(uint32_t address) const;
        uint32_t Read(uint32_t address) const;
        AckCode Validate(uint32_t address, uint32_t value) const;
        void Write(uint32_t address, uint32_t value) const;
        bool OfTechnology(uint32_t address) const;
    };
    struct Context {
        CameraFault &fault;
        TrafficCounters &counters;
        ByteLine &line;
    };

    void TakeApart(Clock::time_point arrival, Context &context);
    void DropInput(uint32_t bytes);
    void Handle(std::span<const uint8_t> command, Clock::time_point arrival, Context &context);
    GenCpPacket Execute(const GenCpHeader &header, std::span<const uint8_t> scd, TrafficCounters &counters,
                        Clock::time_point now);
    GenCpPacket ExecuteRead(const GenCpHeader &header, std::span<const uint8_t> scd, TrafficCounters &counters,
                            Clock::time_point now);
    GenCpPacket ExecuteWrite(const GenCpHeader &header, std::span<const uint8_t> scd, TrafficCounters &counters,
                             Clock::time_point now);
    void Deliver(const GenCpPacket &answer, std::span<const uint8_t> command, const CameraFault &fault, FaultKind kind,
                 Clock::time_point at, Context &context);
    uint8_t NoiseByte();
    uint32_t SupportedBaudMask() const;
    uint32_t TechnologyBootstrap() const;

    CameraConfig config_;
    GenCpCameraState &state_;
    TechnologyRegisters *technology_;
    std::array<MemoryRegion, 3> regions_{};
    uint32_t switchToBaud_ = 0;  // a baud switch the command being handled asked for
    std::array<uint8_t, protocol::gencp::kMaxReadBytes> scratch_{};
};

}  // namespace vexo::sim
