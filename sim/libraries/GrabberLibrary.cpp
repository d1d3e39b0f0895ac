// libgrablib5: opens boards. A session record carries the board's device and
// applet handles where the board libraries' callers expect them; they name
// the simulator's generation, so a topology change closes the session.
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/Export.h"
#include "common/Handles.h"
#include "grablib5.h"
#include "libraries/PrivateKeys.h"
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
    const uint64_t any = vexo::sim::DeviceHandle(boardIndex, vexo::sim::kAnyGeneration);
    const int64_t generation = QueryBoardInfo(any, std::string(vexo::sim::kOpenBoardKey).c_str());
    if (generation < 0) return nullptr;  // no such board is served
    return new GrabberSession{{}, vexo::sim::DeviceHandle(boardIndex, uint32_t(generation)),
                              vexo::sim::AppletHandle(boardIndex, uint32_t(generation)), boardIndex};
}

VEXOSIM_EXPORT void CloseGrabber(GrabberSession *session) { delete session; }
