#pragma once
#include <cstdint>
#include <type_traits>

#include "board/ClBoardState.h"
#include "board/ClhsBoardState.h"
#include "board/CxpBoardState.h"
#include "common/Handles.h"
#include "instance/RobustMutex.h"

namespace vexo::sim {

// The simulator's memory, shared by every process of an instance. Plain
// data only: no pointers, no virtual functions, no library containers, so
// that any process can map it anywhere. A change of this layout changes
// kLayoutVersion, which is part of the segment's name.
inline constexpr uint64_t kSegmentMagic = 0x4D49534F58455621ull;  // "!VEXOSIM"
// (2 is the layout that adds the Camera Link boards alone.)
inline constexpr uint32_t kLayoutVersion = 3;
inline constexpr uint32_t kOriginBytes = 256;

// One board: its locks and its state.
struct BoardSlot {
    RobustMutex lock;         // guards the state, held for one call
    RobustMutex channelLock;  // one program at a time on the board's control channels
    uint32_t present = 0;     // a board of the topology sits here
    CxpBoardState cxp;
    ClBoardState cl;
    ClhsBoardState clhs;
};

struct SegmentHeader {
    uint64_t magic;
    uint32_t layoutVersion;
    uint32_t ready;       // set last, by whoever built the segment
    uint32_t generation;  // counts the topologies the instance served
    uint32_t boardCount;
    uint64_t totalBytes;
    // What a process compares with its own topology, and the text it builds
    // its views of the boards from (empty: the built-in default).
    ByteArea identity;
    ByteArea topologyText;
    char origin[kOriginBytes];  // where the topology came from, for people
};

struct SegmentLayout {
    SegmentHeader header;
    BoardSlot boards[kMaxBoards];
};

// Bytes after the fixed part (descriptions, scratch memory, topology text) start here.
inline constexpr uint64_t kByteAreasOffset = (sizeof(SegmentLayout) + 63) & ~uint64_t(63);
// The byte areas of one topology may take at most this much.
inline constexpr uint64_t kMaxByteAreaBytes = uint64_t(1) << 30;
inline constexpr uint64_t kMaxSegmentBytes = kByteAreasOffset + kMaxByteAreaBytes;

static_assert(std::is_trivially_copyable_v<SegmentLayout> && std::is_standard_layout_v<SegmentLayout>);

}  // namespace vexo::sim
