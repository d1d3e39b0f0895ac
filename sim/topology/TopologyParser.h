#pragma once
#include <string>
#include <string_view>
#include <variant>

#include "topology/Topology.h"

namespace vexo::sim {

// A rejected topology: one message naming what is wrong and where
// (for example: unknown key "boards[0].cameras[0].colour").
struct TopologyError {
    std::string message;
};

using TopologyResult = std::variant<Topology, TopologyError>;

// Reads a topology from JSON text (comments allowed), fills in every default
// and checks every value. Pure: the description files it names are not read.
TopologyResult ParseTopology(std::string_view jsonText);

// One cxp4-c board, operators [[0, 1], [2], [3]], a 2-link camera on ports 0
// and 1 and a 1-link camera on port 2.
Topology DefaultTopology();

}  // namespace vexo::sim
