#pragma once
#include <array>
#include <chrono>
#include <deque>
#include <memory>
#include <vector>

#include "board/AppletRegisterMap.h"
#include "board/Board.h"
#include "board/ControlChannel.h"
#include "board/ErrorCounter.h"
#include "board/LinkTiming.h"
#include "camera/CxpCamera.h"

namespace vexo::sim {

// A CoaXPress frame grabber with its applet and the cameras on its ports.
//
// Physical ports carry the transceivers (control core reset, bit rates, error
// counters, status, power); applet ports carry the control channels. The
// discovery select value routes applet port p to the physical port in its low
// entry p.
//
// Time is the board's timing figures (LinkTiming): a link locks some time
// after its settings change, commands and answers take their wire time,
// transceivers are busy for a while after programming. Nothing waits for it:
// every timed state is worked out from the clock when it is read.
class CxpBoard final : public Board {
public:
    using Clock = std::chrono::steady_clock;

    CxpBoard(const BoardConfig &config, uint32_t index, std::vector<std::unique_ptr<CxpCamera>> cameras);

    int32_t ReadRegister(uint32_t address, uint64_t &value) override;
    int32_t WriteRegister(uint32_t address, uint64_t value) override;
    uint32_t FindAppletRegister(std::string_view name) const override { return registers_.Find(name); }

    int32_t Plug(uint32_t port, bool plugged) override;
    int32_t InjectFault(uint32_t port, const CameraFault &fault) override;
    int32_t SetLinkNoise(uint32_t port, uint32_t errorsPerMs) override;
    int32_t ReadTraffic(uint32_t port, TrafficCounters &traffic) const override;

private:
    struct PhysicalPort {
        explicit PhysicalPort(Clock::time_point now) : errors(now) {}
        uint64_t reset = 0;
        uint32_t downlinkRate = 3125;  // Mbit/s the receiver is programmed for
        uint64_t downlinkSetting = 3125;  // last value written to the rate register of the interface
        uint64_t uplinkSetting = 0;       // 1: high (10000 and 12500)
        uint64_t drpAddress = 0;
        uint64_t led = 0;
        bool plugged = false;
        CxpCamera *camera = nullptr;
        uint32_t link = 0;
        ErrorCounter errors;
        uint32_t noisePerMs = 0;
        CameraFault fault;
        TrafficCounters traffic;
        Clock::time_point lockFrom;      // a link that is up locks from here on
        Clock::time_point readyFrom;     // the transceiver finishes its programming
        Clock::time_point uplinkFreeAt;  // the last command sent is on the wire until then
    };

    // An acknowledgment the camera sends later (delayed or after a wait).
    struct PendingAnswer {
        uint32_t appletPort;
        uint32_t physicalPort;
        Clock::time_point due;
        Clock::duration pace;
        std::vector<uint32_t> words;
    };

    // Everything a lock needs but the time to acquire it: cable, running
    // camera, downlink out of reset and at the camera's rate.
    bool LinkUp(const PhysicalPort &port) const;
    bool Locked(const PhysicalPort &port, Clock::time_point now) const;
    bool AnswerPathOpen(const PhysicalPort &port, Clock::time_point now) const;
    bool UplinkFits(const PhysicalPort &port) const;
    bool CameraPowered(const CxpCamera &camera) const;
    void Relock(PhysicalPort &port, Clock::time_point now);
    void RelockCamera(const CxpCamera &camera, Clock::time_point now);
    void AdvanceErrors(PhysicalPort &port, Clock::time_point now);
    void AdvanceErrorCounters(Clock::time_point now);
    void UpdateCameraPower(Clock::time_point now);

    uint64_t ReadPortRegister(AppletRegister id, uint32_t port, Clock::time_point now);
    uint64_t ReadErrorCount(uint32_t port, Clock::time_point now);
    uint64_t ReadPowerRegister(AppletRegister id, uint32_t port) const;
    uint64_t ReadAnswerWord(uint32_t appletPort);
    Clock::time_point Now();
    uint64_t LockedMask(Clock::time_point now) const;
    uint64_t ReadyMask(Clock::time_point now) const;
    void WritePortRegister(AppletRegister id, uint32_t port, uint64_t value, Clock::time_point now);
    void WriteCommandWord(uint32_t appletPort, uint64_t value);
    void WriteControlCoreReset(uint32_t port, uint64_t value, Clock::time_point now);
    void ProgramDownlink(uint32_t port, uint32_t mbps, uint64_t setting, Clock::time_point now);

    void SendFrame(uint32_t appletPort, Clock::time_point now);
    void Queue(uint32_t appletPort, uint32_t physicalPort, const AckPacket &packet, Clock::time_point at,
               Clock::duration pace, bool late, bool pathOpen);
    void DeliverDueAnswers(Clock::time_point now);

    uint32_t PortCount() const { return Config().model->portCount; }
    uint32_t PortMask() const { return (1u << PortCount()) - 1; }

    LinkTiming timing_;
    AppletRegisterMap registers_;
    uint32_t interfaceType_;
    std::vector<std::unique_ptr<CxpCamera>> cameras_;
    std::vector<PhysicalPort> ports_;
    std::array<ControlChannel, kMaxPorts> channels_{};
    uint64_t discoverySelect_;
    uint64_t powerMask_;
    uint64_t packetSent_ = 0;
    uint64_t appletMasterIds_ = 0;
    uint64_t appletExtensionIds_ = 0;
    std::deque<PendingAnswer> pending_;
    std::array<uint32_t, kMaxPorts> pendingCount_{};
    // Per applet port: the last answer queued is on the wire until then.
    std::array<Clock::time_point, kMaxPorts> answersFreeAt_{};
    Clock::time_point lastNow_;  // the clock as last read
};

}  // namespace vexo::sim
