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
#include "camera/CxpCamera.h"

namespace vexo::sim {

// A CoaXPress frame grabber with its applet and the cameras on its ports.
//
// Physical ports carry the transceivers (control core reset, bit rates, error
// counters, power); applet ports carry the control channels. The discovery
// select value routes applet port p to the physical port in its low entry p.
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
    };

    // An acknowledgment the camera sends later (delayed or after a wait).
    struct PendingAnswer {
        uint32_t appletPort;
        uint32_t physicalPort;
        Clock::time_point due;
        std::vector<uint32_t> words;
    };

    bool Locked(const PhysicalPort &port) const;
    bool AnswerPathOpen(const PhysicalPort &port) const;
    bool UplinkFits(const PhysicalPort &port) const;
    bool CameraPowered(const CxpCamera &camera) const;
    void AdvanceErrorCounters(Clock::time_point now);
    void UpdateCameraPower();

    uint64_t ReadPortRegister(AppletRegister id, uint32_t port);
    uint64_t ReadErrorCount(uint32_t port);
    uint64_t ReadPowerRegister(AppletRegister id, uint32_t port) const;
    uint64_t ReadAnswerWord(uint32_t appletPort);
    uint64_t LockedMask(bool receiveStatusLayout) const;
    void WritePortRegister(AppletRegister id, uint32_t port, uint64_t value);
    void ProgramDownlink(uint32_t port, uint32_t mbps, uint64_t setting);

    void SendFrame(uint32_t appletPort);
    void Queue(uint32_t appletPort, uint32_t physicalPort, const AckPacket &packet, uint32_t delayMs, bool pathOpen,
               Clock::time_point now);
    void DeliverDueAnswers(Clock::time_point now);

    uint32_t PortCount() const { return Config().model->portCount; }
    uint32_t PortMask() const { return (1u << PortCount()) - 1; }

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
    std::array<Clock::time_point, kMaxPorts> lastDue_{};
};

}  // namespace vexo::sim
