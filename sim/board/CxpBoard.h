#pragma once
#include <array>
#include <chrono>
#include <memory>
#include <vector>

#include "board/AppletRegisterMap.h"
#include "board/Board.h"
#include "board/CxpBoardState.h"
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
//
// The object is this process's view: the board's state lives in the
// simulator's shared memory (CxpBoardState), guarded by the board's lock.
class CxpBoard final : public Board {
public:
    using Clock = std::chrono::steady_clock;

    // A view of a board set up before, in this process or another.
    CxpBoard(const BoardConfig &config, uint32_t index, CxpBoardState &state, uint8_t *segment);
    // Sets up a new board's state at power-on, its cameras' included (their
    // byte areas already assigned in the state).
    static void Install(const BoardConfig &config, std::span<const DescriptionImage *const> descriptions,
                        CxpBoardState &state, uint8_t *segment);

    int32_t ReadRegister(uint32_t address, uint64_t &value) override;
    int32_t WriteRegister(uint32_t address, uint64_t value) override;
    bool ReadRegisterUnlocked(uint32_t address, uint64_t &value) const override;
    uint32_t FindAppletRegister(std::string_view name) const override { return registers_.Find(name); }

    int32_t Plug(uint32_t port, bool plugged) override;
    int32_t InjectFault(uint32_t port, const CameraFault &fault) override;
    int32_t SetLinkNoise(uint32_t port, uint32_t errorsPerMs) override;
    int32_t ReadTraffic(uint32_t port, TrafficCounters &traffic) const override;
    void RepairTransientState() override;
    void Describe(std::ostream &out) override;

private:
    using PhysicalPort = CxpPortState;

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

    uint64_t ReadPlainWord(AppletRegister id, uint32_t port) const;
    uint64_t ReadTimedRegister(AppletRegister id, uint32_t port, Clock::time_point now);
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
    CxpCamera *CameraOn(const PhysicalPort &port) const {
        return port.camera < cameras_.size() ? cameras_[port.camera].get() : nullptr;
    }
    std::span<PhysicalPort> Ports() { return {state_.ports, PortCount()}; }
    void PowerOnState();

    LinkTiming timing_;
    AppletRegisterMap registers_;
    uint32_t interfaceType_;
    CxpBoardState &state_;
    std::vector<std::unique_ptr<CxpCamera>> cameras_;
    uint64_t appletMasterIds_ = 0;
    uint64_t appletExtensionIds_ = 0;
};

}  // namespace vexo::sim
