// The exported interface under several threads, on the virtual frame grabber:
// callbacks that wait for the application, lookups beside link changes, and a
// stress of four threads on two boards while cables come and go.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "GenICamRoad.h"
#include "Latch.h"

using nox_test::EndIfHung;
using nox_test::Latch;
using nox_test::OpenBoard;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

// Only to catch a hang.
constexpr auto kHang = 10s;
constexpr uint32_t kStandardMagic = 0xC0A79AE5u;  // bootstrap register 0x0000
constexpr uint32_t kDeviceVendorName = 0x2000;

struct WaitingCallback {
    std::mutex application;  // what the callback waits for
    Latch entered, returned;
    NoxCameraHandle *reported = nullptr;

    static int32_t OnEvent(NoxBoardHandle *, NoxCameraHandle *camera, const NoxEvent *, void *context) {
        auto *self = static_cast<WaitingCallback *>(context);
        self->reported = camera;
        self->entered.Open();
        std::lock_guard<std::mutex> lock(self->application);
        self->returned.Open();
        return 0;
    }
};
}  // namespace

TEST(Concurrency, ARescanFromTheThreadACallbackWaitsForDoesNotWaitForTheCallback) {
    ASSERT_EQ(vexosim_load_topology(nullptr), 0);
    OpenBoard board(0);
    ASSERT_EQ(Nox_scanPorts(board.Handle(), 0xF, 0, 0), ERR_NONE);
    ASSERT_EQ(Nox_LinkConnect(board.Handle(), board.Camera(1)), ERR_NONE);
    WaitingCallback callback;
    ASSERT_EQ(Nox_RegisterEventCallback(board.Handle(), &WaitingCallback::OnEvent, &callback), ERR_NONE);

    Latch holding, done;
    std::atomic<int32_t> scanStatus{1};
    std::atomic<bool> callbackReturnedBeforeScan{true};
    std::atomic<int32_t> reportedAfterScan{0};
    std::thread application([&] {
        std::unique_lock<std::mutex> held(callback.application);
        holding.Open();
        if (callback.entered.Wait(kHang)) {
            scanStatus = Nox_scanPorts(board.Handle(), 0xF, 0, 0);
            callbackReturnedBeforeScan = callback.returned.IsOpen();
            // The rescan replaced the reported camera; it is kept for the callback only.
            reportedAfterScan = Nox_LinkDisconnect(callback.reported);
        }
        held.unlock();
        done.Open();
    });
    ASSERT_TRUE(holding.Wait(kHang));
    ASSERT_EQ(vexosim_plug(0, 2, 0), 0);
    EndIfHung(done.Wait(kHang), "a rescan while the callback waits for the rescanning thread");
    application.join();
    EXPECT_TRUE(callback.returned.Wait(kHang));
    EXPECT_EQ(scanStatus, ERR_NONE);
    EXPECT_FALSE(callbackReturnedBeforeScan);
    EXPECT_EQ(reportedAfterScan, ERR_INVALID_CAMERA_HANDLE);
    EXPECT_EQ(Nox_getCameraCount(board.Handle()), 3) << "the 2-link camera, placeholders for ports 2 and 3";
}

TEST(Concurrency, CamerasAreLookedUpByPortWhileTheirLinkRecordsChange) {
    ASSERT_EQ(vexosim_load_topology(nullptr), 0);
    OpenBoard board(0);
    ASSERT_EQ(Nox_scanPorts(board.Handle(), 0xF, 0, 0), ERR_NONE);
    NoxCameraHandle *twoLink = board.Camera(0);
    constexpr int kRounds = 2000;
    std::atomic<int> failures{0};
    std::thread writer([&] {
        // The second link stays where it is: each write is a change of the record all the same.
        for (int round = 0; round < kRounds; ++round) {
            uint32_t port = 1, link = 1;
            if (Nox_setCameraPropertyWithType(twoLink, "FGPORT", &port, 1, &link) != ERR_NONE) ++failures;
        }
    });
    for (int round = 0; round < kRounds; ++round) {
        NoxCameraHandle *found = nullptr;
        if (Nox_getCamera(board.Handle(), 1, &found) != ERR_NONE || found != twoLink) ++failures;
        if (Nox_isCameraAvailable(board.Handle(), 1) != 1) ++failures;
        uint32_t port = 0, type = 1, link = 1;
        if (Nox_getCameraPropertyWithType(twoLink, "FGPORT", &port, &type, &link) != ERR_NONE || port != 1) ++failures;
    }
    writer.join();
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(Nox_getCameraCount(board.Handle()), 3) << "no camera was made for a port whose camera was being changed";
}

