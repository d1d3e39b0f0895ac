#include "model/ControllerFactory.h"

#include "cxp/CxpController.h"

namespace vexo::genicam {

std::unique_ptr<FirmwareControllerBase> CreateController(ControllerKind kind, uint64_t device, uint64_t applet,
                                                         ControllerOwner *owner, bool, uint32_t) {
    switch (kind) {
        case ControllerKind::kCoaXPress:
            return std::make_unique<CxpController>(device, applet, owner, 0, 0);
        default:
            // Camera Link HS and Camera Link controllers are not part of this build.
            return nullptr;
    }
}

}  // namespace vexo::genicam
