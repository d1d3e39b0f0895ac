#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "common/Handles.h"
#include "instance/SharedSegment.h"
#include "simulator/BoardFactory.h"
#include "simulator/TopologySource.h"

namespace vexo::sim {

// The simulator instance this process serves, VEXO_SIM_INSTANCE's: its boards
// live in memory every process of the instance shares ("private": this
// process alone). The process holds views of them, rebuilt when another
// process changes the topology.
//
// - Attaching: a process whose topology (VEXO_SIM_CONFIG, or the default)
//   differs from the one the instance serves rebuilds the instance in its
//   power-on state as a new generation and says so once on stderr; a
//   rejected topology never touches the instance, and the process then
//   serves no board. The tool attaches to the instance as it is.
// - Every board call runs under the board's lock; sessions opened in an older
//   generation are refused.
class Simulator {
public:
    enum class Attach { MatchTopology, AsItIs };

    // Built on first use; the first caller says how it attaches.
    static Simulator &Instance(Attach attach = Attach::MatchTopology);

    // Rebuilds the instance from a topology text (null: the default) as a new
    // generation. A rejected topology is reported once on stderr and leaves
    // this process no board; -1 then.
    int32_t Load(const char *jsonText);
    // Back to the power-on state of the topology the instance serves, as a new generation.
    int32_t Reset();

    // The generation a session of the board opened now belongs to; nothing
    // when no board is served there.
    std::optional<uint32_t> OpenBoard(uint32_t index);

    // Runs action(board) under the board's lock (and the locks of the boards
    // it shares a camera with, taken in ascending board order); `failure` when no board is
    // there, its lock cannot be had, or `generation` (of a handle) is an older one.
    template <class Result, class Action>
    Result WithBoard(uint32_t index, uint32_t generation, Result failure, Action &&action) {
        for (int attempt = 0; attempt < 2; ++attempt) {
            const Views *views = views_.load(std::memory_order_acquire);
            if (!views || index >= kMaxBoards) return failure;
            if (!LockBoards(*views, index)) return failure;
            if (Current(*views)) {
                Result result = Serves(*views, index, generation) ? action(*views->boards[index]) : failure;
                UnlockBoards(*views, index);
                return result;
            }
            UnlockBoards(*views, index);
            Refresh();
        }
        return failure;
    }

    // Runs read(board) without the board's lock, for reads of words that are
    // written whole: true when it read, and no topology change overlapped it
    // (the generation, stored before a rebuild touches the state and again
    // after it, says so). False sends the caller to WithBoard.
    template <class Read>
    bool ReadUnlocked(uint32_t index, uint32_t generation, Read &&read) {
        const Views *views = views_.load(std::memory_order_acquire);
        if (!views || !Serves(*views, index, generation) || !Current(*views)) return false;
        if (!read(std::as_const(*views->boards[index]))) return false;
        std::atomic_thread_fence(std::memory_order_acquire);
        return Current(*views);
    }

    // The lock that keeps other programs off a board's control channels:
    // shared by the processes of the instance, recursive for its owning
    // thread, waited for at most timeoutMs. 0 when taken (or released), -1 otherwise.
    int32_t LockChannels(uint32_t board, uint32_t timeoutMs);
    int32_t UnlockChannels(uint32_t board);

    // What `vexosim status` prints.
    std::string Status();
    const SharedSegment &Segment() const { return segment_; }

private:
    struct Views {
        uint32_t generation;
        Topology topology;
        BoardList boards;
        std::vector<std::vector<uint32_t>> lockGroups;  // BoardLockGroups of the topology
    };

    explicit Simulator(Attach attach, std::string instance);
    int32_t Connect(std::optional<TopologyLoad> wanted, bool rebuild);
    int32_t Build(const LoadedTopology &topology);
    void InitialiseFixedPart();
    bool LockAllSlots();
    void UnlockAllSlots();
    void AttachViews();
    void Publish(std::unique_ptr<Views> views);
    void Refresh();
    void Report(const std::string &what) const;
    bool Current(const Views &views) const;
    static bool Serves(const Views &views, uint32_t index, uint32_t generation);
    bool LockSlot(BoardSlot &slot, const Views &views, uint32_t index);
    static std::span<const uint32_t> BoardsLockedFor(const Views &views, const uint32_t &index);
    bool LockBoards(const Views &views, const uint32_t &index);
    void UnlockBoards(const Views &views, const uint32_t &index);

    SharedSegment segment_;
    Attach attach_;
    std::atomic<const Views *> views_{nullptr};
    // Every view set ever published: a thread may still look at an older one.
    std::vector<std::unique_ptr<Views>> allViews_;
    std::mutex loadMutex_;
};

}  // namespace vexo::sim
