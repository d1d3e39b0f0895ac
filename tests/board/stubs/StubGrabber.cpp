// A stand-in grabber library whose sessions carry device 0x1000 + index and applet 0x2000 + index.
#include <cstdint>
#include <cstring>

#include "protocol/GrabberSession.h"

#define EXPORT extern "C" __attribute__((visibility("default")))

struct GrabberSession {
    unsigned char record[512];
};

EXPORT int32_t InitGrabberEx() { return 0; }
EXPORT GrabberSession *OpenGrabber(uint32_t index) {
    if (index > 3) return nullptr;
    auto *session = new GrabberSession{};
    const uint64_t device = 0x1000 + index, applet = 0x2000 + index;
    std::memcpy(session->record + vexo::protocol::grabber_session::kDeviceHandleOffset, &device, 8);
    std::memcpy(session->record + vexo::protocol::grabber_session::kAppletHandleOffset, &applet, 8);
    return session;
}
EXPORT void CloseGrabber(GrabberSession *session) { delete session; }
