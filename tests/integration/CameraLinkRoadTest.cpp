// Camera Link boards through the exported interface, with the serial line's
// timing on: scan, link connect, the description from the camera's manifest,
// features, raw access, parameter files, link loss and free.
#include <dirent.h>

#include <atomic>
#include <cstdlib>
#include <future>
#include <thread>

#include "GenICamRoad.h"
#include "Latch.h"

namespace {

using nox_test::EntryOf;
using nox_test::IntegerFeature;
using nox_test::LoggedRoad;

constexpr uint32_t kWidthRegister = 0x6008;
constexpr uint32_t kPixelFormatRegister = 0x6018;
constexpr uint32_t kSerialNumberRegister = 0x0144;
constexpr int64_t kMono10 = 17825795;
constexpr auto kHangBound = std::chrono::seconds(10);

// Two base cameras, each found at 9600 baud and switched to 115200.
const char *kBaseBoard = R"({"boards": [{"model": "cl2-g1", "cameras": [
    {"links": [0], "serial": "CL0001"}, {"links": [1], "serial": "CL0002"}]}]})";

size_t ThreadCount() {
    size_t count = 0;
    if (DIR *tasks = ::opendir("/proc/self/task")) {
        while (const dirent *entry = ::readdir(tasks))
            if (entry->d_name[0] != '.') ++count;
        ::closedir(tasks);
    }
    return count;
}

bool LogHas(const LoggedRoad &road, const std::string &part) {
    for (const nox_test::LogLine &line : nox_test::ReadLogLines(road.Directory() / "library.log"))
        if (line.text.find(part) != std::string::npos) return true;
    return false;
}

// Counts link-loss events per camera slot and opens a latch at each slot's first.
struct LinkLosses {
    std::atomic<int> count[2]{0, 0};
    nox_test::Latch first[2];

    static int32_t Callback(NoxBoardHandle *, NoxCameraHandle *, const NoxEvent *event, void *context) {
        auto *losses = static_cast<LinkLosses *>(context);
        if (event->slot < 2) {
            ++losses->count[event->slot];
            losses->first[event->slot].Open();
        }
        return 0;
    }
};

}  // namespace

TEST(CameraLinkRoad, ScanConnectFeaturesFilesUnplugAndFree) {
    // A thread sanitizer starts its helper thread with a program's first thread: before the count.
    std::thread([] {}).join();
    const size_t threadsBefore = ThreadCount();
    {
        LoggedRoad road(kBaseBoard);
        NoxBoardHandle *board = road.Board();
        ASSERT_EQ(Nox_getCameraCount(board), 2);
        ASSERT_EQ(Nox_LinkConnect(board, nullptr), ERR_NONE);
        NoxCameraHandle *camera = road.Camera(0);
        ASSERT_EQ(Nox_connectCamera(camera), ERR_NONE);
        const NoxCameraInfo *info = Nox_getCameraInfo(camera);
        ASSERT_NE(info, nullptr);
        EXPECT_STREQ(info->serialNumber, "CL0001");
        EXPECT_STREQ(Nox_getCameraInfo(road.Camera(1))->serialNumber, "CL0002");

        // The description copy is the unzipped XML with its terminating zero.
        size_t size = 0;
        ASSERT_EQ(Nox_getGenICamXML(camera, nullptr, &size), ERR_NONE);
        std::vector<char> xml(size);
        ASSERT_EQ(Nox_getGenICamXML(camera, xml.data(), &size), ERR_NONE);
        EXPECT_EQ(std::string(xml.data()).size() + 1, size);
        EXPECT_EQ(std::string(xml.data()).rfind("<?xml", 0), 0u);

        // Features reach the camera's registers over GenCP.
        ASSERT_EQ(Nox_setIntegerValue(camera, "Width", 1024), ERR_NONE);
        EXPECT_EQ(nox_test::CameraRegister(camera, kWidthRegister), 1024u);
        ASSERT_EQ(Nox_setEnumerationValue(camera, "PixelFormat", "Mono10"), ERR_NONE);
        EXPECT_EQ(nox_test::CameraRegister(camera, kPixelFormatRegister), static_cast<uint32_t>(kMono10));

        // A read of 6 bytes moves 6 bytes: nothing is rounded to words.
        char serial[8] = "#######";
        ASSERT_EQ(Nox_memoryReadFromCamera(camera, serial, kSerialNumberRegister, 6), ERR_NONE);
        EXPECT_EQ(std::string(serial, 7), "CL0001#");

        // The camera's GenCP status leaves as the negated code of the error table.
        ASSERT_EQ(vexosim_fault(0, 0, "status:8003", 1), 0);
        EXPECT_EQ(Nox_registerWriteToCamera(camera, 512, kWidthRegister), ERR_GENCP_INVALID_ADDRESS);
        EXPECT_EQ(IntegerFeature(camera, "Width"), 1024) << "the refused write changed nothing";

        const auto file = road.Directory() / "camera.txt";
        ASSERT_EQ(Nox_SaveCameraParameters(camera, file.c_str()), ERR_NONE);
        EXPECT_NE(nox_test::ReadFile(file).find("Width=1024"), std::string::npos);
        ASSERT_EQ(Nox_setIntegerValue(camera, "Width", 512), ERR_NONE);
        ASSERT_EQ(Nox_setEnumerationValue(camera, "PixelFormat", "Mono8"), ERR_NONE);
        ASSERT_EQ(Nox_LoadCameraParameters(camera, file.c_str(), 1), ERR_NONE);
        EXPECT_EQ(nox_test::CameraRegister(camera, kWidthRegister), 1024u);
        EXPECT_EQ(EntryOf(camera, "PixelFormat"), "Mono10");

        // Unplugging reports each camera once; the second loss comes after
        // further monitoring passes that must not report the first again.
        LinkLosses losses;
        ASSERT_EQ(Nox_RegisterEventCallback(board, &LinkLosses::Callback, &losses), ERR_NONE);
        ASSERT_EQ(vexosim_plug(0, 0, 0), 0);
        nox_test::EndIfHung(losses.first[0].Wait(kHangBound), "no link loss on port 0");
        ASSERT_EQ(vexosim_plug(0, 1, 0), 0);
        nox_test::EndIfHung(losses.first[1].Wait(kHangBound), "no link loss on port 1");
        EXPECT_EQ(losses.count[0].load(), 1);
        uint32_t width = 0;
        EXPECT_NE(Nox_registerReadFromCamera(camera, &width, kWidthRegister), ERR_NONE);
    }
    EXPECT_EQ(ThreadCount(), threadsBefore) << "a thread of the board outlived Nox_freeBoard";
}

