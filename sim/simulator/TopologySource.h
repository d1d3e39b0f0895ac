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
    std::string text;    // the JSON text; empty for the built-in default

    // What tells two topologies apart: the text and the folder its
    // description files start from.
    std::string Identity() const { return text.empty() ? origin : baseFolder.string() + "\n" + text; }
};

using TopologyLoad = std::variant<LoadedTopology, std::string>;

inline constexpr const char *kConfigVariable = "VEXO_SIM_CONFIG";
inline constexpr const char *kBuiltInOrigin = "built-in default";

// The topology named by VEXO_SIM_CONFIG, or the built-in default when it is
// unset or empty. Relative description files start from the file's folder.
TopologyLoad LoadTopologyInForce();

// A topology given as JSON text (null: the default). Relative description
// files start from the current folder.
TopologyLoad LoadTopologyText(const char *jsonText);

// A topology an instance keeps: its text (empty: the default), its identity
// (which names the folder its description files start from) and origin.
TopologyLoad LoadStoredTopology(const std::string &text, const std::string &identity, const std::string &origin);

}  // namespace vexo::sim
