// Camera parameter files saved from and loaded into the simulated camera.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "GenICamRoad.h"

using nox_test::CameraRegister;
using nox_test::EntryOf;
using nox_test::IntegerFeature;
using nox_test::FloatBits;
using nox_test::LoggedRoad;

namespace {

std::vector<std::string> Lines(const std::string &text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

size_t CountStartingWith(const std::vector<std::string> &lines, const std::string &prefix) {
    return static_cast<size_t>(
        std::count_if(lines.begin(), lines.end(), [&](const std::string &line) { return line.rfind(prefix, 0) == 0; }));
}

TEST(CameraParameters, ASavedFileLoadsBackAndRestoresChangedValues) {
    LoggedRoad road;
    NoxCameraHandle *camera = road.Connected(0);
    ASSERT_EQ(Nox_setIntegerValue(camera, "Width", 1024), ERR_NONE);
    ASSERT_EQ(Nox_setFloatValue(camera, "Gain", 3.5), ERR_NONE);
    ASSERT_EQ(Nox_setEnumerationValue(camera, "PixelFormat", "Mono10"), ERR_NONE);
    ASSERT_EQ(Nox_setEnumerationValue(camera, "TriggerSelector", "AcquisitionStart"), ERR_NONE);
    ASSERT_EQ(Nox_setEnumerationValue(camera, "TriggerMode", "On"), ERR_NONE);
    ASSERT_EQ(Nox_setIntegerValue(camera, "SequencerSetSelector", 2), ERR_NONE);
    ASSERT_EQ(Nox_setFloatValue(camera, "SequencerExposureTime", 777.25), ERR_NONE);
    ASSERT_EQ(Nox_setIntegerValue(camera, "SequencerSetSelector", 1), ERR_NONE);
    const auto file = road.Directory() / "camera.txt";
    ASSERT_EQ(Nox_SaveCameraParameters(camera, file.c_str()), ERR_NONE);
    // The selectors are where they were before the save.
    EXPECT_EQ(EntryOf(camera, "TriggerSelector"), "AcquisitionStart");
    EXPECT_EQ(IntegerFeature(camera, "SequencerSetSelector"), 1);

    const std::vector<std::string> lines = Lines(nox_test::ReadFile(file));
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], "# --- GenICam parameter dump");
    EXPECT_EQ(lines[1], "");
    EXPECT_EQ(CountStartingWith(lines, "Width=1024"), 1u);
    EXPECT_EQ(CountStartingWith(lines, "# DeviceVendorName=\"Vexo Vision\""), 1u);
    // Each selector value's block: two triggers, four sequencer sets.
    EXPECT_EQ(CountStartingWith(lines, "TriggerMode="), 2u);
    EXPECT_EQ(CountStartingWith(lines, "SequencerExposureTime="), 4u);
    EXPECT_EQ(CountStartingWith(lines, "SequencerExposureTime=777.25"), 1u);
    EXPECT_EQ(CountStartingWith(lines, "# TriggerSoftware="), 1u);
    EXPECT_EQ(CountStartingWith(lines, "# TestFailingRegister: genicam exception - "), 1u);
    // The save went on after the failing feature (it is not the last one).
    EXPECT_EQ(CountStartingWith(lines, "# TestWriteOnly"), 1u);

    ASSERT_EQ(Nox_setIntegerValue(camera, "Width", 512), ERR_NONE);
    ASSERT_EQ(Nox_setFloatValue(camera, "Gain", 20.0), ERR_NONE);
    ASSERT_EQ(Nox_setEnumerationValue(camera, "PixelFormat", "RGB8"), ERR_NONE);
    ASSERT_EQ(Nox_setEnumerationValue(camera, "TriggerMode", "Off"), ERR_NONE);
    ASSERT_EQ(Nox_setIntegerValue(camera, "SequencerSetSelector", 2), ERR_NONE);
    ASSERT_EQ(Nox_setFloatValue(camera, "SequencerExposureTime", 10.0), ERR_NONE);

    // Stopping at the first failure: a file saved from this camera has none.
    ASSERT_EQ(Nox_LoadCameraParameters(camera, file.c_str(), 1), ERR_NONE);
    EXPECT_EQ(CameraRegister(camera, 0x6008), 1024u);
    EXPECT_EQ(CameraRegister(camera, 0x6024), FloatBits(3.5f));
    EXPECT_EQ(EntryOf(camera, "PixelFormat"), "Mono10");
    ASSERT_EQ(Nox_setEnumerationValue(camera, "TriggerSelector", "AcquisitionStart"), ERR_NONE);
    EXPECT_EQ(EntryOf(camera, "TriggerMode"), "On");
    ASSERT_EQ(Nox_setIntegerValue(camera, "SequencerSetSelector", 2), ERR_NONE);
    double exposure = 0;
    ASSERT_EQ(Nox_getFloatValue(camera, "SequencerExposureTime", &exposure), ERR_NONE);
    EXPECT_EQ(exposure, 777.25);
    EXPECT_TRUE(road.Errors().empty());
}

