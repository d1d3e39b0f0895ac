#include "SimBoard.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "board/FirmwareControllerBase.h"
#include "model/CameraOperatorAllocation.h"
#include "platform/Environment.h"

namespace cxp_test {

using vexo::genicam::BoardLibraries;

std::string OneBoard(const std::string &board) { return "{\"boards\": [" + board + "]}"; }

std::string LastBoard(const std::string &board) {
    std::string boards;
    for (int i = 0; i < 15; ++i) boards += R"({"model": "gige4"}, )";
    return "{\"boards\": [" + boards + board + "]}";
}

SimBoard::SimBoard(const char *topology, uint32_t index) : index_(index) {
    EXPECT_EQ(vexosim_load_topology(topology), 0);
    Open();
}

SimBoard::SimBoard(InForce, uint32_t index) : index_(index) { Open(); }

void SimBoard::Open() {
    session_ = vexo::genicam::OpenGrabber(index_);
    EXPECT_NE(session_, nullptr);
    if (session_ == nullptr) return;
    device_ = vexo::genicam::SessionDeviceHandle(session_);
    applet_ = vexo::genicam::SessionAppletHandle(session_);
}

SimBoard::~SimBoard() {
    if (session_ != nullptr) vexo::genicam::CloseGrabber(session_);
}

uint64_t SimBoard::Read(const std::string &name) const {
    const int64_t address = vexo::genicam::FindAppletRegister(applet_, name.c_str());
    EXPECT_GT(address, 0) << name;
    uint64_t value = 0;
    EXPECT_EQ(vexo::genicam::ReadBoardRegister(device_, static_cast<uint32_t>(address), &value), 0) << name;
    return value;
}

void SimBoard::Write(const std::string &name, uint64_t value) const {
    const int64_t address = vexo::genicam::FindAppletRegister(applet_, name.c_str());
    EXPECT_GT(address, 0) << name;
    EXPECT_EQ(vexo::genicam::WriteBoardRegister(device_, static_cast<uint32_t>(address), value), 0) << name;
}

int32_t AllocatingOwner::AllocateCameraOperator(vexo::genicam::DiscoveryInfo &info, uint32_t cameraMasterId) {
    allocated.push_back(cameraMasterId);
    return vexo::genicam::AllocateCameraOperator(info, cameraMasterId, *controller, false,
                                                 controller->GetLogger());
}

ControllerUnderTest::ControllerUnderTest(const char *topology, uint32_t powerUp) : board(topology) { Start(powerUp); }

ControllerUnderTest::ControllerUnderTest(InForce, uint32_t index) : board(InForce{}, index) { Start(0); }

void ControllerUnderTest::Start(uint32_t powerUp) {
    controller = std::make_unique<vexo::genicam::CxpController>(board.Device(), board.Applet(), &owner, 0, powerUp);
    owner.controller = controller.get();
}

RecordingHardware::RecordingHardware()
    : libraries_([] { return std::optional<std::string>(RECORDING_SIM_INSTALLATION); }),
      previous_(BoardLibraries::ReplaceProcess(&libraries_)) {
    libraries_.LoadHardwareLibrary();
    library_ = ::dlopen(RECORDING_SIM_HAL, RTLD_NOW | RTLD_NOLOAD);
    EXPECT_NE(library_, nullptr) << "the recording hardware library is not loaded";
    Reset();
}

RecordingHardware::~RecordingHardware() {
    BoardLibraries::ReplaceProcess(previous_);
    if (library_ != nullptr) ::dlclose(library_);
}

namespace {
template <class Function>
Function Entry(void *library, const char *name) {
    return library != nullptr ? reinterpret_cast<Function>(::dlsym(library, name)) : nullptr;
}
}  // namespace

void RecordingHardware::Reset() const {
    if (auto reset = Entry<void (*)()>(library_, "recording_reset")) reset();
}

uint64_t RecordingHardware::Reads() const {
    auto reads = Entry<uint64_t (*)()>(library_, "recording_reads");
    return reads ? reads() : ~0ull;
}

uint64_t RecordingHardware::Writes() const {
    auto writes = Entry<uint64_t (*)()>(library_, "recording_writes");
    return writes ? writes() : ~0ull;
}

std::vector<uint64_t> RecordingHardware::WritesTo(uint32_t address) const {
    std::vector<uint64_t> values;
    auto at = Entry<int32_t (*)(uint64_t, uint32_t *, uint64_t *)>(library_, "recording_write_at");
    uint32_t written = 0;
    uint64_t value = 0;
    for (uint64_t index = 0; at && at(index, &written, &value) == 0; ++index)
        if (written == address) values.push_back(value);
    return values;
}

std::filesystem::path CaptureLog(const nox_test::TempDirectory &directory, const char *thresholds) {
    const std::filesystem::path file = directory / "cxp.log";
    vexo::templates::platform::SetEnvironment("VEXO_LOG", thresholds);
    vexo::templates::platform::SetEnvironment("VEXO_LOG_FILE", file.string());
    return file;
}

std::vector<std::string> LogTexts(const std::filesystem::path &file, const std::string &level) {
    std::vector<std::string> texts;
    for (const nox_test::LogLine &line : nox_test::ReadLogLines(file)) {
        if (!level.empty() && line.level != level) continue;
        const size_t bar = line.text.find('|');
        texts.push_back(bar == std::string::npos ? line.text : line.text.substr(bar + 1));
    }
    return texts;
}

bool Contains(const std::vector<std::string> &texts, const std::string &text) {
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

uint32_t CameraRegister(vexo::genicam::CxpController &controller, uint32_t port, uint64_t address,
                        vexo::genicam::ByteSwap swap) {
    uint32_t value = 0;
    EXPECT_EQ(controller.ReadRaw(port, address, &value, 4, swap, 0), 0) << std::hex << address;
    return value;
}

vexosim_port_stats Stats(uint32_t board, uint32_t port) {
    vexosim_port_stats stats{};
    EXPECT_EQ(vexosim_stats(board, port, &stats), 0);
    return stats;
}

}  // namespace cxp_test
