#pragma once
#include <chrono>
#include <cstdint>
#include <ostream>
#include <string_view>

#include "camera/CameraFault.h"
#include "camera/TrafficCounters.h"
#include "protocol/CameraLink.h"
#include "topology/Topology.h"

namespace vexo::sim {

inline constexpr int32_t kFailed = -1;
inline constexpr int32_t kInvalidSerialPort = protocol::cl::kSerialPortInvalid;

// One look at a queue that a call may wait on, taken under the board's lock:
// what it did (a count, or -1), and when another look could do more. The
// caller waits between looks without the lock.
struct QueueStep {
    int32_t result = -1;
    std::chrono::steady_clock::time_point retryAt{};
};

// One simulated board as the board libraries see it. Each technology has its
// own model; what a model does not have fails (registers, faults) or is absent
// (serial ports). Calls are serialised by the board's lock, which every
// process of the simulator instance shares.
class Board {
public:
    Board(const BoardConfig &config, uint32_t index) : config_(config), index_(index) {}
    virtual ~Board() = default;
    Board(const Board &) = delete;
    Board &operator=(const Board &) = delete;

    const BoardConfig &Config() const { return config_; }
    uint32_t Index() const { return index_; }
    // "board/type", "board/serial", "firmware/major", "firmware/minor"; -1 otherwise.
    int64_t QueryInfo(std::string_view key) const;

    // Applet registers: 0 on success, -1 for an address the applet lacks or an
    // access the register does not allow.
    virtual int32_t ReadRegister(uint32_t address, uint64_t &value) = 0;
    virtual int32_t WriteRegister(uint32_t address, uint64_t value) = 0;
    // The same read without the board's lock, for registers whose reading
    // changes nothing and whose value is one word (written whole): false for
    // every other register, which the caller then reads under the lock.
    virtual bool ReadRegisterUnlocked(uint32_t, uint64_t &) const { return false; }
    // The board address of an applet register, 0 when the applet lacks it.
    virtual uint32_t FindAppletRegister(std::string_view name) const = 0;

    // Camera Link serial channel; a board without serial ports has none to open.
    virtual uint32_t QueryCameraStatus(uint32_t) { return 0; }
    virtual int32_t OpenSerialPort(uint32_t, uint32_t, uint32_t *, uint32_t *) { return kInvalidSerialPort; }
    virtual int32_t SetSerialBaudRate(uint32_t, uint32_t) { return kInvalidSerialPort; }
    virtual int32_t CountQueueWords(uint32_t) { return kFailed; }
    // Copies the characters there are, 4 bytes each, at most bytes / 4 of them.
    virtual QueueStep ReadQueueStep(uint32_t, void *, uint32_t) { return {}; }
    // Takes what fits of the bytes.
    virtual QueueStep WriteQueueStep(uint32_t, const void *, uint32_t) { return {}; }
    virtual void FlushQueue(uint32_t) {}
    virtual void ReleaseQueue(uint32_t) {}
    // The serial port is held by another program (true) or free.
    virtual int32_t ClaimSerialPort(uint32_t, bool) { return kFailed; }

    // Test controls of the camera ports: 0, or -1 for a port the board lacks.
    virtual int32_t Plug(uint32_t, bool) { return kFailed; }
    virtual int32_t InjectFault(uint32_t, const CameraFault &) { return kFailed; }
    // A fault named as `vexosim_fault` names it, for the next `count` events;
    // -1 for a kind the board's technology does not have.
    virtual int32_t InjectNamedFault(uint32_t port, std::string_view kind, uint32_t count);
    virtual int32_t SetLinkNoise(uint32_t, uint32_t) { return kFailed; }
    virtual int32_t ReadTraffic(uint32_t, TrafficCounters &) const { return kFailed; }

    // A process died inside a call on this board, holding its lock: whatever
    // it left half done is made whole again.
    virtual void RepairTransientState() {}
    // What `vexosim status` shows of the board, read without disturbing it.
    virtual void Describe(std::ostream &out);

private:
    BoardConfig config_;
    uint32_t index_;
};

// A board whose technology the simulator has no model for: it reports its
// identity, but its applet has no registers and it has no camera ports.
class PlainBoard final : public Board {
public:
    using Board::Board;
    int32_t ReadRegister(uint32_t, uint64_t &) override { return kFailed; }
    int32_t WriteRegister(uint32_t, uint64_t) override { return kFailed; }
    uint32_t FindAppletRegister(std::string_view) const override { return 0; }
};

}  // namespace vexo::sim
