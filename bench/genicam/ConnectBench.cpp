// The GenICam binding against the virtual frame grabber's default topology:
// Nox_connectCamera with the built-in (zipped) description, and one integer
// feature read through Nox_getIntegerValue against the interpreter's direct
// read of the same node on the same node map. Both reads cross the simulated
// control channel; the difference is what the exported call adds.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "genapi/NodeMap.h"
#include "grablib5.h"
#include "model/NOXCameraInterface.h"
#include "nox_genicam.h"
#include "vexosim.h"

namespace {

// The 2-link camera of the default topology with its links up.
class LinkedCamera {
public:
    LinkedCamera() {
        for (const char *wait : {"VEXO_CXP_WAIT_AFTER_LINK_RESET_DONE", "VEXO_CXP_WAIT_AFTER_CAMERA_CONFIG_CHANGED",
                                 "VEXO_CXP_WAIT_AFTER_UPLINK_SPEED_CHANGED", "VEXO_CXP_WAIT_AFTER_POWERUP",
                                 "VEXO_NOX_SYNC_MONITOR_INITIAL_WAIT_IN_MS"})
            ::setenv(wait, "0", 1);
        GenICamInit();
        vexosim_load_topology(nullptr);
        session_ = OpenGrabber(0);
        ok_ = session_ != nullptr && Nox_initBoardEx(session_, 0, &board_, 0xF) == ERR_NONE &&
              Nox_scanPorts(board_, 0xF, 0, 0) == ERR_NONE && Nox_getCameraByIndex(board_, 0, &camera_) == ERR_NONE &&
              Nox_LinkConnect(board_, camera_) == ERR_NONE;
    }
    ~LinkedCamera() {
        Nox_freeBoard(board_);
        CloseGrabber(session_);
        GenICamDeinit();
    }
    bool Ok() const { return ok_; }
    NoxCameraHandle *Camera() const { return camera_; }

private:
    GrabberSession *session_ = nullptr;
    NoxBoardHandle *board_ = nullptr;
    NoxCameraHandle *camera_ = nullptr;
    bool ok_ = false;
};

void ConnectCamera(benchmark::State &state) {
    LinkedCamera road;
    if (!road.Ok()) return state.SkipWithError("no linked camera");
    for (auto _ : state) {
        if (Nox_connectCamera(road.Camera()) != ERR_NONE) return state.SkipWithError("connect failed");
    }
}
BENCHMARK(ConnectCamera)->Unit(benchmark::kMillisecond);

void GetIntegerValue(benchmark::State &state) {
    LinkedCamera road;
    if (!road.Ok() || Nox_connectCamera(road.Camera()) != ERR_NONE) return state.SkipWithError("no connected camera");
    int64_t width = 0;
    for (auto _ : state) {
        if (Nox_getIntegerValue(road.Camera(), "Width", &width) != ERR_NONE) return state.SkipWithError("read failed");
        benchmark::DoNotOptimize(width);
    }
}
BENCHMARK(GetIntegerValue)->Unit(benchmark::kMicrosecond);

void InterpreterIntegerRead(benchmark::State &state) {
    LinkedCamera road;
    if (!road.Ok() || Nox_connectCamera(road.Camera()) != ERR_NONE) return state.SkipWithError("no connected camera");
    auto *camera = reinterpret_cast<vexo::genicam::NOXCameraInterface *>(road.Camera());
    auto *nodeMap = dynamic_cast<vexo::genicam::genapi::NodeMap *>(camera->NodeMap());
    ArvGcInteger *width = ARV_GC_INTEGER(arv_gc_get_node(nodeMap->Genicam(), "Width"));
    for (auto _ : state) {
        GError *error = nullptr;
        benchmark::DoNotOptimize(arv_gc_integer_get_value(width, &error));
        if (error != nullptr) {
            g_error_free(error);
            return state.SkipWithError("read failed");
        }
    }
}
BENCHMARK(InterpreterIntegerRead)->Unit(benchmark::kMicrosecond);

}  // namespace
