#pragma once
#include <string_view>

namespace vexo::sim {

// libopmod asks libvexo_hal, which holds every board, for applet register
// addresses through QueryBoardInfo with this key prefix and the register name.
inline constexpr std::string_view kAppletRegisterKey = "sim/applet-register:";

}  // namespace vexo::sim