// ---- Stress --------------------------------------------------------------------------------------

namespace {

// Two boards, each with a 2-link camera on ports 0 and 1 and a 1-link camera on port 2.
const char *const kTwoBoards = R"({"boards": [
    {"model": "cxp4-c", "applet": {"operators": [[0, 1], [2], [3]]}, "cameras": [{"links": [0, 1]}, {"links": [2]}]},
    {"model": "cxp4-c", "applet": {"operators": [[0, 1], [2], [3]]}, "cameras": [{"links": [0, 1]}, {"links": [2]}]}]})";

// A status the interface documents: success, a code with a description, or one of the codes
// documented without a text.
bool Documented(int32_t status) {
    static const std::string unknown = Nox_getErrorDescription(-123456);
    return status == ERR_NONE || status == ERR_INVALID_DATA || status == -2130 /* LibraryNotLoaded */ ||
           status == -2500 /* ERR_CAMERA_LIST_FULL */ || unknown != Nox_getErrorDescription(status);
}

// What the threads saw that they should not have.
class Findings {
public:
    void Check(bool good, const std::string &what) {
        if (good) return;
        std::lock_guard<std::mutex> lock(mutex_);
        if (findings_.size() < 20) findings_.push_back(what);
        ++count_;
    }
    void CheckStatus(int32_t status, const char *call) {
        Check(Documented(status), std::string(call) + " returned the undocumented status " + std::to_string(status));
    }
    int Count() {
        std::lock_guard<std::mutex> lock(mutex_);
        return count_;
    }
    std::string Text() {
        std::lock_guard<std::mutex> lock(mutex_);
        std::string text;
        for (const std::string &finding : findings_) text += finding + "\n";
        return text;
    }

private:
    std::mutex mutex_;
    std::vector<std::string> findings_;
    int count_ = 0;
};

// Link-loss events of one board, per camera handle.
struct LossLog {
    std::mutex mutex;
    std::vector<std::pair<NoxCameraHandle *, uint32_t>> events;

    static int32_t OnEvent(NoxBoardHandle *, NoxCameraHandle *camera, const NoxEvent *event, void *context) {
        auto *log = static_cast<LossLog *>(context);
        std::lock_guard<std::mutex> lock(log->mutex);
        log->events.emplace_back(camera, uint32_t{event->slot});
        return 0;
    }
    size_t Count() {
        std::lock_guard<std::mutex> lock(mutex);
        return events.size();
    }
    bool WaitForCount(size_t count, std::chrono::milliseconds bound) {
        const auto deadline = Clock::now() + bound;
        while (Count() < count && Clock::now() < deadline) std::this_thread::sleep_for(1ms);
        return Count() >= count;
    }
};

// Rounds of the reading thread that read something back, so that the scanning
// thread leaves it time to connect and read between scans.
class Progress {
public:
    void Advance() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ++rounds_;
        }
        advanced_.notify_all();
    }
    // Waits for a round after `seen`, at most the bound; the round count then.
    int WaitPast(int seen, std::chrono::milliseconds bound) {
        std::unique_lock<std::mutex> lock(mutex_);
        advanced_.wait_for(lock, bound, [&] { return rounds_ > seen; });
        return rounds_;
    }

private:
    std::mutex mutex_;
    std::condition_variable advanced_;
    int rounds_ = 0;
};

