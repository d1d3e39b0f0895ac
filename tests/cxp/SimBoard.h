#pragma once
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "LogFile.h"
#include "TempDirectory.h"
#include "board/BoardLibraries.h"
#include "board/ControllerOwner.h"
#include "cxp/CxpController.h"
#include "nox_genicam.h"
#include "vexosim.h"

namespace cxp_test {

// Calls `check` until it answers true, for at most `bound`.
template <class Check>
bool Eventually(Check &&check, std::chrono::milliseconds bound = std::chrono::seconds(5)) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (std::chrono::steady_clock::now() < deadline) {
        if (check()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return check();
}

// {"boards": [<board>]}: one board of the given JSON object text.
std::string OneBoard(const std::string &board);
// A topology whose last possible board (index 15) is `board`, so that no other test shares its register lock.
std::string LastBoard(const std::string &board);

// Opens a board of the topology in force, without loading one.
struct InForce {};

// A board of the virtual frame grabber with an open grabber session. Loads
// the topology first (null: the built-in default).
class SimBoard {
public:
    explicit SimBoard(const char *topology = nullptr, uint32_t index = 0);
    SimBoard(InForce, uint32_t index);
    ~SimBoard();
    SimBoard(const SimBoard &) = delete;
    SimBoard &operator=(const SimBoard &) = delete;

    uint64_t Device() const { return device_; }
    uint64_t Applet() const { return applet_; }
    uint32_t Index() const { return index_; }

    // Applet registers by name, as the test sees the board.
    uint64_t Read(const std::string &name) const;
    void Write(const std::string &name, uint64_t value) const;

private:
    void Open();

    GrabberSession *session_ = nullptr;
    uint64_t device_ = 0;
    uint64_t applet_ = 0;
    uint32_t index_;
};

// The board object's part in discovery: the real operator allocation.
class AllocatingOwner : public vexo::genicam::ControllerOwner {
public:
    int32_t AllocateCameraOperator(vexo::genicam::DiscoveryInfo &info, uint32_t cameraMasterId) override;

    vexo::genicam::FirmwareControllerBase *controller = nullptr;
    std::vector<uint32_t> allocated;
};

// A controller on a simulated board, with its owner.
struct ControllerUnderTest {
    explicit ControllerUnderTest(const char *topology = nullptr, uint32_t powerUp = 0);
    explicit ControllerUnderTest(const std::string &topology, uint32_t powerUp = 0)
        : ControllerUnderTest(topology.c_str(), powerUp) {}
    ControllerUnderTest(InForce, uint32_t index);

    SimBoard board;
    AllocatingOwner owner;
    std::unique_ptr<vexo::genicam::CxpController> controller;

private:
    void Start(uint32_t powerUp);
};

// Puts the recording hardware library (which forwards to the simulator)
// behind the board library operations for its lifetime.
class RecordingHardware {
public:
    RecordingHardware();
    ~RecordingHardware();
    RecordingHardware(const RecordingHardware &) = delete;
    RecordingHardware &operator=(const RecordingHardware &) = delete;

    void Reset() const;
    uint64_t Reads() const;
    uint64_t Writes() const;
    // The values written to one board register, in order.
    std::vector<uint64_t> WritesTo(uint32_t address) const;

private:
    vexo::genicam::BoardLibraries libraries_;
    vexo::genicam::BoardLibraries *previous_;
    void *library_ = nullptr;
};

// Sends the records of the controller's logger to a file of the directory.
std::filesystem::path CaptureLog(const nox_test::TempDirectory &directory, const char *thresholds = "vexo.genicam=1");
// The texts (after "|") of the records; level as the relay names it.
std::vector<std::string> LogTexts(const std::filesystem::path &file, const std::string &level = "");
bool Contains(const std::vector<std::string> &texts, const std::string &text);

vexosim_port_stats Stats(uint32_t board, uint32_t port);

// A camera register through the controller, most significant byte first unless `swap` says otherwise.
uint32_t CameraRegister(vexo::genicam::CxpController &controller, uint32_t port, uint64_t address,
                        vexo::genicam::ByteSwap swap = vexo::genicam::ByteSwap::kSwapWords);

}  // namespace cxp_test
