// Topology files as users hand them to the simulator: accepted with every
// default filled in, or rejected with a message; never an escaping exception.
// An accepted topology holds only what the simulator can build: known served
// models, cameras on distinct existing ports, defaults among their own choices.
#include <algorithm>
#include <cstdint>
#include <set>
#include <string_view>
#include <variant>

#include "Finding.h"
#include "common/Handles.h"
#include "topology/TopologyParser.h"

using nox_fuzz::Require;
using namespace vexo::sim;

namespace {

void CheckLinks(const CameraConfig &camera, uint32_t portCount, std::set<uint32_t> &taken) {
    Require(!camera.links.empty(), "a camera without links");
    for (const uint32_t port : camera.links)
        Require(port < portCount && taken.insert(port).second, "a link on a missing or taken port");
}

// A serial camera starts at one of its line rates and has its serial line on connector 0 when it uses both.
void CheckSerialCamera(const CameraConfig &camera, uint32_t portCount, std::set<uint32_t> &taken) {
    CheckLinks(camera, portCount, taken);
    Require(camera.links.size() == 1 || camera.links.front() == 0, "a two-connector camera's serial line elsewhere");
    Require(std::is_sorted(camera.bauds.begin(), camera.bauds.end()) && !camera.bauds.empty(), "bauds unsorted");
    Require(std::binary_search(camera.bauds.begin(), camera.bauds.end(), camera.baud), "a baud the camera lacks");
}

void CheckCamera(const CameraConfig &camera, uint32_t portCount, std::set<uint32_t> &taken) {
    CheckLinks(camera, portCount, taken);
    Require(camera.defaultLinks >= 1 && camera.defaultLinks <= camera.links.size(), "default links out of range");
    Require(std::is_sorted(camera.speeds.begin(), camera.speeds.end()) && !camera.speeds.empty(), "speeds unsorted");
    Require(std::binary_search(camera.speeds.begin(), camera.speeds.end(), camera.defaultSpeed),
            "a default speed the camera does not offer");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const TopologyResult result = ParseTopology(std::string_view(reinterpret_cast<const char *>(data), size));
    if (const auto *error = std::get_if<TopologyError>(&result)) {
        Require(!error->message.empty(), "a rejection without a message");
        return 0;
    }
    const Topology &topology = std::get<Topology>(result);
    Require(topology.boards.size() <= kMaxBoards, "more boards than the simulator serves");
    for (const BoardConfig &board : topology.boards) {
        Require(board.model != nullptr && board.model->served, "a board model that is not simulated");
        std::set<uint32_t> taken;
        const bool serial = board.model->technology == Technology::kCameraLink;
        for (const CameraConfig &camera : board.cameras)
            (serial ? CheckSerialCamera : CheckCamera)(camera, board.model->portCount, taken);
    }
    return 0;
}
