#pragma once
// The road from a grabber session to connected cameras, against the virtual
// frame grabber, through the exported interface only.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "LogFile.h"
#include "TempDirectory.h"
#include "grablib5.h"
#include "nox_genicam.h"
#include "vexosim.h"

namespace nox_test {

// Errors of the library go to a log file the test reads afterwards.
class LoggedRoad {
public:
    // The topology text, or null for the default topology: a 2-link camera on
    // ports 0 and 1 (slot 0) and a 1-link camera on port 2 (slot 1). Without
    // the scan the board knows no camera yet. Every settling wait is 0 unless
    // `fastWaits` is false, so that a road takes milliseconds.
    explicit LoggedRoad(const char *topology = nullptr, bool scan = true, bool fastWaits = true) {
        for (const char *wait : {"VEXO_CXP_WAIT_AFTER_LINK_RESET_ON_EACH_PORT", "VEXO_CXP_WAIT_AFTER_LINK_RESET_DONE",
                                 "VEXO_CXP_WAIT_AFTER_LINK_LOCK_FOUND", "VEXO_CXP_WAIT_AFTER_CAMERA_CONFIG_CHANGED",
                                 "VEXO_CXP_WAIT_AFTER_UPLINK_SPEED_CHANGED", "VEXO_CXP_WAIT_AFTER_POWERUP",
                                 "VEXO_CXP_WAIT_AFTER_POWERDOWN", "VEXO_NOX_SYNC_MONITOR_INITIAL_WAIT_IN_MS",
                                 "VEXO_CL_CONNECTION_RETRY_WAIT"})
            if (fastWaits) ::setenv(wait, "0", 1);
        ::setenv("VEXO_LOG", "5", 1);
        ::setenv("VEXO_LOG_FILE", logFile_.c_str(), 1);
        GenICamInit();
        EXPECT_EQ(vexosim_load_topology(topology), 0);
        session_ = OpenGrabber(0);
        EXPECT_NE(session_, nullptr);
        EXPECT_EQ(Nox_initBoardEx(session_, 0, &board_, 0xF), ERR_NONE);
        if (scan) {
            EXPECT_EQ(Nox_scanPorts(board_, 0xF, 0, 0), ERR_NONE);
        }
    }
    ~LoggedRoad() {
        Nox_freeBoard(board_);
        CloseGrabber(session_);
        GenICamDeinit();
        if (testing::Test::HasFailure()) PrintLogTail();
    }
    LoggedRoad(const LoggedRoad &) = delete;
    LoggedRoad &operator=(const LoggedRoad &) = delete;

    NoxBoardHandle *Board() const { return board_; }
    NoxCameraHandle *Camera(uint32_t slot) const {
        NoxCameraHandle *camera = nullptr;
        EXPECT_EQ(Nox_getCameraByIndex(board_, slot, &camera), ERR_NONE);
        return camera;
    }
    // The camera in the slot with its links up and its GenICam connection made.
    NoxCameraHandle *Connected(uint32_t slot) const {
        NoxCameraHandle *camera = Camera(slot);
        EXPECT_EQ(Nox_LinkConnect(board_, camera), ERR_NONE);
        EXPECT_EQ(Nox_connectCamera(camera), ERR_NONE);
        return camera;
    }

    // The messages of the exported interface's error records written so far
    // (the relay writes each at once).
    std::vector<std::string> Errors() const {
        std::vector<std::string> errors;
        for (const LogLine &line : ReadLogLines(logFile_))
            if (line.level == "error" && line.logger == "vexo.genicam.lib")
                errors.push_back(line.text.substr(line.text.find('|') + 1));
        return errors;
    }
    bool Logged(const std::string &error) const {
        const std::vector<std::string> errors = Errors();
        for (const std::string &text : errors)
            if (text.find(error) != std::string::npos) return true;
        return false;
    }

    const TempDirectory &Directory() const { return directory_; }

private:
    // A failed road leaves its library log behind in the test's output: a failure seen once in CI
    // can be read there rather than guessed at.
    void PrintLogTail() const {
        const std::string log = ReadFile(logFile_);
        constexpr size_t kTail = 64 * 1024;
        std::cerr << "--- end of the library log ---\n"
                  << (log.size() > kTail ? log.substr(log.size() - kTail) : log) << "--- until here ---\n";
    }

    TempDirectory directory_;
    std::filesystem::path logFile_ = directory_ / "library.log";
    GrabberSession *session_ = nullptr;
    NoxBoardHandle *board_ = nullptr;
};

// A camera register as a number (registers are big-endian on the wire).
inline uint32_t CameraRegister(NoxCameraHandle *camera, uint32_t address) {
    uint32_t value = 0xDEADBEEF;
    EXPECT_EQ(Nox_registerReadFromCamera(camera, &value, address), ERR_NONE) << std::hex << address;
    return value;
}

inline uint32_t FloatBits(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

inline uint64_t CommandsReceived(uint32_t port) {
    vexosim_port_stats stats{};
    vexosim_stats(0, port, &stats);
    return stats.commandsReceived;
}

}  // namespace nox_test
