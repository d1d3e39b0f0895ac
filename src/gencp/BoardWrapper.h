#pragma once
#include <cstdint>

namespace vexo::genicam {

// The board a Camera Link stack works on: the hardware library's device
// handle and the applet handle of the board's session. Shared by the objects
// of one board; the transmitters hold it weakly, so a call on a board that is
// gone fails instead of using a stale handle.
struct BoardWrapper {
    uint64_t device = 0;
    uint64_t applet = 0;
};

}  // namespace vexo::genicam
