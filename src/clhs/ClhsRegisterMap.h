#pragma once
#include <array>
#include <cstdint>
#include <functional>

namespace vexo::genicam::clhs {

inline constexpr uint32_t kPorts = 2;

// Board register addresses of a Camera Link HS applet, looked up by name once;
// 0 means the applet lacks the register. Per-port registers exist for ports 0
// and 1; the MDIO registers come as one bus or two, the transceiver status as
// one register per port or one shared register (bit p for port p).
class ClhsRegisterMap {
public:
    using Lookup = std::function<int64_t(const char *name)>;

    enum Register : uint32_t {
        kMdioStatus,  // per bus
        kMdioCommand,  // per bus
        kNetworkControllerReset,
        kTransceiverReset,
        kTransceiverLocked,
        kTransceiverRxResetDone,
        kTransceiverTxResetDone,
        kTransceiverNotInTable,
        kGtxStatus,  // per port, or shared
        kGtxSetup,
        kPcsSetup,
        kPcsStatus,
        kPcsPacketCounter,
        kControlCoreReset,
        kTxCmdData,
        kTxCmdCommand,
        kTxCmdStatus,
        kTxRevision,
        kRxCmdData,
        kRxCmdStatus,
        kLinkRxStatus,
        kDiscoverySelectWrite,
        kDiscoverySelectRead,
        kAppletMasterId,
        kAppletExtensionId,
        kCount,
    };

    ClhsRegisterMap() = default;
    static ClhsRegisterMap Find(const Lookup &lookup);

    // 0 for an absent register or a port of 2 or more; single registers answer for any port.
    uint32_t Address(Register reg, uint32_t port = 0) const;
    bool Has(Register reg, uint32_t port = 0) const { return Address(reg, port) != 0; }
    bool SingleMdioBus() const { return singleMdioBus_; }
    bool SharedGtxStatus() const { return sharedGtxStatus_; }

private:
    std::array<std::array<uint32_t, kPorts>, kCount> addresses_{};
    bool singleMdioBus_ = false;
    bool sharedGtxStatus_ = false;
};

}  // namespace vexo::genicam::clhs
