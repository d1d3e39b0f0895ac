#include "model/ControllerFactory.h"

#include "cxp/CxpController.h"
#include "gencp/CameraLinkController.h"

namespace vexo::genicam {

std::unique_ptr<FirmwareControllerBase> CreateController(ControllerKind kind, uint64_t device, uint64_t applet,
                                                         ControllerOwner *owner, bool, uint32_t) {
    switch (kind) {
        case ControllerKind::kCoaXPress:
            return std::make_unique<CxpController>(device, applet, owner, 0, 0);
        case ControllerKind::kCameraLink:
            return std::make_unique<CameraLinkController>(device, applet, owner);
        default:
            // The Camera Link HS controller is not part of this build.
            return nullptr;
    }
}

}  // namespace vexo::genicam