TEST(CameraLinkRoad, AMediumCameraOnAGroupTwoBoardWithAPlainDescription) {
    LoggedRoad road(R"({"boards": [{"model": "cl2-g2", "applet": {"port_config": "medium"},
        "cameras": [{"links": [0, 1], "serial": "CL0003", "xml": {"zip": false}}]}]})");
    ASSERT_EQ(Nox_getCameraCount(road.Board()), 1) << "connector 1 carries the same camera";
    NoxCameraHandle *camera = road.Connected(0);
    EXPECT_EQ(IntegerFeature(camera, "Width"), static_cast<int64_t>(nox_test::CameraRegister(camera, kWidthRegister)));
    uint32_t value = 0;
    EXPECT_EQ(Nox_DirectRegisterRead(road.Board(), 1, 0, &value), ERR_NO_CAMERA_FOUND);
    EXPECT_EQ(Nox_DirectRegisterRead(road.Board(), 0, 0, &value), ERR_NONE);
    EXPECT_EQ(value, 0x00010000u) << "GenCP version 1.0";
}

TEST(CameraLinkRoad, AHeldSerialPortIsLoggedAndLeavesNoCamera) {
    LoggedRoad road(R"({"boards": [{"model": "cl2-g1", "cameras": [{"links": [0]}]}]})", false);
    ASSERT_EQ(vexosim_serial_claim(0, 0, 1), 0);
    EXPECT_EQ(Nox_scanPorts(road.Board(), 0x3, 0, 0), ERR_GENCP_ERROR);
    ASSERT_EQ(vexosim_serial_claim(0, 0, 0), 0);
    EXPECT_EQ(Nox_getCameraCount(road.Board()), 0);
    EXPECT_TRUE(LogHas(road, "Cl port is in use!"));
}

TEST(CameraLinkRoad, FreeingTheBoardEndsALineRateSearch) {
    // Without the abort the search for a 115200-baud camera would wait
    // 4 candidates x 3 sendings x 20 s.
    ::setenv("VEXO_CL_GENCP_ACK_TIMEOUT", "20000", 1);
    auto road = std::make_unique<LoggedRoad>(R"({"boards": [{"model": "cl2-g1", "cameras": [
        {"links": [0], "baud": 115200}]}]})", false);
    NoxBoardHandle *board = road->Board();
    auto scan = std::async(std::launch::async, [board] { return Nox_scanPorts(board, 0x1, 0, 0); });
    ASSERT_TRUE([] {
        const auto deadline = std::chrono::steady_clock::now() + kHangBound;
        vexosim_port_stats stats{};
        while (vexosim_stats(0, 0, &stats) == 0 && stats.framingErrors == 0) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return true;
    }()) << "the search never reached the camera";
    road.reset();  // frees the board while the scan runs
    ASSERT_EQ(scan.wait_for(kHangBound), std::future_status::ready) << "the search went on";
    EXPECT_LT(scan.get(), 0);
    ::unsetenv("VEXO_CL_GENCP_ACK_TIMEOUT");
}

TEST(CameraLinkRoad, TwoThreadsReadFeaturesWhileTheSerialThreadsRun) {
    LoggedRoad road(kBaseBoard);
    NoxCameraHandle *camera = road.Connected(0);
    ASSERT_EQ(Nox_setIntegerValue(camera, "Width", 640), ERR_NONE);
    ASSERT_EQ(Nox_setEnumerationValue(camera, "PixelFormat", "Mono10"), ERR_NONE);
    nox_test::Latch start;
    const auto reader = [&] {
        start.Wait(kHangBound);
        int wrong = 0;
        for (int i = 0; i < 20; ++i) {
            int64_t width = 0;
            const char *format = nullptr;
            if (Nox_getIntegerValue(camera, "Width", &width) != ERR_NONE || width != 640) ++wrong;
            if (Nox_getEnumerationValueAsString(camera, "PixelFormat", &format) != ERR_NONE ||
                format == nullptr || std::string(format) != "Mono10")
                ++wrong;
            uint32_t value = 0;
            if (Nox_registerReadFromCamera(camera, &value, kWidthRegister) != ERR_NONE || value != 640) ++wrong;
        }
        return wrong;
    };
    auto first = std::async(std::launch::async, reader);
    auto second = std::async(std::launch::async, reader);
    start.Open();
    nox_test::EndIfHung(first.wait_for(kHangBound * 3) == std::future_status::ready &&
                            second.wait_for(kHangBound * 3) == std::future_status::ready,
                        "feature reads");
    EXPECT_EQ(first.get(), 0);
    EXPECT_EQ(second.get(), 0);
}
