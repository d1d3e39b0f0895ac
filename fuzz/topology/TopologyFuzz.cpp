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

// A Camera Link HS camera: links taken once, configurations it can run.
void CheckClhsCamera(const CameraConfig &camera, const Topology &topology,
                     std::set<std::pair<uint32_t, uint32_t>> &taken, uint32_t board) {
    Require(!camera.links.empty(), "a camera without links");
    Require(camera.linkBoards.empty() || camera.linkBoards.size() == camera.links.size(), "links without their boards");
    for (size_t link = 0; link < camera.links.size(); ++link) {
        const uint32_t on = camera.linkBoards.empty() ? board : camera.linkBoards[link];
        Require(on < topology.boards.size() && topology.boards[on].model->technology == Technology::kCameraLinkHs,
                "a link on a board that is no Camera Link HS board");
        Require(camera.links[link] < topology.boards[on].model->portCount && taken.insert({on, camera.links[link]}).second,
                "a link on a missing or taken port");
    }
    Require(!camera.configurations.empty(), "a camera without configurations");
    for (const ClhsConfiguration &configuration : camera.configurations)
        Require(configuration.links >= 1 && configuration.links <= camera.links.size(), "a configuration of too many links");
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
    std::set<std::pair<uint32_t, uint32_t>> clhsTaken;
    for (uint32_t index = 0; index < topology.boards.size(); ++index) {
        const BoardConfig &board = topology.boards[index];
        Require(board.model != nullptr && board.model->served, "a board model that is not simulated");
        std::set<uint32_t> taken;
        const bool serial = board.model->technology == Technology::kCameraLink;
        for (const CameraConfig &camera : board.cameras)
            if (board.model->technology == Technology::kCameraLinkHs)
                CheckClhsCamera(camera, topology, clhsTaken, index);
            else
                (serial ? CheckSerialCamera : CheckCamera)(camera, board.model->portCount, taken);
    }
    for (const CameraConfig &camera : topology.clhsCameras) CheckClhsCamera(camera, topology, clhsTaken, 0);
    return 0;
}
