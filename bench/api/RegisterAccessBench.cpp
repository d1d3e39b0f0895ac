// Camera register and memory access through the exported interface on the
// simulator's default topology, link up at 12500 Mbit/s.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <string>
#include <vector>

#include "grablib5.h"
#include "nox_genicam.h"
#include "vexosim.h"

namespace {

constexpr uint32_t kDescriptionAddress = 0x100000;  // where the simulated camera serves its description
constexpr size_t kBlockBytes = 64 * 1024;

// The default topology, with a plain description of 128 KiB so that 64 KiB blocks can be read.
std::string TopologyWithLargeDescription() {
    const std::string path = "/tmp/nox-bench-description.xml";
    if (FILE *file = std::fopen(path.c_str(), "wb")) {
        const std::string filler(2 * kBlockBytes, 'x');
        std::fwrite(filler.data(), 1, filler.size(), file);
        std::fclose(file);
    }
    return R"({"boards": [{"model": "cxp4-c", "applet": {"operators": [[0, 1], [2], [3]]}, "cameras": [)"
           R"({"links": [0, 1], "xml": {"file": ")" + path + R"(", "zip": false}}]}]})";
}

class ConnectedCamera {
public:
    ConnectedCamera() {
        for (const char *wait : {"VEXO_CXP_WAIT_AFTER_LINK_RESET_DONE", "VEXO_CXP_WAIT_AFTER_CAMERA_CONFIG_CHANGED",
                                 "VEXO_CXP_WAIT_AFTER_UPLINK_SPEED_CHANGED", "VEXO_CXP_WAIT_AFTER_POWERUP"})
            ::setenv(wait, "0", 1);
        vexosim_load_topology(TopologyWithLargeDescription().c_str());
        session_ = OpenGrabber(0);
        Nox_initBoardEx(session_, 0, &board_, 0xF);
        Nox_scanPorts(board_, 0xF, 0, 0);
        Nox_getCameraByIndex(board_, 0, &camera_);
        ok_ = camera_ != nullptr && Nox_LinkConnect(board_, camera_) == 0;
    }
    ~ConnectedCamera() {
        Nox_freeBoard(board_);
        CloseGrabber(session_);
    }
    NoxCameraHandle *Camera() const { return ok_ ? camera_ : nullptr; }

private:
    GrabberSession *session_ = nullptr;
    NoxBoardHandle *board_ = nullptr;
    NoxCameraHandle *camera_ = nullptr;
    bool ok_ = false;
};

void BM_RegisterReadFromCamera(benchmark::State &state) {
    ConnectedCamera connected;
    if (connected.Camera() == nullptr) return state.SkipWithError("camera did not connect");
    uint32_t value = 0;
    for (auto _ : state) {
        if (Nox_registerReadFromCamera(connected.Camera(), &value, 0x0000) != 0) return state.SkipWithError("read failed");
        benchmark::DoNotOptimize(value);
    }
    state.SetBytesProcessed(state.iterations() * 4);
}
BENCHMARK(BM_RegisterReadFromCamera);

void BM_MemoryReadFromCamera64KiB(benchmark::State &state) {
    ConnectedCamera connected;
    if (connected.Camera() == nullptr) return state.SkipWithError("camera did not connect");
    std::vector<char> buffer(kBlockBytes);
    for (auto _ : state) {
        if (Nox_memoryReadFromCamera(connected.Camera(), buffer.data(), kDescriptionAddress,
                                     static_cast<uint32_t>(buffer.size())) != 0)
            return state.SkipWithError("read failed");
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(buffer.size()));
}
BENCHMARK(BM_MemoryReadFromCamera64KiB);

}  // namespace
