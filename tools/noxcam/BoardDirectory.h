#pragma once
// The boards the board libraries offer, and what they tell about each.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "grablib5.h"

namespace noxcam {

struct BoardIdentity {
    uint32_t index = 0;
    int64_t typeCode = 0;
    std::string model;   // the model name, or the type code in hex for a type the library does not serve
    int64_t serial = 0;
    uint32_t ports = 0;  // 0 for a type the library does not serve
    uint32_t firmwareMajor = 0, firmwareMinor = 0;
};

// A grabber session, closed with the object.
using SessionPointer = std::unique_ptr<GrabberSession, void (*)(GrabberSession *)>;

// The session of the board with that index; null when there is no such board.
SessionPointer OpenSession(uint32_t boardIndex);

// Every board from index 0 up to the first index without one, as the library lists them.
std::vector<BoardIdentity> ListBoards();

// A Camera Link HS board: opened with every port as a master port, its link states shown.
bool IsCameraLinkHs(const BoardIdentity &board);

}  // namespace noxcam
