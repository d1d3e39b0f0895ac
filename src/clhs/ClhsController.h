#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>
#include <string>

#include "board/FirmwareControllerBase.h"
#include "clhs/ClhsBoardAccess.h"
#include "clhs/ClhsGenCpChannel.h"
#include "clhs/ClhsMdio.h"
#include "clhs/ClhsMessageChannel.h"
#include "clhs/ClhsTransceivers.h"
#include "clhs/LinkStateControllerThread.h"
#include "discovery/DiscoveryInfo.h"

namespace vexo::genicam {

// The link controller of a Camera Link HS board (two ports): cameras answer
// GenCP over the applet's X-Core message channels, one link state thread per
// port of the port master mask brings each link up, and discovery gives every
// camera a device identifier that serves as its master id.
//
// Locks, outermost first: the base's LinkMutex (discovery, the model,
// properties, thread start and stop), a port's message channel lock (one
// GenCP exchange at a time per port), a link state thread's own mutex.
class ClhsController : public FirmwareControllerBase {
public:
    // Discovery flag: keep the routing and allocate no camera operators.
    static constexpr uint32_t kFlagKeepRouting = 2;
    static constexpr uint32_t kLinkSpeed = 10000;
    static constexpr uint32_t kPacketSize = 8192;
    static constexpr std::chrono::milliseconds kFinishSetupWait{250};
    // Discovery waits this long at most for the links to come up.
    static constexpr std::chrono::milliseconds kLinkWait{1500};
    static constexpr uint32_t kDeviceIdTimeoutMs = 200;
    static constexpr uint32_t kCameraInfoTimeoutMs = 200;

    // Port master mask: VEXO_CLHS_PORT_MASTER_MASK_<board index> when set
    // (decimal; an invalid text is logged and leaves 1), else `portMask` & 3
    // when `useMask` is set, else 1. Resets the X-Cores and the transceivers,
    // starts the physical layer and the link state threads of the mask.
    ClhsController(uint64_t device, uint64_t applet, ControllerOwner *owner, uint32_t reserved, bool useMask,
                   uint32_t portMask);
    ~ClhsController() override;

    tools::logging::Logger *GetLogger() override;
    void FinishSetup() override;

    // --- Camera registers over GenCP (ports 0 and 1, else ERR_INVALID_PORT)
    int32_t WriteMemory(uint32_t port, uint64_t address, const void *data, uint32_t bytes, ByteSwap swap,
                        uint32_t timeoutMs) override;
    int32_t WriteRaw(uint32_t port, uint64_t address, const void *data, uint32_t bytes, ByteSwap swap,
                     uint32_t timeoutMs) override;
    // The acknowledge mode is not used: every write waits for its acknowledge.
    int32_t WriteRegister(uint32_t port, uint64_t address, uint32_t value, ByteSwap swap,
                          AcknowledgeMode acknowledgeMode, uint32_t timeoutMs) override;
    int32_t ReadMemory(uint32_t port, uint64_t address, void *buffer, uint32_t bytes, uint32_t timeoutMs) override;
    int32_t ReadRaw(uint32_t port, uint64_t address, void *buffer, uint32_t bytes, ByteSwap swap,
                    uint32_t timeoutMs) override;
    bool IsLinkConfigRegister(uint64_t address) override;

