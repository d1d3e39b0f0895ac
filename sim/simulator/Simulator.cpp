#include "simulator/Simulator.h"

#include <cstdio>
#include <cstring>
#include <sstream>

#include "topology/TopologyParser.h"

namespace vexo::sim {
namespace {

// A board call holds its lock for microseconds; one held this long belongs
// to a process that is stopped, and the call fails rather than hang.
constexpr std::chrono::seconds kBoardLockBound{5};

std::string InstanceNameOrEmpty() { return InstanceInForce().value_or(""); }

std::string_view AreaText(const SharedSegment &segment, const ByteArea &area) {
    return {reinterpret_cast<const char *>(segment.Base() + area.offset), area.size};
}

ByteArea StoreText(uint8_t *segment, uint64_t &cursor, const std::string &text) {
    std::memcpy(segment + cursor, text.data(), text.size());
    const ByteArea area{cursor, uint32_t(text.size())};
    cursor += (text.size() + 7) & ~size_t(7);
    return area;
}

// A later generation, never 0 in its low 16 bits: handles use 0 for "any".
uint32_t NextGeneration(uint32_t generation) {
    do ++generation;
    while (HandleGeneration(generation) == kAnyGeneration);
    return generation;
}

}  // namespace

// Never destroyed: threads of the library under test may still call in while
// the process exits.
Simulator &Simulator::Instance(Attach attach) {
    static Simulator *const simulator = new Simulator(attach, InstanceNameOrEmpty());
    return *simulator;
}

Simulator::Simulator(Attach attach, std::string instance) : segment_(std::move(instance)), attach_(attach) {
    if (segment_.Instance().empty()) {
        Report(std::string(kInstanceVariable) + " is not a name of letters, digits, '-' and '_'");
        return;
    }
    if (attach_ == Attach::AsItIs)
        Connect(std::nullopt, false);
    else
        Connect(LoadTopologyInForce(), false);
}

int32_t Simulator::Load(const char *jsonText) {
    if (segment_.Instance().empty()) return -1;
    return Connect(LoadTopologyText(jsonText), true);
}

int32_t Simulator::Reset() {
    if (segment_.Instance().empty()) return -1;
    return Connect(std::nullopt, true);
}

void Simulator::Report(const std::string &what) const {
    std::fprintf(stderr, "vexosim: %s; no board is served\n", what.c_str());
}

// Under the building lock: attach to the instance as it is when it serves the
// wanted topology (or any, without one), build it otherwise.
int32_t Simulator::Connect(std::optional<TopologyLoad> wanted, bool rebuild) {
    std::lock_guard loading(loadMutex_);
    if (auto error = segment_.Open()) {
        Report(*error);
        return -1;
    }
    struct Closer {
        SharedSegment &segment;
        ~Closer() { segment.Close(); }
    } closer{segment_};
    const bool ready = segment_.Ready();
    if (ready && !rebuild) {
        const auto *loaded = wanted ? std::get_if<LoadedTopology>(&*wanted) : nullptr;
        if (!wanted || (loaded && loaded->Identity() == AreaText(segment_, segment_.Layout().header.identity))) {
            AttachViews();
            return views_.load() ? 0 : -1;
        }
    }
    if (!wanted && ready) {  // a reset: the topology the instance serves, again
        const SegmentHeader &header = segment_.Layout().header;
        wanted = LoadStoredTopology(std::string(AreaText(segment_, header.topologyText)),
                                    std::string(AreaText(segment_, header.identity)), header.origin);
    }
    if (!wanted) wanted = LoadTopologyInForce();
    if (auto *error = std::get_if<std::string>(&*wanted)) {
        Report(*error);
        Publish(nullptr);
        return -1;
    }
    return Build(std::get<LoadedTopology>(*wanted));
}

// A new generation in the power-on state. Everything that can fail (files,
// memory) is settled before the instance is touched.
int32_t Simulator::Build(const LoadedTopology &loaded) {
    auto descriptions = LoadDescriptions(loaded.topology, loaded.baseFolder);
    if (auto *error = std::get_if<std::string>(&descriptions)) {
        Report(loaded.origin + ": " + *error);
        Publish(nullptr);
        return -1;
    }
    const TopologyDescriptions &images = std::get<TopologyDescriptions>(descriptions);
    const std::string identity = loaded.Identity();
    const uint64_t areas = CameraAreaBytes(loaded.topology, images) + identity.size() + loaded.text.size() + 16;
    if (areas > kMaxByteAreaBytes) {
        Report(loaded.origin + ": the cameras' descriptions and scratch memory take more than 1 GiB");
        Publish(nullptr);
        return -1;
    }
    if (auto error = segment_.Reserve(kByteAreasOffset + areas)) {
        Report(*error);
        Publish(nullptr);
        return -1;
    }
    SegmentHeader &header = segment_.Layout().header;
    const bool replacing = segment_.Ready();
    const uint32_t previous = header.magic == kSegmentMagic ? header.generation : 0;
    if (!replacing) InitialiseFixedPart();
    if (replacing && !LockAllSlots()) {
        Report("a board of instance \"" + segment_.Instance() + "\" stays locked");
        return -1;
    }
    // A builder dying from here on leaves it to be rebuilt. The fence keeps the
    // state's changes behind the flag for readers without the board's lock.
    __atomic_store_n(&header.ready, 0u, __ATOMIC_RELAXED);
    std::atomic_thread_fence(std::memory_order_release);
    uint64_t cursor = kByteAreasOffset;
    header.identity = StoreText(segment_.Base(), cursor, identity);
    header.topologyText = StoreText(segment_.Base(), cursor, loaded.text);
    InstallBoards(loaded.topology, images, segment_.Layout(), segment_.Base(), cursor);
    std::snprintf(header.origin, sizeof header.origin, "%s", loaded.origin.c_str());
    header.boardCount = uint32_t(loaded.topology.boards.size());
    header.totalBytes = std::max<uint64_t>(header.totalBytes, cursor);
    __atomic_store_n(&header.generation, NextGeneration(previous), __ATOMIC_RELAXED);
    __atomic_store_n(&header.ready, 1u, __ATOMIC_RELEASE);
    Publish(std::make_unique<Views>(
        Views{header.generation, loaded.topology, MakeBoardViews(loaded.topology, segment_.Layout(), segment_.Base()),
              BoardLockGroups(loaded.topology)}));
    if (replacing) UnlockAllSlots();
    if (replacing && !segment_.Private())
        std::fprintf(stderr, "vexosim: instance \"%s\" now serves %s (generation %u); sessions opened before are closed\n",
                     segment_.Instance().c_str(), loaded.origin.c_str(), header.generation);
    return 0;
}

// A new segment, or one whose builder died half-way: nobody else uses it.
void Simulator::InitialiseFixedPart() {
    SegmentLayout &layout = segment_.Layout();
    const uint32_t generation = layout.header.magic == kSegmentMagic ? layout.header.generation : 0;
    layout.header = SegmentHeader{};
    layout.header.magic = kSegmentMagic;
    layout.header.layoutVersion = kLayoutVersion;
    layout.header.generation = generation;
    for (BoardSlot &slot : layout.boards) {
        slot.lock.Initialise(false);
        slot.channelLock.Initialise(true);
        slot.present = 0;
    }
}

// In board order, as every process that takes more than one does.
bool Simulator::LockAllSlots() {
    for (uint32_t index = 0; index < kMaxBoards; ++index)
        if (segment_.Layout().boards[index].lock.Lock(kBoardLockBound) == RobustMutex::Result::Failed) {
            while (index-- > 0) segment_.Layout().boards[index].lock.Unlock();
            return false;
        }
    return true;
}

void Simulator::UnlockAllSlots() {
    for (BoardSlot &slot : segment_.Layout().boards) slot.lock.Unlock();
}

// Views of the boards the instance serves now, from the topology text it keeps.
void Simulator::AttachViews() {
    const SegmentHeader &header = segment_.Layout().header;
    const std::string text(AreaText(segment_, header.topologyText));
    TopologyResult parsed = text.empty() ? TopologyResult(DefaultTopology()) : ParseTopology(text);
    auto *topology = std::get_if<Topology>(&parsed);
    if (!topology || topology->boards.size() != header.boardCount) {
        Report("instance \"" + segment_.Instance() + "\" holds a topology this program cannot read");
        return Publish(nullptr);
    }
    Publish(std::make_unique<Views>(
        Views{header.generation, *topology, MakeBoardViews(*topology, segment_.Layout(), segment_.Base()),
              BoardLockGroups(*topology)}));
}

void Simulator::Publish(std::unique_ptr<Views> views) {
    views_.store(views.get(), std::memory_order_release);
    if (views) allViews_.push_back(std::move(views));
}

// Another process changed the instance: this one follows it as it now is
// (or builds it, should its builder have died half-way).
void Simulator::Refresh() {
    if (Connect(std::nullopt, false) != 0) Publish(nullptr);
}

bool Simulator::Current(const Views &views) const {
    const SegmentHeader &header = segment_.Layout().header;
    return __atomic_load_n(&header.ready, __ATOMIC_ACQUIRE) != 0 &&
           __atomic_load_n(&header.generation, __ATOMIC_RELAXED) == views.generation;
}

// A session's handle names a board of these views, in their generation (or in any).
bool Simulator::Serves(const Views &views, uint32_t index, uint32_t generation) {
    return index < views.boards.size() &&
           (generation == kAnyGeneration || generation == HandleGeneration(views.generation));
}

bool Simulator::LockSlot(BoardSlot &slot, const Views &views, uint32_t index) {
    const RobustMutex::Result result = slot.lock.Lock(kBoardLockBound);
    if (result == RobustMutex::Result::Failed) return false;
    if (result == RobustMutex::Result::OwnerDied && Current(views) && index < views.boards.size())
        views.boards[index]->RepairTransientState();
    return true;
}

std::span<const uint32_t> Simulator::BoardsLockedFor(const Views &views, const uint32_t &index) {
    if (index < views.lockGroups.size()) return views.lockGroups[index];
    return {&index, 1};
}

bool Simulator::LockBoards(const Views &views, const uint32_t &index) {
    const std::span<const uint32_t> boards = BoardsLockedFor(views, index);
    for (size_t i = 0; i < boards.size(); ++i)
        if (!LockSlot(segment_.Layout().boards[boards[i]], views, boards[i])) {
            while (i-- > 0) segment_.Layout().boards[boards[i]].lock.Unlock();
            return false;
        }
    return true;
}

void Simulator::UnlockBoards(const Views &views, const uint32_t &index) {
    for (uint32_t board : BoardsLockedFor(views, index)) segment_.Layout().boards[board].lock.Unlock();
}

std::optional<uint32_t> Simulator::OpenBoard(uint32_t index) {
    if (!WithBoard(index, kAnyGeneration, false, [](Board &) { return true; })) return std::nullopt;
    const Views *views = views_.load(std::memory_order_acquire);
    if (!views) return std::nullopt;
    return views->generation;
}

int32_t Simulator::LockChannels(uint32_t board, uint32_t timeoutMs) {
    const Views *views = views_.load(std::memory_order_acquire);
    if (!views || board >= views->boards.size()) return -1;
    const RobustMutex::Result result =
        segment_.Layout().boards[board].channelLock.Lock(std::chrono::milliseconds(timeoutMs));
    return result == RobustMutex::Result::Failed ? -1 : 0;
}

int32_t Simulator::UnlockChannels(uint32_t board) {
    const Views *views = views_.load(std::memory_order_acquire);
    if (!views || board >= kMaxBoards) return -1;
    return segment_.Layout().boards[board].channelLock.Unlock() ? 0 : -1;
}

std::string Simulator::Status() {
    std::ostringstream out;
    const Views *views = views_.load(std::memory_order_acquire);
    out << "instance \"" << segment_.Instance() << "\"";
    if (!segment_.Private()) out << " (" << segment_.Name() << ")";
    if (!views) return out.str() + ": no board is served\n";
    out << ", generation " << views->generation << ", " << (segment_.Layout().header.totalBytes + (1 << 19)) / (1 << 20)
        << " MiB, topology " << segment_.Layout().header.origin << "\n";
    for (uint32_t index = 0; index < views->boards.size(); ++index)
        WithBoard(index, kAnyGeneration, 0, [&](Board &board) { return board.Describe(out), 0; });
    return out.str();
}

}  // namespace vexo::sim
