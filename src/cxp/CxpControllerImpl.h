#pragma once
#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "board/BoardTypeTable.h"
#include "cxp/CxpLog.h"
#include "cxp/CxpPacket.h"
#include "cxp/CxpRegisterMap.h"
#include "cxp/InterProcessLock.h"
#include "cxp/PacketCaptureFile.h"
#include "discovery/DiscoveryInfo.h"
#include "platform/RecursiveMutex.h"

namespace vexo::genicam {

// The board side of a CoaXPress controller: the applet's register map, the
// number of ports and transceiver interface, the control packet exchange with
// the cameras, the board registers shared with other processes (control core
// resets, LED modes, power enable mask, transceiver state) and the discovery
// info. Owned by its CxpController.
//
// Locks, in this order: the implementation's recursive mutex (every public
// operation), then the board's inter-process register lock (a whole control
// command with its acknowledgment, the drain before it included; control core
// resets, LED modes, power mask, transceiver state). The register lock is
// recursive and awaited at most kRegisterLockTimeout; an operation that
// cannot get it fails (ERR_OPERATION_BLOCKED for a command) with an error
// record. A camera that keeps a command waiting keeps other programs waiting
// as long.
class CxpControllerImpl {
public:
    static constexpr int32_t kStatusAckTimeout = -1997;
    static constexpr std::chrono::milliseconds kRegisterLockTimeout{5000};
    // The longest a camera may make us wait with one wait acknowledgment.
    static constexpr uint32_t kMaxWaitAckMs = 65535;

    // Per-port state of the link synchronisation check.
    struct SyncState {
        std::chrono::steady_clock::time_point lastCheck;
        uint64_t errorCount = 0;
        bool inSync = false;
    };

    // Builds the register map, detects ports and interface type, holds every
    // control core in reset (7), sets LED mode 1 and opens the packet logs when
    // "Global::EnablePCAP" is on. Throws std::runtime_error when the register
    // lock cannot be opened or a setting cannot be read.
    CxpControllerImpl(uint64_t device, uint64_t applet, int32_t boardType, uint32_t boardIndex,
                      tools::logging::Logger *logger);
    // Sets LED mode 2 on every port.
    ~CxpControllerImpl();

    CxpControllerImpl(const CxpControllerImpl &) = delete;
    CxpControllerImpl &operator=(const CxpControllerImpl &) = delete;

    uint32_t PortCount() const { return portCount_; }
    uint32_t AllPortsMask() const { return (1u << portCount_) - 1; }
    uint32_t InterfaceType() const { return interfaceType_; }
    BoardFamily Family() const { return family_; }
    const cxp::CxpRegisterMap &Registers() const { return registers_; }
    bool HasControlCoreReset() const { return controlCoreResetAvailable_; }
    uint32_t MaxControlPacketSize() const { return maxControlPacketSize_; }
    size_t OpenPacketLogCount() const;
    DiscoveryInfo &Info() { return info_; }
    templates::platform::RecursiveMutex &Mutex() { return mutex_; }

    // --- Control packets ----------------------------------------------------
    // Reads (write = false) or writes bytes / 4 words of camera memory through
    // applet port `port`, cut into packets that the camera and the board
    // accept. Returns 0,
    // ERR_INVALID_POINTER without buffer, ERR_OPERATION_BLOCKED when another
    // program held the board's register lock too long, or
    // The level of the record that names a camera's refusal of a register access made by the calling
    // thread (error unless the thread expects refusals, as speed negotiation does); returns the level
    // it replaces.
    static uint32_t SwapRefusalLevel(uint32_t level);

