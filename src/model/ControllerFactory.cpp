#include "model/ControllerFactory.h"

#include "clhs/ClhsController.h"
#include "cxp/CxpController.h"

namespace vexo::genicam {

std::unique_ptr<FirmwareControllerBase> CreateController(ControllerKind kind, uint64_t device, uint64_t applet,
                                                         ControllerOwner *owner, bool optionFlag,
                                                         uint32_t optionWord) {
    switch (kind) {
        case ControllerKind::kCameraLinkHs:
            return std::make_unique<ClhsController>(device, applet, owner, 1, optionFlag, optionWord);
        case ControllerKind::kCoaXPress:
            return std::make_unique<CxpController>(device, applet, owner, 0, 0);
        default:
            // The Camera Link controller is not part of this build.
            return nullptr;
    }
}

}  // namespace vexo::genicam
