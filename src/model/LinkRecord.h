#pragma once
#include <cstdint>

namespace vexo::genicam {

// One link of a camera: where it arrives on the board and which applet port
// (and AP master, extension) it feeds. Every field kNone until known.
struct LinkRecord {
    static constexpr uint32_t kNone = 0xFFFFFFFFu;

    uint32_t cameraPort = kNone;
    uint32_t apPort = kNone;
    uint32_t apMasterId = kNone;
    uint32_t apExtensionId = kNone;

    bool HasCameraPort() const { return cameraPort != kNone; }
    bool HasApPort() const { return apPort != kNone; }
};

}  // namespace vexo::genicam