    // ERR_GENCP_TOO_FEW_DATA when the exchange stopped before every word was
    // transferred.
    //
    // Answers are matched to their commands: the camera whose command port
    // this is gets tagged commands when its protocol revision is 2.0 or later
    // (asked first when the discovery info lacks it), and answers with another
    // tag are dropped. Before an untagged command, answers to earlier ones
    // that may still come (timed out, or announced by a wait acknowledgment)
    // are drained until their end words or the end of their window; when the
    // window ends first, a fence read goes ahead of the command (see
    // Resynchronise), and the command is not sent while late answers are
    // still due. An untagged read takes no answer of another size.
    int32_t ExecRWPacket(Access access, uint32_t port, uint32_t address, void *buffer, uint32_t bytes, ByteSwap swap,
                         AcknowledgeMode acknowledgeMode, uint32_t timeoutMs);
    // Empties the port's acknowledgment buffer; returns the words it held (at
    // most kMaxDrainWords are read). With `awaitAnswerMs`, an answer not there
    // yet is awaited that long, up to its end word. False when the port has
    // no receive register.
    bool ClearAckBuffer(uint32_t port, std::vector<uint32_t> &words, uint32_t awaitAnswerMs = 0);

    // --- Board registers ----------------------------------------------------
    int32_t ReadRegister(cxp::CxpRegister reg, uint32_t port, uint64_t &value);
    int32_t WriteRegister(cxp::CxpRegister reg, uint32_t port, uint64_t value);

    // Writes the value to the control core reset of every port of the mask
    // and records it; logs the change or "Failed to reset CXP Control Core".
    int32_t SetControlCoreReset(uint32_t portMask, uint32_t value);
    uint32_t ControlCoreResetValue(uint32_t port);
    void SetLedMode(uint32_t port, uint32_t mode);
    uint32_t LedMode(uint32_t port);

    // Ports whose control core runs and whose transceiver holds its lock: the
    // links are up (perhaps another program's). Reads only.
    uint32_t LiveLinkPorts();

    // Transceiver error count of a port; 0 for a port beyond the port count or
    // an interface without counters (logged); nothing when it cannot be read.
    std::optional<uint64_t> ReadTransceiverErrorCount(uint32_t port);
    // The requested ports whose transceivers report the link up. Interfaces
    // without such a report (types other than 6 and 10) answer the request.
    uint32_t LinkUpMask(uint32_t requested, bool &reported);

    // Programs the uplink of a port to the high (10000, 12500) or low rate,
    // once the transceiver reports ready (at most 500 ms). Ports of boards
    // without an uplink register need nothing and succeed.
    int32_t SetUplink(uint32_t port, bool high);
    bool HasUplinkRegisters() const;
    // Programs the downlink receiver of a port for the bit rate through the
    // board's transceiver interface.
    int32_t SetDownlink(uint32_t port, uint32_t mbps);

    // Reads the power enable mask of the existing ports, applies
    // (mask | set) & ~clear and writes it when it differs.
    int32_t UpdatePowerMask(uint32_t set, uint32_t clear, bool &changed);

    SyncState &Sync(uint32_t port) { return sync_[port < cxp::kMaxPorts ? port : 0]; }

private:
    // One acknowledgment, start and type markers removed, end marker not kept.
    struct AckBuffer {
        static constexpr uint32_t kCapacity = 1024;
        std::array<uint32_t, kCapacity> words{};
        uint32_t length = 0;
        bool overflow = false;  // more words arrived than fit; they were dropped
        uint32_t first = 0;     // 1 when a tag word leads the answer
        uint32_t crc = cxp::kCrcInitial;  // the CRC sum over the tag word, when there is one
        // The answer from its code word on.
        std::span<const uint32_t> View() const { return {words.data() + first, length - first}; }
    };
    // What became of one packet.
    struct PacketOutcome {
        int32_t status;
        uint32_t wordsDone;
        bool resend;
        uint32_t lateWindowMs = 0;  // an answer to it may still come within this time
    };
    // The commands through one applet port.
    struct CommandChannel {
        uint32_t unansweredProbe = DiscoveryInfo::kNone;  // the camera that did not tell its revision here
        uint8_t nextTag = 0;
        uint32_t lateAnswers = 0;  // untagged answers that may still come
        std::chrono::steady_clock::time_point lateUntil;  // ... within their window, which ends then
        uint32_t lateStandardReadBytes = 0;  // the size of a late read at address 0, whose answer looks like a fence's
        uint32_t fenceBytes = 0;  // the size of the fence read on its way (0: none)
        std::chrono::steady_clock::time_point fenceUntil;  // ... counted as lost from then on
        // No late answer is on its way any more.
        void InStep() {
            lateAnswers = 0;
            lateStandardReadBytes = 0;
            fenceBytes = 0;
        }
    };
    // The register lock, held for one scope when it could be taken in time.
    class RegisterLockGuard {
    public:
        explicit RegisterLockGuard(CxpControllerImpl &impl);
        ~RegisterLockGuard();
        RegisterLockGuard(const RegisterLockGuard &) = delete;
        RegisterLockGuard &operator=(const RegisterLockGuard &) = delete;
        bool Held() const { return held_; }

