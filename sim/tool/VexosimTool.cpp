// vexosim: shows what the virtual frame grabber serves, for people writing topologies.
#include <CLI/CLI.hpp>
#include <iostream>

#include "description/CameraDescription.h"
#include "simulator/BoardFactory.h"
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
    auto boards = vexo::sim::BuildBoards(loaded.topology, loaded.baseFolder);
    if (auto *error = std::get_if<std::string>(&boards)) {
        std::cerr << "vexosim: " << loaded.origin << ": " << *error << "\n";
        return 1;
    }
    vexo::sim::PrintTopology(loaded, std::cout);
    return 0;
}

}  // namespace

int main(int argc, char **argv) {
    CLI::App app{"Shows what the virtual frame grabber serves. The topology comes from the file named by "
                 "VEXO_SIM_CONFIG, or is the built-in default."};
    app.require_subcommand(1);
    CLI::App *topology = app.add_subcommand("topology", "Print the topology in force: boards, models, cameras, links");
    CLI::App *xml = app.add_subcommand("xml", "Write the built-in camera description (plain XML) to stdout");
    CLI11_PARSE(app, argc, argv);
    if (topology->parsed()) return ShowTopology();
    if (xml->parsed()) {
        std::cout << vexo::sim::BuiltInDescriptionText();
        return std::cout.good() ? 0 : 1;
    }
    return 1;
}
