#pragma once
#include <filesystem>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "board/Board.h"
#include "topology/Topology.h"

namespace vexo::sim {

using BoardList = std::vector<std::unique_ptr<Board>>;

// Builds every board of a topology in its power-on state, reading the
// description files its cameras name (relative names against baseFolder).
// A text saying what failed otherwise.
std::variant<BoardList, std::string> BuildBoards(const Topology &topology, const std::filesystem::path &baseFolder);

}  // namespace vexo::sim