    private:
        InterProcessLock &lock_;
        bool held_;
    };

    static constexpr uint32_t kMaxDrainWords = 65536;
    static constexpr uint32_t kSentPollReads = 500;
    static constexpr uint32_t kAckRounds = 4;
    static constexpr uint32_t kMaxResends = 4;
    static constexpr uint32_t kMinAckWaitMs = 200;

    void OpenPacketLogs();
    bool HasControlChannel(uint32_t port) const;
    uint32_t CommandPortCamera(uint32_t port) const;
    bool TaggedCommands(uint32_t port, uint32_t camera, uint32_t timeoutMs);
    uint32_t ProbeRevision(uint32_t port, uint32_t camera, uint32_t timeoutMs);
    int32_t DrainReceiveBuffer(uint32_t port, bool tagged);
    int32_t Resynchronise(uint32_t port, uint32_t timeoutMs);
    int32_t SendFence(uint32_t port, uint32_t waitMs);
    bool IsFenceAnswer(uint32_t bytes) const;
    uint8_t NextTag(uint32_t port);
    void ExpectLateAnswer(uint32_t port, uint32_t windowMs, uint32_t standardReadBytes);
    int32_t SendPacket(uint32_t port, std::span<const uint32_t> packet);
    int32_t ConfirmSent(uint32_t port, bool &sent);
    PacketOutcome CollectAck(Access access, uint32_t port, AcknowledgeMode acknowledgeMode, uint32_t timeoutMs,
                             uint32_t packetWords, std::span<std::byte> readTarget, ByteSwap swap,
                             std::optional<uint32_t> tagWord);
    PacketOutcome DecodeWriteAck(uint32_t rounds, uint32_t &waitMs, bool &again);
    PacketOutcome DecodeReadData(std::span<std::byte> readTarget, ByteSwap swap, uint32_t waitMs);
    int32_t ReceiveAck(uint32_t port, uint32_t waitMs, std::optional<uint32_t> tagWord, uint32_t readBytes);
    bool FitsUntaggedCommand(uint32_t readBytes) const;
    int32_t ReadOneAck(uint32_t address, uint32_t waitMs, std::chrono::steady_clock::time_point start);
    int32_t WaitForBoardBit(cxp::CxpRegister reg, uint32_t port, uint32_t bit);

    uint64_t device_;
    int32_t boardType_;
    uint32_t boardIndex_;
    BoardFamily family_;
    cxp::CxpLog log_;
    templates::platform::RecursiveMutex mutex_;
    InterProcessLock registerLock_;
    cxp::CxpRegisterMap registers_;
    uint32_t portCount_ = 0;
    uint32_t interfaceType_ = 0;
    bool controlCoreResetAvailable_ = false;
    std::array<SyncState, cxp::kMaxPorts> sync_{};
    std::array<uint32_t, cxp::kMaxPorts> controlCoreReset_{};
    std::array<uint32_t, cxp::kMaxPorts> ledMode_{};
    std::array<std::unique_ptr<cxp::PacketCaptureFile>, cxp::kMaxPorts> packetLogs_{};
    DiscoveryInfo info_;
    uint32_t maxControlPacketSize_ = cxp::kMaxControlPacketBytes;
    bool packetCapture_ = false;

    std::array<CommandChannel, cxp::kMaxPorts> channels_{};

    // Scratch of the packet exchange, kept here so no packet allocates.
    std::array<uint32_t, cxp::kMaxCommandWords> packet_{};
    AckBuffer ack_;
};

}  // namespace vexo::genicam