// Scans board A again and again, each scan beside the reading thread's next
// round; now and then with the 1-link camera's cable out.
void ScanRepeatedly(NoxBoardHandle *board, Progress &reading, const std::atomic<bool> &stop, Findings &findings) {
    int seen = 0;
    for (int round = 0; !stop; ++round) {
        seen = reading.WaitPast(seen, 1s);
        const bool unplugged = round % 4 == 1;
        if (unplugged) vexosim_plug(0, 2, 0);
        findings.CheckStatus(Nox_scanPorts(board, 0xF, 0, 0), "Nox_scanPorts");
        NoxCameraHandle *camera = nullptr;
        findings.CheckStatus(Nox_getCamera(board, 0, &camera), "Nox_getCamera");
        if (unplugged) vexosim_plug(0, 2, 1);
    }
}

// Connects board A's cameras as the scans leave them and reads their features.
void ConnectAndRead(NoxBoardHandle *board, Progress &progress, const std::atomic<bool> &stop, Findings &findings) {
    for (int64_t round = 0; !stop; ++round) {
        bool readBackOnce = false;
        for (uint32_t slot = 0; slot < 2 && !stop; ++slot) {
            NoxCameraHandle *camera = nullptr;
            findings.Check(Nox_getCameraByIndex(board, slot, &camera) == ERR_NONE, "Nox_getCameraByIndex failed");
            if (camera == nullptr) continue;
            int32_t status = Nox_LinkConnect(board, camera);
            findings.CheckStatus(status, "Nox_LinkConnect");
            if (status != ERR_NONE) continue;
            status = Nox_connectCamera(camera);
            findings.CheckStatus(status, "Nox_connectCamera");
            if (status != ERR_NONE) continue;
            const int64_t width = 16 * (1 + round % 64);
            status = Nox_setIntegerValue(camera, "Width", width);
            findings.CheckStatus(status, "Nox_setIntegerValue");
            int64_t readBack = -1;
            const int32_t readStatus = Nox_getIntegerValue(camera, "Width", &readBack);
            findings.CheckStatus(readStatus, "Nox_getIntegerValue");
            if (status == ERR_NONE && readStatus == ERR_NONE) {
                findings.Check(readBack == width, "Width read back " + std::to_string(readBack) + " after " +
                                                      std::to_string(width));
                readBackOnce = true;
            }
            // The text is not read: the scanning thread may delete the camera, and the text with
            // it, as soon as the call returns.
            const char *vendor = nullptr;
            findings.CheckStatus(Nox_getStringValue(camera, "DeviceVendorName", &vendor), "Nox_getStringValue");
            Nox_getCameraInfo(camera);
        }
        if (readBackOnce) progress.Advance();
    }
}

// Lists both boards' cameras and registers their callbacks again and again.
void ListAndRegister(NoxBoardHandle *const boards[2], LossLog logs[2], const std::atomic<bool> &stop,
                     Findings &findings) {
    while (!stop) {
        for (int b = 0; b < 2; ++b) {
            const int32_t count = Nox_getCameraCount(boards[b]);
            findings.Check(count >= 0 && count <= 4, "camera count " + std::to_string(count));
            for (uint32_t index = 0; index < 4; ++index) {
                NoxCameraHandle *camera = nullptr;
                findings.Check(Nox_getCameraByIndex(boards[b], index, &camera) == ERR_NONE, "Nox_getCameraByIndex");
                const int32_t available = Nox_isCameraAvailableAtIndex(boards[b], index);
                findings.Check(available == 0 || available == 1, "Nox_isCameraAvailableAtIndex");
            }
            findings.Check(Nox_isCameraAvailable(boards[b], 0) >= 0, "Nox_isCameraAvailable");
            findings.Check(Nox_RegisterEventCallback(boards[b], &LossLog::OnEvent, &logs[b]) == ERR_NONE,
                           "Nox_RegisterEventCallback");
        }
        std::this_thread::sleep_for(1ms);  // paces the lister: two cores are shared by everyone
    }
}

