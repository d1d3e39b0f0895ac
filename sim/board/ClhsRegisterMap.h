#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "topology/Topology.h"

namespace vexo::sim {

// The registers a Camera Link HS applet can have. Names of per-port
// registers end in "_" and take the port number after it.
enum class ClhsRegister : uint32_t {
    // Once per board.
    kMdioReadReg,  // single MDIO bus: status and read data
    kMdioWrite,    // single MDIO bus: command word
    kNetworkControllerReset,
    kTransceiverReset,  // bit p holds transceiver p in reset
    kTransceiverLocked,
    kTransceiverRxResetDone,
    kTransceiverTxResetDone,
    kGtxStatusShared,  // bit p: port p locked
    kDiscoverySelectWrite,
    kDiscoverySelectRead,
    kAppletMasterId,
    kAppletExtensionId,
    kGrabberStatusWrite,
    kGrabberStatusRead,
    // Per port (or per bus).
    kMdioReadRegBus,
    kMdioWriteBus,
    kNotInTable,
    kGtxStatus,  // bit 0: locked
    kGtxSetup,
    kPcsSetup,
    kPcsStatus,
    kPcsPacketCounter,
    kControlCoreReset,  // X-Core reset
    kTxCmdData,
    kTxCmdCommand,
    kTxCmdStatus,
    kTxRevision,
    kRxCmdData,
    kRxCmdStatus,
    kLinkRxStatus,
    kLostPackages,
    kXCoreReceivedPackage,
    kXCoreSendPackage,
    kLedModeWrite,
    kCount
};

inline constexpr size_t kClhsRegisterCount = size_t(ClhsRegister::kCount);
inline constexpr uint32_t kClhsPorts = 2;

struct ClhsRegisterAddress {
    ClhsRegister id;
    uint32_t port;  // 0 for registers that exist once
};

// True for a name a Camera Link HS applet can have: a full name
// ("NetworkControllerReset", "PcsSetup_1") or a per-port base name ("PcsSetup_").
bool IsClhsRegisterName(std::string_view name);

// Which registers the applet of one Camera Link HS board has (its MDIO and
// transceiver status layouts, less the omitted ones) and where they live.
// Addresses are arithmetic, so decoding one costs no lookup.
class ClhsRegisterMap {
public:
    explicit ClhsRegisterMap(const AppletConfig &applet);

    uint32_t Find(std::string_view name) const;
    std::optional<ClhsRegisterAddress> Decode(uint32_t address) const {
        if (address < kBase) return std::nullopt;
        const uint32_t id = (address - kBase) >> 4, port = (address - kBase) & 0xF;
        if (id >= kClhsRegisterCount || port >= kClhsPorts || !present_[id][port]) return std::nullopt;
        return ClhsRegisterAddress{ClhsRegister(id), port};
    }
    static constexpr uint32_t AddressOf(ClhsRegister id, uint32_t port) { return kBase + (uint32_t(id) << 4) + port; }

private:
    static constexpr uint32_t kBase = 0x00010000;

    std::array<std::array<bool, kClhsPorts>, kClhsRegisterCount> present_{};
};

}  // namespace vexo::sim
