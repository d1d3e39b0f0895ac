// The GenICam binding against the virtual frame grabber: connecting a camera
// (its description read over the control channel, unzipped and interpreted),
// and feature access by name through the exported interface against the
// same reads done directly on the interpreter's node map that the GenApi
// layer wraps. Both reads cross the simulated control channel, so the ratio
// of the two is what the layer and the exported call add. The boards answer
// at once ("timing": false): these figures count work, not wire time.
#include <benchmark/benchmark.h>

#include <string>

#include "SimulatedBoard.h"
#include "TemporaryFolder.h"
#include "TransferCounters.h"
#include "Topologies.h"
#include "genapi/GenApi.h"
#include "genapi/NodeMap.h"
#include "model/NOXCameraInterface.h"
#include "vexosim.h"

namespace {

using nox_bench::ConnectedCamera;

constexpr size_t kLargeDescriptionBytes = 1 << 20;

struct DefaultTopology {
    DefaultTopology() {
        nox_bench::UseFastWaits();
        vexosim_load_topology(nox_bench::DefaultBoard(nox_bench::Timing::kInstant).c_str());
    }
};

// The default topology's first camera, links up, description loaded.
struct DefaultCamera : DefaultTopology {
    ConnectedCamera camera{true};
};

ArvGc *InterpreterOf(NoxCameraHandle *handle) {
    auto *camera = reinterpret_cast<vexo::genicam::NOXCameraInterface *>(handle);
    auto *nodeMap = dynamic_cast<vexo::genicam::genapi::NodeMap *>(camera->NodeMap());
    return nodeMap != nullptr ? nodeMap->Genicam() : nullptr;
}

// The camera's description as the library keeps it.
std::string DescriptionOf(NoxCameraHandle *camera) {
    size_t size = 0;
    if (Nox_getGenICamXML(camera, nullptr, &size) != ERR_NONE) return {};
    std::string text(size, '\0');
    if (Nox_getGenICamXML(camera, text.data(), &size) != ERR_NONE) return {};
    text.resize(text.find_last_not_of('\0') + 1);
    return text;
}

void ConnectRepeatedly(benchmark::State &state) {
    ConnectedCamera linked(false);
    if (!linked.Ok()) return state.SkipWithError("no linked camera");
    for (auto _ : state) {
        if (Nox_connectCamera(linked.Handle()) != ERR_NONE) return state.SkipWithError("connect failed");
    }
}

void BM_ConnectCamera(benchmark::State &state) {
    DefaultTopology topology;
    ConnectRepeatedly(state);
}
BENCHMARK(BM_ConnectCamera)->Unit(benchmark::kMillisecond);

// A description of 1 MiB: the camera's own followed by generated features, served zipped.
void BM_ConnectCameraLarge(benchmark::State &state) {
    std::string builtIn;
    {
        DefaultCamera camera;
        if (!camera.camera.Ok()) return state.SkipWithError("no connected camera");
        builtIn = DescriptionOf(camera.camera.Handle());
    }
    if (builtIn.empty()) return state.SkipWithError("no description");
    nox_bench::TemporaryFolder folder;
    const std::string path = folder.Write("large.xml", nox_bench::LargeDescription(builtIn, kLargeDescriptionBytes));
    if (vexosim_load_topology(nox_bench::DefaultBoardWithDescription(path, true, nox_bench::Timing::kInstant).c_str()) != 0)
        return state.SkipWithError("topology refused");
    ConnectRepeatedly(state);
    state.counters["description_bytes"] = static_cast<double>(kLargeDescriptionBytes);
}
BENCHMARK(BM_ConnectCameraLarge)->Unit(benchmark::kMillisecond);

template <class Read>
void ReadFeature(benchmark::State &state, Read read) {
    DefaultCamera camera;
    if (!camera.camera.Ok()) return state.SkipWithError("no connected camera");
    for (auto _ : state) {
        if (!read(camera.camera.Handle())) return state.SkipWithError("read failed");
    }
}

// The interpreter's own read of a feature by name; false on an error.
template <class Value>
bool InterpreterRead(ArvGc *genicam, const char *name, Value (*read)(ArvGcNode *, GError **)) {
    GError *error = nullptr;
    benchmark::DoNotOptimize(read(arv_gc_get_node(genicam, name), &error));
    if (error == nullptr) return true;
    g_error_free(error);
    return false;
}

gint64 IntegerOf(ArvGcNode *node, GError **error) { return arv_gc_integer_get_value(ARV_GC_INTEGER(node), error); }
double FloatOf(ArvGcNode *node, GError **error) { return arv_gc_float_get_value(ARV_GC_FLOAT(node), error); }
const char *EnumStringOf(ArvGcNode *node, GError **error) {
    return arv_gc_enumeration_get_string_value(ARV_GC_ENUMERATION(node), error);
}

// A read through the exported interface in turns with the same read on the
// interpreter, so that layer_ratio compares the two at the same moment:
// separate benchmarks drift apart by more than the layer's share. Both reads
// reach the camera over the simulated control channel: the node map's
// register cache is emptied, untimed, before each (Cached: both are answered
// from it, and the ratio is that of the work around the value alone).
template <class Read, class Value>
void ReadFeatureBesideInterpreter(benchmark::State &state, const char *name, Read read,
                                  Value (*direct)(ArvGcNode *, GError **), bool cached = false) {
    DefaultCamera camera;
    ArvGc *genicam = camera.camera.Ok() ? InterpreterOf(camera.camera.Handle()) : nullptr;
    if (genicam == nullptr) return state.SkipWithError("no connected camera");
    GenApi::INodeMap *nodeMap = reinterpret_cast<vexo::genicam::NOXCameraInterface *>(camera.camera.Handle())->NodeMap();
    const nox_bench::TurnSeconds seconds = nox_bench::TimeInTurns(
        state, [&] { return read(camera.camera.Handle()); }, [&] { return InterpreterRead(genicam, name, direct); },
        [&] {
            if (!cached) nodeMap->InvalidateNodes();
        });
    if (state.error_occurred() || seconds.reference <= 0) return;
    const double iterations = static_cast<double>(state.iterations());
    state.counters["interpreter_ns"] = seconds.reference * 1e9 / iterations;
    state.counters["layer_ratio"] = seconds.measured / seconds.reference;
}

bool GetWidth(NoxCameraHandle *camera) {
    int64_t value = 0;
    const bool ok = Nox_getIntegerValue(camera, "Width", &value) == ERR_NONE;
    benchmark::DoNotOptimize(value);
    return ok;
}

void BM_GetInteger(benchmark::State &state) { ReadFeatureBesideInterpreter(state, "Width", GetWidth, IntegerOf); }
BENCHMARK(BM_GetInteger)->UseManualTime();

void BM_GetIntegerCached(benchmark::State &state) {
    ReadFeatureBesideInterpreter(state, "Width", GetWidth, IntegerOf, true);
}
BENCHMARK(BM_GetIntegerCached)->UseManualTime();

void BM_GetFloat(benchmark::State &state) {
    ReadFeatureBesideInterpreter(
        state, "ExposureTime",
        [](NoxCameraHandle *camera) {
            double value = 0;
            const bool ok = Nox_getFloatValue(camera, "ExposureTime", &value) == ERR_NONE;
            benchmark::DoNotOptimize(value);
            return ok;
        },
        FloatOf);
}
BENCHMARK(BM_GetFloat)->UseManualTime();

void BM_GetEnumString(benchmark::State &state) {
    ReadFeatureBesideInterpreter(
        state, "PixelFormat",
        [](NoxCameraHandle *camera) {
            const char *value = nullptr;
            const bool ok = Nox_getEnumerationValueAsString(camera, "PixelFormat", &value) == ERR_NONE;
            benchmark::DoNotOptimize(value);
            return ok;
        },
        EnumStringOf);
}
BENCHMARK(BM_GetEnumString)->UseManualTime();

void BM_SetInteger(benchmark::State &state) {
    int64_t width = 640;
    ReadFeature(state, [&width](NoxCameraHandle *camera) {
        width = width == 640 ? 656 : 640;
        return Nox_setIntegerValue(camera, "Width", width) == ERR_NONE;
    });
}
BENCHMARK(BM_SetInteger);

// The same read by name through the GenApi layer alone, without the
// exported function: splits what the layer adds from what the call adds.
void BM_LayerGetInteger(benchmark::State &state) {
    DefaultCamera camera;
    if (!camera.camera.Ok()) return state.SkipWithError("no connected camera");
    GenApi::INodeMap *nodeMap = reinterpret_cast<vexo::genicam::NOXCameraInterface *>(camera.camera.Handle())->NodeMap();
    for (auto _ : state) {
        GenApi::CIntegerPtr width = nodeMap->GetNode("Width");
        benchmark::DoNotOptimize(width->GetValue());
    }
}
BENCHMARK(BM_LayerGetInteger);

// The interpreter's own reads by name, on their own.
template <class Value>
void ReadOnInterpreter(benchmark::State &state, const char *name, Value (*read)(ArvGcNode *, GError **)) {
    DefaultCamera camera;
    ArvGc *genicam = camera.camera.Ok() ? InterpreterOf(camera.camera.Handle()) : nullptr;
    if (genicam == nullptr) return state.SkipWithError("no connected camera");
    for (auto _ : state) {
        if (!InterpreterRead(genicam, name, read)) return state.SkipWithError("read failed");
    }
}

void BM_AravisGetInteger(benchmark::State &state) { ReadOnInterpreter(state, "Width", IntegerOf); }
BENCHMARK(BM_AravisGetInteger);

void BM_AravisGetFloat(benchmark::State &state) { ReadOnInterpreter(state, "ExposureTime", FloatOf); }
BENCHMARK(BM_AravisGetFloat);

void BM_AravisGetEnumString(benchmark::State &state) { ReadOnInterpreter(state, "PixelFormat", EnumStringOf); }
BENCHMARK(BM_AravisGetEnumString);

}  // namespace
