#pragma once
#include <filesystem>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "board/Board.h"
#include "description/DescriptionImage.h"
#include "instance/SegmentLayout.h"
#include "topology/Topology.h"

namespace vexo::sim {

using BoardList = std::vector<std::unique_ptr<Board>>;
// Per board, the description of each of its cameras; then one more list:
// the cameras of "clhs_cameras".
using TopologyDescriptions = std::vector<std::vector<DescriptionHandle>>;

// Reads the description files a topology's cameras name (relative names
// against baseFolder). A text saying what failed otherwise.
std::variant<TopologyDescriptions, std::string> LoadDescriptions(const Topology &topology,
                                                                 const std::filesystem::path &baseFolder);

// Bytes the cameras' descriptions and scratch memories take past the segment's fixed part.
uint64_t CameraAreaBytes(const Topology &topology, const TopologyDescriptions &descriptions);

// Sets up every board of the topology in its power-on state in the segment,
// giving its cameras byte areas from `cursor` on (advanced past them); the
// slots past the topology's boards are left empty.
void InstallBoards(const Topology &topology, const TopologyDescriptions &descriptions, SegmentLayout &layout,
                   uint8_t *segment, uint64_t &cursor);

// This process's views of the boards set up in the segment for the topology.
BoardList MakeBoardViews(const Topology &topology, SegmentLayout &layout, uint8_t *segment);

// Per board, the boards a call on it locks, in ascending order: itself and
// every board that shares a Camera Link HS camera with it.
std::vector<std::vector<uint32_t>> BoardLockGroups(const Topology &topology);

}  // namespace vexo::sim
