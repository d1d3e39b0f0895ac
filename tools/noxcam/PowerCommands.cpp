// power on|off|cycle|status: Power over CoaXPress per port.
#include <memory>

#include "CommandLine.h"
#include "Output.h"
#include "Session.h"
#include "ToolError.h"
#include "ValueText.h"
#include "protocol/BoardTypes.h"

namespace noxcam {

namespace {

// Commands of the library's power switch.
constexpr uint32_t kPowerOff = 0, kPowerOn = 1, kPowerCycle = 2;

uint32_t PortsOf(Session &session, const std::string &maskText) {
    if (maskText.empty()) return session.PortMask();
    const auto mask = ParseUnsigned(maskText);
    if (!mask || *mask == 0 || (*mask & ~uint64_t{session.PortMask()}) != 0)
        throw ToolError("power: '" + maskText + "' is no mask of the board's ports (" + Hex32(session.PortMask()) + ")",
                        ERR_INVALID_PORT);
    return static_cast<uint32_t>(*mask);
}

// The board reports a state code whose meaning depends on its power register layout.
std::string PowerStateName(int64_t boardType, uint32_t state) {
    using vexo::protocol::BoardFamily;
    const vexo::protocol::BoardType *type = vexo::protocol::FindBoardType(static_cast<int32_t>(boardType));
    const BoardFamily family = type ? type->family : BoardFamily::kNone;
    if (state == 8) return "fault";
    if (state == 9) return "unknown";
    const bool layoutC = family == BoardFamily::kC;
    if (family != BoardFamily::kNone) {
        if (state == 0) return "off";
        if (state == (layoutC ? 3u : 1u)) return "on, no load";
        if (state == (layoutC ? 5u : 2u)) return "on, camera powered";
    }
    return "state " + std::to_string(state);
}

void PrintPower(const CommonOptions &options, Session &session, uint32_t mask) {
    Table table{{"PORT", "STATE", "CODE", "VOLTAGE", "CURRENT"}, {}};
    nlohmann::ordered_json ports = nlohmann::ordered_json::array();
    for (uint32_t port = 0; port < 32; ++port) {
        if (!(mask & (1u << port))) continue;
        const std::string what = "power status of port " + std::to_string(port);
        uint32_t state = 0;
        double volts = 0, current = 0;
        Check(Nox_getBoardPropertyWithType(session.Board(), "CxpPowerStatus", &state, 1, port), what);
        Check(Nox_getBoardPropertyWithType(session.Board(), "CxpPowerVin", &volts, 2, port), what);
        Check(Nox_getBoardPropertyWithType(session.Board(), "CxpPowerSense", &current, 2, port), what);
        const std::string name = PowerStateName(session.Identity().typeCode, state);
        table.rows.push_back({std::to_string(port), name, std::to_string(state), FloatText(volts) + " V",
                              FloatText(current) + " mA"});
        ports.push_back({{"port", port}, {"state", name}, {"stateCode", state}, {"volts", volts},
                         {"milliamperes", current}});
    }
    Emit(options.json, {{"ports", std::move(ports)}}, table);
}

// Switches, then shows the switched ports as the board reports them now.
void SwitchPower(const CommonOptions &options, const std::string &maskText, uint32_t command, const char *name) {
    Session session(options);
    const uint32_t mask = PortsOf(session, maskText);
    session.Progress().Step(std::string("power ") + name);
    Check(Nox_powerSwitchExt(session.Board(), mask, command), std::string("power ") + name);
    session.Progress().Finish();
    PrintPower(options, session, mask);
}

void ShowPower(const CommonOptions &options, const std::string &maskText) {
    Session session(options);
    PrintPower(options, session, PortsOf(session, maskText));
}

}  // namespace

void AddPowerCommands(CommandTable &table, CLI::App &app, const CommonOptions &options) {
    auto mask = std::make_shared<std::string>();
    CLI::App *power = CommandTable::AddGroup(app, "power", "Power over CoaXPress");
    struct Switch {
        const char *name;
        uint32_t command;
        const char *description;
    };
    const Switch switches[] = {{"on", kPowerOn, "Switch the ports' power on, then show it"},
                               {"off", kPowerOff, "Switch the ports' power off, then show it"},
                               {"cycle", kPowerCycle, "Switch the ports' power off and on again, then show it"}};
    for (const auto &[name, command, description] : switches) {
        table.Add(*power, name, description,
                  [&options, mask, command, name] { SwitchPower(options, *mask, command, name); })
            ->add_option("--ports", *mask, "Port mask (default: every port of the board)");
    }
    table.Add(*power, "status", "Power state, voltage (V) and current (mA) per port",
              [&options, mask] { ShowPower(options, *mask); })
        ->add_option("--ports", *mask, "Port mask (default: every port of the board)");
}

}  // namespace noxcam
