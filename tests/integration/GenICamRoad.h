#pragma once
// The road from a grabber session to connected cameras, against the virtual
// frame grabber, through the exported interface only.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "LogFile.h"
#include "TempDirectory.h"
#include "grablib5.h"
#include "nox_genicam.h"
#include "vexosim.h"

namespace nox_test {

// A board of the simulator opened through the exported interface, freed before its session closes.
class OpenBoard {
public:
    explicit OpenBoard(uint32_t index, uint32_t flags = 0, uint32_t portMask = 0xF) : session_(OpenGrabber(index)) {
        EXPECT_NE(session_, nullptr);
        EXPECT_EQ(Nox_initBoardEx(session_, flags, &board_, portMask), ERR_NONE);
    }
    ~OpenBoard() {
        Nox_freeBoard(board_);
        CloseGrabber(session_);
    }
    OpenBoard(const OpenBoard &) = delete;
    OpenBoard &operator=(const OpenBoard &) = delete;

    NoxBoardHandle *Handle() const { return board_; }
    NoxCameraHandle *Camera(uint32_t slot) const {
        NoxCameraHandle *camera = nullptr;
        EXPECT_EQ(Nox_getCameraByIndex(board_, slot, &camera), ERR_NONE);
        return camera;
    }

private:
    GrabberSession *session_;
    NoxBoardHandle *board_ = nullptr;
};

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
        board_ = std::make_unique<OpenBoard>(0);
        if (scan) {
            EXPECT_EQ(Nox_scanPorts(Board(), 0xF, 0, 0), ERR_NONE);
        }
    }
    ~LoggedRoad() {
        board_.reset();
        GenICamDeinit();
        if (testing::Test::HasFailure()) PrintLogTail();
    }
    LoggedRoad(const LoggedRoad &) = delete;
    LoggedRoad &operator=(const LoggedRoad &) = delete;

    NoxBoardHandle *Board() const { return board_->Handle(); }
    NoxCameraHandle *Camera(uint32_t slot) const { return board_->Camera(slot); }
    // The camera in the slot with its links up and its GenICam connection made.
    NoxCameraHandle *Connected(uint32_t slot) const {
        NoxCameraHandle *camera = Camera(slot);
        EXPECT_EQ(Nox_LinkConnect(Board(), camera), ERR_NONE);
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
    std::unique_ptr<OpenBoard> board_;
};

// A camera register as a number (registers are big-endian on the wire).
inline uint32_t CameraRegister(NoxCameraHandle *camera, uint32_t address) {
    uint32_t value = 0xDEADBEEF;
    EXPECT_EQ(Nox_registerReadFromCamera(camera, &value, address), ERR_NONE) << std::hex << address;
    return value;
}

inline uint32_t CameraProperty(NoxCameraHandle *camera, const char *name) {
    uint32_t value = 0xFFFFFFFF, type = 1;
    EXPECT_EQ(Nox_getCameraPropertyWithType(camera, name, &value, &type, nullptr), ERR_NONE) << name;
    return value;
}

inline int64_t IntegerFeature(NoxCameraHandle *camera, const char *feature) {
    int64_t value = -1;
    EXPECT_EQ(Nox_getIntegerValue(camera, feature, &value), ERR_NONE) << feature;
    return value;
}

inline std::string StringFeature(NoxCameraHandle *camera, const char *feature) {
    const char *value = nullptr;
    EXPECT_EQ(Nox_getStringValue(camera, feature, &value), ERR_NONE) << feature;
    return value != nullptr ? value : "";
}

inline std::string EntryOf(NoxCameraHandle *camera, const char *feature) {
    const char *entry = nullptr;
    EXPECT_EQ(Nox_getEnumerationValueAsString(camera, feature, &entry), ERR_NONE) << feature;
    return entry != nullptr ? entry : "";
}

// Counts the link-loss events of a board's callback.
struct LossEvents {
    std::mutex mutex;
    std::condition_variable arrived;
    int count = 0;

    static int32_t Record(NoxBoardHandle *, NoxCameraHandle *, const NoxEvent *event, void *context) {
        auto *events = static_cast<LossEvents *>(context);
        std::lock_guard<std::mutex> lock(events->mutex);
        if (event->type == 100) ++events->count;
        events->arrived.notify_all();
        return 0;
    }
    // The bound only catches a hang, unless a test waits for an event that must not come.
    bool WaitFor(int total, std::chrono::milliseconds bound = std::chrono::seconds(20)) {
        std::unique_lock<std::mutex> lock(mutex);
        return arrived.wait_for(lock, bound, [&] { return count >= total; });
    }
};

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
