#pragma once
#include <ostream>

#include "simulator/TopologySource.h"

namespace vexo::sim {

// Writes a topology for people: boards, models, applet operators, cameras and
// their links, with every default filled in.
void PrintTopology(const LoadedTopology &loaded, std::ostream &out);

}  // namespace vexo::sim