// The camera's registers are read once per value of the selectors that move
// them: 25 registers once, TriggerMode and TriggerSource once per trigger,
// SequencerExposureTime once per set. Without the register cache it took 51.
TEST(CameraParameters, SavingReadsEachRegisterOncePerSelectorValue) {
    LoggedRoad road;
    NoxCameraHandle *camera = road.Connected(0);
    vexosim_port_stats before{}, after{};
    vexosim_stats(0, 0, &before);
    ASSERT_EQ(Nox_SaveCameraParameters(camera, (road.Directory() / "camera.txt").c_str()), ERR_NONE);
    vexosim_stats(0, 0, &after);
    const uint64_t writes = (after.bytesWritten - before.bytesWritten) / 4;  // every write is one register
    const uint64_t reads = after.commandsReceived - before.commandsReceived - writes;
    EXPECT_LE(reads, 25u + 2 * 2 + 4);
}

TEST(CameraParameters, LoadDropsBlanksSkipsCommentsAndFiresNoCommand) {
    LoggedRoad road;
    NoxCameraHandle *camera = road.Connected(1);
    const auto file = road.Directory() / "handwritten.txt";
    // A line without assignment is dropped like a comment; a quoted value may hold '='.
    nox_test::WriteFile(file, "# notes\n\n   Width   =   512  \r\n\tPixelFormat= Mono12\nno assignment here\n"
                              "DeviceUserID=\"a=b\"\nTriggerSoftware=1\n");
    ASSERT_EQ(Nox_LoadCameraParameters(camera, file.c_str(), 1), ERR_NONE);
    EXPECT_EQ(IntegerFeature(camera, "Width"), 512);
    EXPECT_EQ(EntryOf(camera, "PixelFormat"), "Mono12");
    EXPECT_EQ(nox_test::StringFeature(camera, "DeviceUserID"), "a=b");
    uint32_t done = 0;
    ASSERT_EQ(Nox_isCommandDone(camera, "TriggerSoftware", &done), ERR_NONE);
    EXPECT_EQ(done, 1u);

    const auto comments = road.Directory() / "comments.txt";
    nox_test::WriteFile(comments, "# --- GenICam parameter dump\n\n# Width=64\n#\n");
    EXPECT_EQ(Nox_LoadCameraParameters(camera, comments.c_str(), 1), ERR_NONE);
    EXPECT_EQ(IntegerFeature(camera, "Width"), 512);

    // A line that cannot apply stops the load when asked, with its status; the report of each line and
    // what applied around it are noxcam's params case (Noxcam.ParameterFilesSaveAndLoad).
    const auto failing = road.Directory() / "failing.txt";
    nox_test::WriteFile(failing, "Width=256\nNoSuchFeature=3\nHeight=512\n");
    EXPECT_EQ(Nox_LoadCameraParameters(camera, failing.c_str(), 1), ERR_INVALID_FEATURE);
    EXPECT_EQ(Nox_LoadCameraParameters(camera, failing.c_str(), 0), ERR_NONE);
    EXPECT_EQ(IntegerFeature(camera, "Height"), 512);
}

TEST(CameraParameters, RefusesCallsThatCannotWork) {
    LoggedRoad road;
    NoxCameraHandle *camera = road.Camera(0);
    const auto file = road.Directory() / "camera.txt";
    EXPECT_EQ(Nox_SaveCameraParameters(camera, file.c_str()), ERR_NO_GENICAM_CONNECTION);
    EXPECT_TRUE(road.Logged("Invalid XML connection"));
    road.Connected(0);
    EXPECT_EQ(Nox_SaveCameraParameters(camera, nullptr), ERR_INVALID_FILENAME);
    EXPECT_EQ(Nox_LoadCameraParameters(camera, "", 0), ERR_INVALID_FILENAME);
    EXPECT_TRUE(road.Logged("Invalid param File Name"));
    EXPECT_EQ(Nox_SaveCameraParameters(camera, (road.Directory() / "no/such/folder.txt").c_str()),
              ERR_INVALID_FILENAME);
    EXPECT_EQ(Nox_LoadCameraParameters(camera, (road.Directory() / "absent.txt").c_str(), 0), ERR_INVALID_FILENAME);
    // A file that cannot be written completely is not reported as saved.
    if (std::filesystem::exists("/dev/full")) {
        EXPECT_EQ(Nox_SaveCameraParameters(camera, "/dev/full"), ERR_FILE_ACCESS);
    }
}

}  // namespace
