#pragma once
#include <memory>
#include <string>
#include <vector>

#include "SimBoard.h"
#include "board/ControllerOwner.h"
#include "clhs/ClhsController.h"

namespace clhs_test {

using cxp_test::InForce;
using cxp_test::SimBoard;

// A 2-link camera on ports 0 and 1 that can also run one link at 5000 Mbit/s.
inline constexpr const char *kTwoLinkCamera = R"({"boards": [{"model": "clhs2-c",
    "cameras": [{"links": [0, 1], "configurations": [[2, 10000], [1, 5000]], "reconnect_time": 40}]}]})";
// One 1-link camera on port 0.
inline constexpr const char *kOneLinkCamera = R"({"boards": [{"model": "clhs2-c", "cameras": [{"links": [0]}]}]})";

// The board object's part in discovery: the operator allocation of a Camera Link HS board.
class ClhsOwner : public vexo::genicam::ControllerOwner {
public:
    int32_t AllocateCameraOperator(vexo::genicam::DiscoveryInfo &info, uint32_t cameraMasterId) override;

    vexo::genicam::FirmwareControllerBase *controller = nullptr;
};

// A Camera Link HS controller on a simulated board.
struct ClhsUnderTest {
    // Loads the topology, opens board `index`; the port master mask as the
    // board object hands it over.
    explicit ClhsUnderTest(const char *topology, uint32_t portMask = 1, uint32_t index = 0);
    ClhsUnderTest(InForce, uint32_t index, uint32_t portMask);

    // Waits (bounded) until the port's link state thread reports the link up.
    bool LinkUp(uint32_t port) const;

    SimBoard board;
    ClhsOwner owner;
    std::unique_ptr<vexo::genicam::ClhsController> controller;
};

// Reads a camera register (swapped) over GenCP; the status.
int32_t ReadCamera(vexo::genicam::ClhsController &controller, uint32_t port, uint32_t address, uint32_t &value);

}  // namespace clhs_test
