#pragma once
// The discovery matrix: every CoaXPress board model in the default, crossed
// and two-board shapes, with a link lock time of the simulator's choosing,
// and the cameras a discovery must find there.
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "cxp/CxpController.h"

namespace cxp_test {

enum class Shape { kDefault, kCrossed, kTwoBoards };

struct MatrixCase {
    const char *model;
    Shape shape;
    uint32_t lockUs;  // the simulator's lock_us
};

// A camera a discovery must find on a board: where its master link is, how
// many links it ends with, and the fastest bit rate it and the board share.
struct ExpectedCamera {
    uint32_t masterPort;
    uint32_t links;
    uint32_t bitRate;
};

struct MatrixTopology {
    std::string json;
    uint32_t boards;
    std::vector<ExpectedCamera> cameras;  // on each board
};

// Shapes: 4-port boards carry a revision 2.0 camera on ports 0 and 1 (crossed:
// master on 1) and a 1.1 camera on port 2 (crossed: 3); 2-port boards a 2.0
// camera on port 0 and a 1.1 camera on port 1 (crossed: one 2.0 camera, master
// on 1). Two boards: the default shape twice. Every camera accepts every bit
// rate; a 1.1 camera is never offered 10000 or 12500.
MatrixTopology BuildMatrixTopology(const MatrixCase &matrixCase);
std::string CaseName(const MatrixCase &matrixCase);
// Test names and messages show a case by its name.
inline void PrintTo(const MatrixCase &matrixCase, std::ostream *out) { *out << CaseName(matrixCase); }
// Every model in every shape with lock times of 0, 200, 1000 and 5000 us.
std::vector<MatrixCase> AllMatrixCases();

// Runs a discovery on the controller's board and checks that it finds the cameras, each at its best rate.
void ExpectDiscoveryFinds(vexo::genicam::CxpController &controller, const std::vector<ExpectedCamera> &cameras);

}  // namespace cxp_test
