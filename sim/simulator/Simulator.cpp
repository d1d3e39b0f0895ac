#include "simulator/Simulator.h"

#include <cstdio>

#include "simulator/BoardFactory.h"

namespace vexo::sim {

// Never destroyed: threads of the library under test may still call in while
// the process exits.
Simulator &Simulator::Instance() {
    static Simulator *const simulator = new Simulator;
    return *simulator;
}

Simulator::Simulator() { Install(LoadTopologyInForce()); }

int32_t Simulator::Load(const char *jsonText) { return Install(LoadTopologyText(jsonText)); }

int32_t Simulator::Install(TopologyLoad load) {
    std::lock_guard loading(loadMutex_);
    BoardList boards;
    std::string error;
    if (auto *loaded = std::get_if<LoadedTopology>(&load)) {
        auto built = BuildBoards(loaded->topology, loaded->baseFolder);
        if (auto *failure = std::get_if<std::string>(&built))
            error = loaded->origin + ": " + *failure;
        else
            boards = std::get<BoardList>(std::move(built));
    } else {
        error = std::get<std::string>(load);
    }
    if (!error.empty()) std::fprintf(stderr, "vexosim: %s; no board is served\n", error.c_str());
    for (uint32_t index = 0; index < kMaxBoards; ++index) {
        std::unique_ptr<Board> board = index < boards.size() ? std::move(boards[index]) : nullptr;
        std::lock_guard lock(slots_[index].mutex);
        slots_[index].board.swap(board);
    }  // the replaced boards die here, outside their slot's lock
    return error.empty() ? 0 : -1;
}

}  // namespace vexo::sim
