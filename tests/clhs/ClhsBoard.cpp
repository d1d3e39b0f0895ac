#include "ClhsBoard.h"

#include <gtest/gtest.h>

#include "model/CameraOperatorAllocation.h"

namespace clhs_test {

using vexo::genicam::ByteSwap;
using vexo::genicam::ClhsController;
using Thread = vexo::genicam::clhs::LinkStateControllerThread;

int32_t ClhsOwner::AllocateCameraOperator(vexo::genicam::DiscoveryInfo &info, uint32_t cameraMasterId) {
    return vexo::genicam::AllocateCameraOperator(info, cameraMasterId, *controller, true, controller->GetLogger());
}

ClhsUnderTest::ClhsUnderTest(const char *topology, uint32_t portMask, uint32_t index) : board(topology, index) {
    controller = std::make_unique<ClhsController>(board.Device(), board.Applet(), &owner, 1, true, portMask);
    owner.controller = controller.get();
}

ClhsUnderTest::ClhsUnderTest(InForce, uint32_t index, uint32_t portMask) : board(InForce{}, index) {
    controller = std::make_unique<ClhsController>(board.Device(), board.Applet(), &owner, 1, true, portMask);
    owner.controller = controller.get();
}

bool ClhsUnderTest::LinkUp(uint32_t port) const {
    const Thread *thread = controller->LinkThread(port);
    if (thread == nullptr) return false;
    for (int period = 0; period < 20; ++period) {
        if (thread->GetState() == Thread::kUp) return true;
        thread->AwaitPeriods(1, std::chrono::seconds(1));
    }
    return thread->GetState() == Thread::kUp;
}

int32_t ReadCamera(ClhsController &controller, uint32_t port, uint32_t address, uint32_t &value) {
    return controller.ReadRaw(port, address, &value, 4, ByteSwap::kSwapWords, 0);
}

}  // namespace clhs_test
