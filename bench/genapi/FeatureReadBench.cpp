// Cost of one integer feature read: through the GenApi layer (node lookup
// already done, lock, access mode, interpreter read) against the interpreter's
// direct read of the same node on the same node map, both against an
// in-memory port.
#include <benchmark/benchmark.h>

#include <cstring>

#include "MemoryPort.h"
#include "TestDescription.h"
#include "genapi/GenApi.h"
#include "genapi/NodeMap.h"

namespace {

struct Camera {
    Camera() {
        port.PutBig32(0x100, 640);
        map = GenApi::CNodeMapFactory(GenApi::ContentType_Auto, nox_test::kTestDescription,
                                      std::strlen(nox_test::kTestDescription))
                  .CreateNodeMap();
        map->Connect(&port);
        port.accesses.reserve(1 << 20);
    }
    // The port keeps a log of accesses; a benchmark clears it as it goes.
    void TrimLog() {
        if (port.accesses.size() > (1 << 19)) port.accesses.clear();
    }
    nox_test::MemoryPort port;
    std::unique_ptr<GenApi::INodeMap> map;
};

void BM_InMemoryGetInteger(benchmark::State &state) {
    Camera camera;
    GenApi::CIntegerPtr width = camera.map->GetNode("Width");
    for (auto _ : state) {
        benchmark::DoNotOptimize(width->GetValue());
        camera.TrimLog();
    }
}
BENCHMARK(BM_InMemoryGetInteger);

void BM_InMemoryGetIntegerByName(benchmark::State &state) {
    Camera camera;
    for (auto _ : state) {
        GenApi::CIntegerPtr width = camera.map->GetNode("Width");
        benchmark::DoNotOptimize(width->GetValue());
        camera.TrimLog();
    }
}
BENCHMARK(BM_InMemoryGetIntegerByName);

void BM_InMemoryAravisGetInteger(benchmark::State &state) {
    Camera camera;
    auto *nodeMap = dynamic_cast<vexo::genicam::genapi::NodeMap *>(camera.map.get());
    ArvGcInteger *width = ARV_GC_INTEGER(arv_gc_get_node(nodeMap->Genicam(), "Width"));
    for (auto _ : state) {
        benchmark::DoNotOptimize(arv_gc_integer_get_value(width, nullptr));
        camera.TrimLog();
    }
}
BENCHMARK(BM_InMemoryAravisGetInteger);

}  // namespace
