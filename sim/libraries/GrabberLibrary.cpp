// libgrablib5: opens boards. A session record carries the board's device and
// applet handles where the board libraries' callers expect them.
#include <cstddef>
#include <cstdint>

#include "common/Export.h"
#include "common/Handles.h"
#include "grablib5.h"
#include "protocol/GrabberSession.h"

extern "C" int64_t QueryBoardInfo(uint64_t device, const char *key);

struct GrabberSession {
    unsigned char reserved[vexo::protocol::grabber_session::kDeviceHandleOffset];
    uint64_t device;
    uint64_t applet;
    uint32_t boardIndex;
};
static_assert(offsetof(GrabberSession, device) == vexo::protocol::grabber_session::kDeviceHandleOffset &&
              offsetof(GrabberSession, applet) == vexo::protocol::grabber_session::kAppletHandleOffset);

VEXOSIM_EXPORT int32_t InitGrabberEx(void) { return 0; }

VEXOSIM_EXPORT GrabberSession *OpenGrabber(uint32_t boardIndex) {
    if (boardIndex >= vexo::sim::kMaxBoards) return nullptr;
    const uint64_t device = vexo::sim::DeviceHandle(boardIndex);
    if (QueryBoardInfo(device, "board/type") < 0) return nullptr;  // no such board is served
    return new GrabberSession{{}, device, vexo::sim::AppletHandle(boardIndex), boardIndex};
}

VEXOSIM_EXPORT void CloseGrabber(GrabberSession *session) { delete session; }
