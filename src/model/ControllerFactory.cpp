#include "model/ControllerFactory.h"

#include "clhs/ClhsController.h"
#include "cxp/CxpController.h"
#include "gencp/CameraLinkController.h"

namespace vexo::genicam {

std::unique_ptr<FirmwareControllerBase> CreateController(ControllerKind kind, uint64_t device, uint64_t applet,
                                                         ControllerOwner *owner, bool optionFlag,
                                                         uint32_t optionWord) {
    switch (kind) {
        case ControllerKind::kCameraLinkHs:
            return std::make_unique<ClhsController>(device, applet, owner, 1, optionFlag, optionWord);
        case ControllerKind::kCoaXPress:
            return std::make_unique<CxpController>(device, applet, owner, 0, 0);
        case ControllerKind::kCameraLink:
            return std::make_unique<CameraLinkController>(device, applet, owner);
        default:
            // A technology without a controller in this build.
            return nullptr;
    }
}

}  // namespace vexo::genicam