    // --- Discovery and links
    // The mask must hold both ports (else ERR_INVALID_PORT), the speed be 0
    // or 10000 (else ERR_INVALID_LINK_SPEED). ERR_NO_CAMERA_FOUND when no
    // link came up; ERR_CLHS_DEVICE_ID_REJECTED / _READBACK when a camera
    // would not take its identifier; else the operator allocation's status.
    int32_t Discovery(uint32_t reserved, uint32_t speed, uint32_t portMask, uint32_t flags) override;
    DiscoveryInfo *GetDiscoveryInfo(bool update) override;
    int32_t ReadCameraInfo(uint32_t port) override;
    // Switches the camera `masterId` to the configuration of `links` links at
    // `bitRate` Mbit/s among those it offers (the third word unused).
    int32_t SetLinkConfig(uint32_t masterId, uint32_t bitRate, uint32_t links, uint32_t unused,
                          uint32_t *outValue) override;
    uint32_t GetAppletExtensionId(uint32_t port) override;
    uint32_t GetAppletMasterId(uint32_t port) override;
    int32_t SetDiscoverySelect(DiscoverySelect value) override;
    DiscoverySelect GetDiscoverySelect() override;
    uint32_t GetNrOfPorts() override { return clhs::kPorts; }
    // Ports 0 and 1: true without a link state thread, else when it reports kUp.
    bool IsLinkSynchronized(uint32_t port) override;

    // --- Properties: 1 flag, 3/4 MDIO read/write (index: physical address
    // << 24 | device << 16 | register; a write answers 0 or, when the bus
    // failed, ERR_INTERNAL), 5 link state machine value, 6 link
    // state thread (set: start/stop; get: 1 when the link is up). Others
    // ERR_UNKNOWN_PROPERTY; the wrong direction ERR_ACCESS_DENIED (3) or
    // ERR_UNKNOWN_PROPERTY (5); the link state ones ERR_INVALID_PORT for a
    // port without registers. Values are u32 (type 1).
    int32_t SetBoardProperty(uint32_t id, uint32_t index, uint32_t value) override;
    int32_t GetBoardProperty(uint32_t id, void *value, uint32_t type, uint32_t index) override;

    // --- The parts, for their own callers and tests
    uint32_t PortMasterMask() const { return portMasterMask_; }
    clhs::ClhsMessageChannel &Channel() { return channel_; }
    clhs::ClhsMdio &Mdio() { return mdio_; }
    clhs::ClhsGenCpChannel &GenCp() { return gencp_; }
    // The link state thread of the port, null when none runs.
    const clhs::LinkStateControllerThread *LinkThread(uint32_t port) const;
    bool StartLinkThread(uint32_t port);
    void StopLinkThread(uint32_t port);
    uint32_t DeviceId(uint32_t port) const { return port < clhs::kPorts ? deviceIds_[port] : 0; }

private:
    uint32_t ReadPortMasterMask(bool useMask, uint32_t portMask);
    void ResetChannels();
    void Log(uint32_t level, const std::string &text);
    uint32_t Nibble(clhs::ClhsRegisterMap::Register reg, uint32_t port);

    // Discovery steps
    uint32_t AwaitLinks();
    int32_t IdentifyCamera(uint32_t port);
    int32_t AssignDeviceId(uint32_t port);
    void RecordLink(uint32_t port, uint32_t linkId);
    int32_t AllocateOperators();

    // Device configuration change
    struct Configuration {
        uint32_t links = 0;
        uint32_t bitRate = 0;
    };
    int32_t ReadConfigurations(uint32_t port, std::vector<Configuration> &list, uint32_t &current);
    int32_t ChangeConfiguration(uint32_t masterId, uint32_t port, uint32_t index, const Configuration &target);
    uint32_t CountLinkedPorts(uint32_t masterId);
    bool AwaitLinkCount(uint32_t masterId, uint32_t wanted, bool atLeast, std::chrono::milliseconds bound);
    void AwaitLinkThreads();

    clhs::ClhsBoardAccess board_;
    clhs::ClhsMessageChannel channel_;
    clhs::ClhsMdio mdio_;
    clhs::ClhsGenCpChannel gencp_;
    clhs::ClhsTransceivers transceivers_;
    uint32_t portMasterMask_ = 1;
    bool fecFlag_ = false;
    DiscoveryInfo info_;
    std::array<uint32_t, clhs::kPorts> deviceIds_{};
    mutable std::mutex threadsLock_;  // guards the pointers below, not the threads
    std::array<std::unique_ptr<clhs::LinkStateControllerThread>, clhs::kPorts> linkThreads_;
};

}  // namespace vexo::genicam
