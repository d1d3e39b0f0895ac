// The README shows the example program as it is built and run here.
#include <gtest/gtest.h>

#include "TempDirectory.h"
#include "ToolProcess.h"

namespace nox_test {
namespace {

TEST(Readme, ShowsTheExampleProgramVerbatim) {
    const std::string example = ReadFile(EXAMPLE_SOURCE);
    ASSERT_FALSE(example.empty());
    EXPECT_NE(ReadFile(README_FILE).find(example), std::string::npos)
        << "README.md must hold examples/connect_camera.c unchanged";
}

TEST(Readme, ExampleProgramReadsTheWidthOfTheFirstCamera) {
    ToolLaunch launch{EXAMPLE_PROGRAM, {}, {}, std::chrono::seconds(60)};
    for (const char *wait : {"VEXO_CXP_WAIT_AFTER_LINK_RESET_DONE", "VEXO_CXP_WAIT_AFTER_CAMERA_CONFIG_CHANGED",
                             "VEXO_CXP_WAIT_AFTER_UPLINK_SPEED_CHANGED", "VEXO_CXP_WAIT_AFTER_POWERUP"})
        launch.environment[wait] = "0";
    launch.environment["VEXO_SIM_CONFIG"] = "";  // the default topology
    const ToolRun run = RunTool(launch);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "Vexo Vision VX-12M: Width = 4096\n");

    TempDirectory folder;
    WriteFile(folder / "none.json", R"({"boards": [{"model": "cxp4-c", "power_on_at_start": false}]})");
    launch.environment["VEXO_SIM_CONFIG"] = (folder / "none.json").string();
    const ToolRun empty = RunTool(launch);
    EXPECT_EQ(empty.exitCode, 1);
    EXPECT_EQ(empty.err, "failed: -1210 (Automatic discovery didn't find any camera)\n");
}

}  // namespace
}  // namespace nox_test
