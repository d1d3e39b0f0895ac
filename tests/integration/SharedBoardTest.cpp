// Two programs on one board of a shared virtual frame grabber instance, through the exported interface.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "GenICamRoad.h"
#include "SimInstanceChoice.h"
#include "ToolProcess.h"
#include "protocol/CxpBootstrap.h"

namespace bootstrap = vexo::protocol::cxp::bootstrap;

// Each program reads its own register of the same camera for 10 s while the other reads another:
// with the board's lock held from each command to its answer, no answer reaches the wrong program.
TEST(SharedBoard, TwoProgramsReadingOneCameraNeverGetEachOthersData) {
    nox_test_own_sim_instance("shared-board");
    nox_test::LoggedRoad road;
    NoxCameraHandle *camera = road.Camera(0);
    ASSERT_EQ(Nox_LinkConnect(road.Board(), camera), ERR_NONE);
    const std::string layout = (road.Directory() / "layout.xml").string();
    ASSERT_EQ(Nox_SaveBoardConfiguration(road.Board(), layout.c_str()), ERR_NONE);
    const uint32_t revision = nox_test::CameraRegister(camera, bootstrap::kRevision);
    ASSERT_NE(revision, vexo::protocol::cxp::kStandardMagic);

    nox_test::ToolRun peer;
    std::thread other([&] {
        peer = nox_test::RunTool({REGISTER_LOOP_PEER,
                                  {layout, std::to_string(bootstrap::kStandard), std::to_string(vexo::protocol::cxp::kStandardMagic),
                                   "10"},
                                  {},
                                  std::chrono::seconds(60)});
    });
    unsigned long reads = 0, wrong = 0, failed = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < end) {
        uint32_t value = 0;
        ++reads;
        if (Nox_registerReadFromCamera(camera, &value, bootstrap::kRevision) != ERR_NONE)
            ++failed;
        else if (value != revision)
            ++wrong;
    }
    other.join();
    EXPECT_EQ(peer.exitCode, 0) << peer.out << peer.err;
    EXPECT_EQ(wrong, 0u);
    EXPECT_EQ(failed, 0u);
    EXPECT_GT(reads, 0u);
}
