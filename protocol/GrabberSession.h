#pragma once
// The grabber library's session record, as its callers read it: the board's
// device and applet handles as 64-bit words at fixed byte offsets. The rest of
// the record is the library's own.
#include <cstddef>

namespace vexo::protocol::grabber_session {

inline constexpr size_t kDeviceHandleOffset = 408;
inline constexpr size_t kAppletHandleOffset = 416;

}  // namespace vexo::protocol::grabber_session