// Board B's 1-link camera (slot 1) scanned and connected as long as it takes after its cable is back.
NoxCameraHandle *ConnectAfterReplug(NoxBoardHandle *board, Findings &findings) {
    const auto deadline = Clock::now() + kHang;
    while (Clock::now() < deadline) {
        findings.CheckStatus(Nox_scanPorts(board, 0xF, 0, 0), "Nox_scanPorts");
        NoxCameraHandle *camera = nullptr;
        Nox_getCameraByIndex(board, 1, &camera);
        if (Nox_isCameraAvailableAtIndex(board, 1) != 1) continue;
        const int32_t status = Nox_LinkConnect(board, camera);
        findings.CheckStatus(status, "Nox_LinkConnect");
        if (status == ERR_NONE) return camera;
    }
    findings.Check(false, "board B's camera did not come back");
    return nullptr;
}

// Board B's 1-link camera: connected, read, unplugged (its loss reported exactly once), replugged.
void UnplugAndReplug(NoxBoardHandle *board, LossLog &log, const std::atomic<bool> &stop, Findings &findings) {
    std::vector<NoxCameraHandle *> lost;
    while (!stop) {
        NoxCameraHandle *camera = ConnectAfterReplug(board, findings);
        if (camera == nullptr) break;
        for (int read = 0; read < 20; ++read) {
            uint32_t magic = 0;
            int32_t status = Nox_registerReadFromCamera(camera, &magic, 0x0000);
            findings.Check(status == ERR_NONE && magic == kStandardMagic,
                           "standard register read " + std::to_string(status));
            char vendor[12] = {};
            status = Nox_memoryReadFromCamera(camera, vendor, kDeviceVendorName, 11);
            findings.Check(status == ERR_NONE && std::strcmp(vendor, "Vexo Vision") == 0, "vendor name read");
        }
        vexosim_plug(1, 2, 0);
        lost.push_back(camera);
        findings.Check(log.WaitForCount(lost.size(), kHang), "a lost link was not reported");
        uint32_t magic = 0;
        findings.CheckStatus(Nox_registerReadFromCamera(camera, &magic, 0x0000), "Nox_registerReadFromCamera");
        vexosim_plug(1, 2, 1);
    }
    // Every loss once, for the camera that lost its link: none twice, none for another.
    std::lock_guard<std::mutex> lock(log.mutex);
    findings.Check(log.events.size() == lost.size(),
                   std::to_string(log.events.size()) + " reports of " + std::to_string(lost.size()) + " losses");
    for (size_t i = 0; i < log.events.size() && i < lost.size(); ++i)
        findings.Check(log.events[i].first == lost[i] && log.events[i].second == 1, "a loss reported for another camera");
}

}  // namespace

TEST(Concurrency, FourThreadsOnTwoBoardsWhileCablesComeAndGo) {
    ASSERT_EQ(vexosim_load_topology(kTwoBoards), 0);
    OpenBoard boardA(0), boardB(1);
    ASSERT_EQ(Nox_scanPorts(boardA.Handle(), 0xF, 0, 0), ERR_NONE);
    ASSERT_EQ(Nox_scanPorts(boardB.Handle(), 0xF, 0, 0), ERR_NONE);
    LossLog logs[2];
    NoxBoardHandle *const boards[2] = {boardA.Handle(), boardB.Handle()};
    for (int b = 0; b < 2; ++b)
        ASSERT_EQ(Nox_RegisterEventCallback(boards[b], &LossLog::OnEvent, &logs[b]), ERR_NONE);

    std::atomic<bool> stop{false};
    Findings findings;
    std::vector<std::thread> threads;
    Progress reading;
    threads.emplace_back(ScanRepeatedly, boards[0], std::ref(reading), std::cref(stop), std::ref(findings));
    threads.emplace_back(ConnectAndRead, boards[0], std::ref(reading), std::cref(stop), std::ref(findings));
    threads.emplace_back(ListAndRegister, boards, logs, std::cref(stop), std::ref(findings));
    threads.emplace_back(UnplugAndReplug, boards[1], std::ref(logs[1]), std::cref(stop), std::ref(findings));
    std::this_thread::sleep_for(10s);  // the length of the run, not a wait for anything
    stop = true;
    for (std::thread &thread : threads) thread.join();
    EXPECT_EQ(findings.Count(), 0) << findings.Text();
    EXPECT_GT(logs[1].Count(), 0u) << "board B's cable never came out";
}
