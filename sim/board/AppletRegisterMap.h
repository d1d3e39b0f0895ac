#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "protocol/CxpAppletRegisters.h"
#include "topology/Topology.h"

namespace vexo::sim {

using protocol::cxp::AppletRegister;
using protocol::cxp::kMaxPorts;
inline constexpr size_t kRegisterCount = protocol::cxp::kAppletRegisterCount;

// A decoded board register address.
struct RegisterAddress {
    AppletRegister id;
    uint32_t port;  // 0 for registers that exist once
};

// True for a register name an applet can have: a full name ("StreamPacketSize",
// "CxpControlCoreReset_0", the older "CxpReset_0") or a per-port base name
// ("CxpTxCmdWriteData_").
bool IsAppletRegisterName(std::string_view name);

// Which registers the applet of one board has and where they live. Addresses
// are arithmetic (register id and port), so decoding one costs no lookup.
class AppletRegisterMap {
public:
    AppletRegisterMap(const BoardModel &model, const AppletConfig &applet);

    // The board address of a register by name, 0 when the applet lacks it.
    uint32_t Find(std::string_view name) const;

    // The register behind an address, nothing when the applet has none there.
    std::optional<RegisterAddress> Decode(uint32_t address) const {
        if (address < kBase) return std::nullopt;
        const uint32_t offset = address - kBase;
        const uint32_t id = offset >> 4, port = offset & 0xF;
        if (id >= kRegisterCount || port >= kMaxPorts || !present_[id][port]) return std::nullopt;
        return RegisterAddress{AppletRegister(id), port};
    }

    bool Has(AppletRegister id, uint32_t port = 0) const { return port < kMaxPorts && present_[size_t(id)][port]; }
    static constexpr uint32_t AddressOf(AppletRegister id, uint32_t port) { return kBase + (uint32_t(id) << 4) + port; }

private:
    static constexpr uint32_t kBase = 0x00010000;

    void Add(AppletRegister id, uint32_t portCount);
    void Omit(std::string_view name);

    std::array<std::array<bool, kMaxPorts>, kRegisterCount> present_{};
    bool legacyResetNames_;
};

}  // namespace vexo::sim
