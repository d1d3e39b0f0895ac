#pragma once
#include <cstdint>

namespace vexo::genicam {

class DiscoveryInfo;

// The object that owns a link controller (the board object). Controllers call
// back into it during discovery.
class ControllerOwner {
public:
    virtual ~ControllerOwner() = default;

    // Chooses a free camera operator of the applet for the camera and connects
    // the camera's links to it in `info`; a status (0 on success).
    virtual int32_t AllocateCameraOperator(DiscoveryInfo &info, uint32_t cameraMasterId) = 0;
};

}  // namespace vexo::genicam
