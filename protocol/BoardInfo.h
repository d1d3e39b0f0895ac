#pragma once
// Keys of the hardware library's QueryBoardInfo beyond the board's identity,
// answered by the virtual frame grabber and read by the library.
#include <cstdint>

namespace vexo::protocol::board_info {

// Which programs share a board's register lock. A hardware library that does
// not know the key (a negative answer) or answers kMachineScope has boards of
// this machine: every program of the machine shares their locks. A virtual
// board is a board of its simulator instance only: kProcessScope when this
// process alone reaches it, any larger value a scope the programs of the
// instance share.
inline constexpr const char *kLockScope = "board/lock-scope";
inline constexpr int64_t kMachineScope = 0;
inline constexpr int64_t kProcessScope = 1;

}  // namespace vexo::protocol::board_info
