#pragma once
#include <string_view>

namespace vexo::sim {

// libopmod asks libvexo_hal, which holds every board, for applet register
// addresses through QueryBoardInfo with this key prefix and the register name.
inline constexpr std::string_view kAppletRegisterKey = "sim/applet-register:";
// libgrablib5 opens a session with this key: the answer is the generation of
// the simulator instance the session belongs to, -1 when no board is there.
inline constexpr std::string_view kOpenBoardKey = "sim/open-board";

}  // namespace vexo::sim
