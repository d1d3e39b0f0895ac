#pragma once
#include <filesystem>
#include <string>
#include <variant>

#include "topology/Topology.h"

namespace vexo::sim {

// A topology ready to build, with the folder its relative file names start from.
struct LoadedTopology {
    Topology topology;
    std::filesystem::path baseFolder;
    std::string origin;  // the file it came from, or "built-in default"
};

using TopologyLoad = std::variant<LoadedTopology, std::string>;

inline constexpr const char *kConfigVariable = "VEXO_SIM_CONFIG";

// The topology named by VEXO_SIM_CONFIG, or the built-in default when it is
// unset or empty. Relative description files start from the file's folder.
TopologyLoad LoadTopologyInForce();

// A topology given as JSON text (null: the default). Relative description
// files start from the current folder.
TopologyLoad LoadTopologyText(const char *jsonText);

}  // namespace vexo::sim
