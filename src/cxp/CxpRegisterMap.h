#pragma once
#include <array>
#include <cstdint>
#include <functional>

#include "board/BoardTypeTable.h"
#include "protocol/CxpAppletRegisters.h"

namespace vexo::genicam::cxp {

// The applet registers of the CoaXPress controller, in the order they are
// looked up. Per-port registers exist once for each of the ports 0 to 3.
using CxpRegister = protocol::cxp::AppletRegister;
using protocol::cxp::kMaxPorts;

// Board register addresses of the loaded applet's registers; 0 means the
// applet lacks the register. A plain value.
class CxpRegisterMap {
public:
    // Answers the board register address of a named applet register, 0 or less when absent.
    using Lookup = std::function<int64_t(const char *name)>;

    // Every register absent.
    CxpRegisterMap() = default;

    // Looks every register up by name; per-port names get the port number
    // appended. Applets without "CxpControlCoreReset_0" are asked for the
    // older names "CxpReset_0" to "CxpReset_3".
    static CxpRegisterMap Find(const Lookup &lookup);

    // 0 for an absent register or a port of 4 or more; single registers answer for port 0.
    uint32_t Address(CxpRegister reg, uint32_t port = 0) const;
    bool Has(CxpRegister reg, uint32_t port = 0) const { return Address(reg, port) != 0; }
    bool HasAnyPort(CxpRegister reg) const;
    bool UsesOlderResetNames() const { return olderResetNames_; }

    void SetAddress(CxpRegister reg, uint32_t port, uint32_t address);

private:
    std::array<std::array<uint32_t, kMaxPorts>, static_cast<size_t>(CxpRegister::kCount)> addresses_{};
    bool olderResetNames_ = false;
};

// Number of ports and transceiver interface type (0 none; 1, 2, 3, 6 or 10)
// that the registers of an applet on a board of the family give.
struct PortLayout {
    uint32_t portCount = 0;
    uint32_t interfaceType = 0;
};
PortLayout DetectPortLayout(const CxpRegisterMap &registers, BoardFamily family);

}  // namespace vexo::genicam::cxp
