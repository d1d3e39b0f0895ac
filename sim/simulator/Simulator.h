#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <mutex>

#include "board/Board.h"
#include "common/Handles.h"
#include "simulator/TopologySource.h"

namespace vexo::sim {

// The one simulator of the process: a fixed row of board slots, each with its
// own lock, filled from the topology in force.
class Simulator {
public:
    // Built on first use from VEXO_SIM_CONFIG (or the default topology).
    static Simulator &Instance();

    // Replaces every board (null text: the default topology). A rejected
    // topology is reported once on stderr and leaves no board served; -1 then.
    int32_t Load(const char *jsonText);

    // Runs action(board) under the board's lock; `failure` when the slot is empty.
    template <class Result, class Action>
    Result WithBoard(uint32_t index, Result failure, Action &&action) {
        if (index >= kMaxBoards) return failure;
        Slot &slot = slots_[index];
        std::lock_guard lock(slot.mutex);
        return slot.board ? action(*slot.board) : failure;
    }

private:
    Simulator();
    int32_t Install(TopologyLoad load);

    struct Slot {
        std::mutex mutex;
        std::unique_ptr<Board> board;
    };
    std::array<Slot, kMaxBoards> slots_;
    std::mutex loadMutex_;
};

}  // namespace vexo::sim
