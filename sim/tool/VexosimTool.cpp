// vexosim: shows what the virtual frame grabber serves, for people writing
// topologies, and acts on the boards of a simulator instance as a person at
// the machine would: cables, faults, noise, reset.
#include <CLI/CLI.hpp>
#include <iostream>

#include "description/CameraDescription.h"
#include "simulator/BoardFactory.h"
#include "simulator/Simulator.h"
#include "simulator/TopologySource.h"
#include "tool/TopologyPrinter.h"

namespace {

// Checks the topology in force as the simulator would load it, then prints it.
int ShowTopology() {
    vexo::sim::TopologyLoad load = vexo::sim::LoadTopologyInForce();
    if (auto *error = std::get_if<std::string>(&load)) {
        std::cerr << "vexosim: " << *error << "\n";
        return 1;
    }
    const auto &loaded = std::get<vexo::sim::LoadedTopology>(load);
    auto boards = vexo::sim::LoadDescriptions(loaded.topology, loaded.baseFolder);
    if (auto *error = std::get_if<std::string>(&boards)) {
        std::cerr << "vexosim: " << loaded.origin << ": " << *error << "\n";
        return 1;
    }
    vexo::sim::PrintTopology(loaded, std::cout);
    return 0;
}

// The instance as it is (built from the topology in force only when there is none).
vexo::sim::Simulator &Instance() { return vexo::sim::Simulator::Instance(vexo::sim::Simulator::Attach::AsItIs); }

int Done(int32_t status, const std::string &failure) {
    if (status == 0) return 0;
    std::cerr << "vexosim: " << failure << "\n";
    return 1;
}

template <class Action>
int OnBoard(uint32_t board, uint32_t port, const std::string &what, Action &&action) {
    const int32_t status = Instance().WithBoard(board, vexo::sim::kAnyGeneration, -1,
                                                [&](vexo::sim::Board &target) { return action(target); });
    return Done(status, what + " failed: no board " + std::to_string(board) + " or no port " + std::to_string(port) +
                            " on it");
}

int Remove() {
    const std::optional<std::string> instance = vexo::sim::InstanceInForce();
    if (!instance || *instance == vexo::sim::kPrivateInstance)
        return Done(-1, "remove needs a shared instance, not \"" + instance.value_or("") + "\"");
    if (vexo::sim::SharedSegment::Remove(*instance)) return 0;
    return Done(-1, "there is no instance \"" + *instance + "\"");
}

}  // namespace

int main(int argc, char **argv) {
    CLI::App app{"Shows what the virtual frame grabber serves. The topology comes from the file named by "
                 "VEXO_SIM_CONFIG, or is the built-in default."};
    app.require_subcommand(1);
    CLI::App *topology = app.add_subcommand("topology", "Print the topology in force: boards, models, cameras, links");
    CLI::App *xml = app.add_subcommand("xml", "Write the built-in camera description (plain XML) to stdout");
    bool cameraLink = false;
    xml->add_flag("--camera-link", cameraLink, "the description of the Camera Link (GenCP) camera");
    CLI::App *status = app.add_subcommand("status", "Boards, cameras, cables, power, faults and link states of the instance");
    uint32_t board = 0, port = 0, count = 1, errorsPerMs = 0;
    std::string state, kind;
    CLI::App *plug = app.add_subcommand("plug", "Plug or unplug the cable on a physical port");
    plug->add_option("BOARD", board)->required();
    plug->add_option("PORT", port)->required();
    plug->add_option("STATE", state, "on or off")->required()->check(CLI::IsMember({"on", "off"}));
    CLI::App *fault = app.add_subcommand("fault", "Answer the next COUNT commands on a port with a fault");
    fault->add_option("BOARD", board)->required();
    fault->add_option("PORT", port)->required();
    fault->add_option("KIND", kind, "no_ack, wait_ack:<ms>, tentative_ack, malformed_ack, bad_crc_ack, "
                                    "ack_code:<hex>, delay_ack:<ms>, wrong_tag; Camera Link: no_ack, "
                                    "pending_ack:<ms>, busy_echo:<ms>, status:<hex>, garbage:<n>, split:<ms>, "
                                    "wrong_id, truncate:<n>; Camera Link HS: no_ack, pending_ack:<ms>, status:<hex>, "
                                    "tx_busy:<ms>, tx_full, send_fail, rx_fail, reject_device_id, mdio_error:<n>")->required();
    fault->add_option("COUNT", count, "commands to fault; 0 clears [1]");
    CLI::App *noise = app.add_subcommand("noise", "Add transceiver errors to a locked link");
    noise->add_option("BOARD", board)->required();
    noise->add_option("PORT", port)->required();
    noise->add_option("ERRORS_PER_MS", errorsPerMs)->required();
    CLI::App *reset = app.add_subcommand("reset", "Back to the power-on state (sessions open now are closed)");
    CLI::App *remove = app.add_subcommand("remove", "Delete the instance; the next program builds a new one");
    app.footer("Boards live in the simulator instance named by VEXO_SIM_INSTANCE (\"default\"), shared by every "
               "program of the user that names it.");
    CLI11_PARSE(app, argc, argv);
    if (status->parsed()) {
        std::cout << Instance().Status();
        return 0;
    }
    if (plug->parsed())
        return OnBoard(board, port, "plug", [&](vexo::sim::Board &b) { return b.Plug(port, state == "on"); });
    if (fault->parsed()) {
        // An unknown kind and a missing port fail alike: which kinds exist depends on the board.
        return OnBoard(board, port, "fault \"" + kind + "\" (a kind the board knows?)",
                       [&](vexo::sim::Board &b) { return b.InjectNamedFault(port, kind, count); });
    }
    if (noise->parsed())
        return OnBoard(board, port, "noise", [&](vexo::sim::Board &b) { return b.SetLinkNoise(port, errorsPerMs); });
    if (reset->parsed()) return Done(Instance().Reset(), "reset failed");
    if (remove->parsed()) return Remove();
    if (topology->parsed()) return ShowTopology();
    if (xml->parsed()) {
        std::cout << vexo::sim::BuiltInDescriptionText(cameraLink ? vexo::sim::DescriptionFlavour::GenCp
                                                                  : vexo::sim::DescriptionFlavour::CoaXPress);
        return std::cout.good() ? 0 : 1;
    }
    return 1;
}
