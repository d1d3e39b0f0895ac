#pragma once
#include <cstdint>
#include <span>
#include <string_view>

#include "protocol/BoardTypes.h"

namespace vexo::sim {

using protocol::BoardFamily;
using protocol::Technology;

// A row of the board type table: what QueryBoardInfo reports and which
// register layout the applet of the board has.
struct BoardModel : protocol::BoardType {
    bool served;  // false: the row exists but no simulation is built for it yet
};

std::span<const BoardModel> BoardModels();
const BoardModel *FindBoardModel(std::string_view name);

std::string_view TechnologyName(Technology technology);
char FamilyLetter(BoardFamily family);

// Transceiver interface type of a CoaXPress board: 1 (family A), 2 (family B,
// 4 ports), 3 or 6 (family B, 2 ports, 6 with the receive status register),
// 10 (family C).
uint32_t TransceiverInterfaceType(const BoardModel &model, bool rxStatus);

}  // namespace vexo::sim
