#pragma once
#include <array>
#include <chrono>
#include <memory>

#include "board/Board.h"
#include "board/ClhsBoardState.h"
#include "board/ClhsRegisterMap.h"
#include "board/LinkTiming.h"
#include "camera/ClhsCamera.h"

namespace vexo::sim {

// The camera link on one physical port of a Camera Link HS board, if any. A
// camera whose links are on two boards is seen by both.
struct ClhsPortCamera {
    std::shared_ptr<ClhsCamera> camera;
    uint32_t link = 0;  // 0 master, k extension k
};
using ClhsPortCameras = std::array<ClhsPortCamera, kClhsPorts>;

// A Camera Link HS frame grabber with its applet: per physical port a
// transceiver, a coding sublayer and revision messages; per applet port an
// X-Core message channel carrying GenCP to the camera on the physical port
// the discovery select value routes it to; MDIO buses to the physical layer
// chips.
//
// A port locks `lock_us` after its transceiver leaves reset, its cable is
// plugged in or its camera brings its link back; it is aligned while locked
// with its coding sublayer released, and carries messages while aligned,
// sending its own revision messages, with its X-Core out of reset. Nothing
// waits for time: every timed state is worked out from the clock when read.
//
// The object is this process's view: the board's state lives in the
// simulator's shared memory (ClhsBoardState), guarded by the board's lock
// (and, for a camera on two boards, by both boards' locks).
class ClhsBoard final : public Board {
public:
    using Clock = std::chrono::steady_clock;

    ClhsBoard(const BoardConfig &config, uint32_t index, ClhsBoardState &state, ClhsPortCameras cameras);
    // A new board's state, set up in the segment, brought to its power-on state.
    void PowerOnState();

    int32_t ReadRegister(uint32_t address, uint64_t &value) override;
    int32_t WriteRegister(uint32_t address, uint64_t value) override;
    bool ReadRegisterUnlocked(uint32_t address, uint64_t &value) const override;
    uint32_t FindAppletRegister(std::string_view name) const override { return registers_.Find(name); }

    int32_t Plug(uint32_t port, bool plugged) override;
    int32_t InjectNamedFault(uint32_t port, std::string_view kind, uint32_t count) override;
    int32_t SetLinkNoise(uint32_t port, uint32_t errorsPerMs) override;
    int32_t ReadTraffic(uint32_t port, TrafficCounters &traffic) const override;
    void RepairTransientState() override;
    void Describe(std::ostream &out) override;

private:
    using Port = ClhsPortState;

    bool Held(uint32_t port) const { return state_.transceiverReset >> port & 1; }
    Clock::time_point LockFrom(uint32_t port) const;
    bool LinkUp(uint32_t port, Clock::time_point now) const;
    bool Locked(uint32_t port, Clock::time_point now) const;
    bool Aligned(uint32_t port, Clock::time_point now) const;
    bool CarriesMessages(uint32_t port, Clock::time_point now) const;
    uint64_t PortMask(bool (ClhsBoard::*test)(uint32_t, Clock::time_point) const, Clock::time_point now) const;
    uint64_t ResetDoneMask(Clock::time_point now) const;
    void AdvanceErrors(uint32_t port, Clock::time_point now);
    void AdvanceErrorCounters(Clock::time_point now);
    // Messages on their way through a port whose link just went down are lost.
    void DropUnarrived(uint32_t port, Clock::time_point now);
    std::optional<uint32_t> RoutedPort(uint32_t appletPort) const;

    uint64_t ReadPlainWord(ClhsRegister id, uint32_t port) const;
    uint64_t ReadTimedRegister(ClhsRegister id, uint32_t port, Clock::time_point now);
    void WritePortRegister(ClhsRegister id, uint32_t port, uint64_t value, Clock::time_point now);
    void WriteTransceiverReset(uint64_t value, Clock::time_point now);
    void WriteNetworkReset(uint64_t value);
    void WriteXCoreReset(uint32_t port, uint64_t value, Clock::time_point now);
    void WriteMdioCommand(uint32_t bus, uint64_t word, Clock::time_point now);
    void WriteTxCommand(uint32_t appletPort, uint64_t command, Clock::time_point now);
    void ClearTxBuffer(uint32_t appletPort);
    void Send(uint32_t appletPort, Clock::time_point now);
    void Deliver(uint32_t appletPort, uint32_t port, const ClhsCamera::Answer &answer, Clock::time_point arrival);
    Clock::time_point Queue(uint32_t appletPort, uint32_t port, const GenCpPacket &ack, Clock::time_point at);

    LinkTiming timing_;
    ClhsRegisterMap registers_;
    ClhsBoardState &state_;
    ClhsPortCameras cameras_;
    uint64_t appletMasterIds_ = 0;
    uint64_t appletExtensionIds_ = 0;
};

}  // namespace vexo::sim
