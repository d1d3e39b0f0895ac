#pragma once
#include <array>
#include <chrono>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "board/Board.h"
#include "board/ClBoardState.h"
#include "board/LinkTiming.h"
#include "board/SerialPort.h"
#include "camera/GenCpCamera.h"

namespace vexo::sim {

// A Camera Link frame grabber: two camera connectors, a serial port on each
// (port p reaches the camera whose serial line is on connector p), and an
// applet that only tells its camera-port configuration: through the register
// "AACamPortConfig" (first group), or through which mode register it has
// (second group).
//
// Serial time is the board's timing figures: a character takes 10 bits at
// the line rate each way, and nothing waits for it; every character's time is
// worked out when it is sent, and read against the clock.
//
// The object is this process's view: the board's state lives in the
// simulator's shared memory (ClBoardState), guarded by the board's lock.
class ClBoard final : public Board {
public:
    using Clock = std::chrono::steady_clock;

    ClBoard(const BoardConfig &config, uint32_t index, ClBoardState &state, uint8_t *segment);
    // Sets up a new board's state at power-on, its cameras' included (their
    // description areas already assigned in the state).
    static void Install(const BoardConfig &config, std::span<const DescriptionImage *const> descriptions,
                        ClBoardState &state, uint8_t *segment);

    int32_t ReadRegister(uint32_t address, uint64_t &value) override;
    int32_t WriteRegister(uint32_t, uint64_t) override { return kFailed; }
    bool ReadRegisterUnlocked(uint32_t address, uint64_t &value) const override;
    uint32_t FindAppletRegister(std::string_view name) const override;

    uint32_t QueryCameraStatus(uint32_t index) override;
    int32_t OpenSerialPort(uint32_t port, uint32_t baud, uint32_t *receiveQueue, uint32_t *transmitQueue) override;
    int32_t SetSerialBaudRate(uint32_t port, uint32_t baud) override;
    int32_t CountQueueWords(uint32_t queue) override;
    QueueStep ReadQueueStep(uint32_t queue, void *buffer, uint32_t bytes) override;
    QueueStep WriteQueueStep(uint32_t queue, const void *data, uint32_t bytes) override;
    void ReleaseQueue(uint32_t queue) override;
    int32_t ClaimSerialPort(uint32_t port, bool held) override;

    int32_t Plug(uint32_t port, bool plugged) override;
    int32_t InjectFault(uint32_t port, const CameraFault &fault) override;
    int32_t ReadTraffic(uint32_t port, TrafficCounters &traffic) const override;
    void RepairTransientState() override;
    void Describe(std::ostream &out) override;

private:
    struct QueueRef {
        uint32_t port;
        bool receive;
    };

    std::optional<QueueRef> FindQueue(uint32_t queue) const;
    // The camera whose serial line is on connector p, when its cable is plugged there.
    GenCpCamera *SerialCamera(uint32_t port) const;
    bool Carries(uint32_t connector) const;  // a camera has a link on the connector
    void DeliverToCamera(uint32_t port, std::span<const uint8_t> bytes, Clock::time_point first, Clock::duration pace);
    uint32_t NextQueueId();
    std::optional<uint64_t> AppletValue(uint32_t address) const;

    LinkTiming timing_;
    ClBoardState &state_;
    std::vector<std::unique_ptr<GenCpCamera>> cameras_;
    std::array<int, kClConnectors> serialCamera_{-1, -1};  // camera index per connector
    std::vector<SerialPort> ports_;
};

}  // namespace vexo::sim
