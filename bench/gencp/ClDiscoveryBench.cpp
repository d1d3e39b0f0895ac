// The discovery of two base cameras listening at 115200 baud on a Camera Link
// board, with line timing and the default settings: each port's line rate
// search sends three times at each of the four slower rates and waits out
// every acknowledge time-out before it reaches 115200, the two ports at once.
// The counters: discovery_s, the time of the controller's discovery;
// timeouts_s, the time-outs one port's search must wait out; overhead_s,
// what the discovery takes beyond them (the answers on the line, the switch
// to the fastest rate, the identification strings).
#include <benchmark/benchmark.h>

#include <bit>
#include <chrono>
#include <cstdlib>

#include "board/BoardLibraries.h"
#include "gencp/CameraLinkController.h"
#include "gencp/GenCPRequest.h"
#include "gencp/GenCpSettings.h"
#include "protocol/CameraLink.h"
#include "vexosim.h"

namespace {

using namespace vexo::genicam;

constexpr uint32_t kCameraBaud = 115200;
constexpr const char *kTopology = R"({"boards": [{"model": "cl2-g1", "cameras": [
    {"links": [0], "baud": 115200}, {"links": [1], "baud": 115200}]}]})";

void BM_ClDiscoveryOfTwoBaseCamerasAt115200(benchmark::State &state) {
    ::unsetenv("VEXO_CL_GENCP_ACK_TIMEOUT");
    ::unsetenv("VEXO_CL_CONNECTION_RETRY_WAIT");
    if (vexosim_load_topology(kTopology) != 0) return state.SkipWithError("the topology was refused");
    GrabberSession *session = OpenGrabber(0);
    if (session == nullptr) return state.SkipWithError("no grabber session");
    const GenCpSettings settings = GenCpSettings::Load();
    double discovery = 0;
    for (auto _ : state) {
        CameraLinkController controller(SessionDeviceHandle(session), SessionAppletHandle(session), nullptr);
        const auto start = std::chrono::steady_clock::now();
        const int32_t status = controller.Discovery(0, 0, 3, 0);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (status != 0 || controller.BaudRate(0) != kCameraBaud || controller.BaudRate(1) != kCameraBaud) {
            state.SkipWithError("the cameras were not found at 115200 baud");
            break;
        }
        state.SetIterationTime(seconds);
        discovery += seconds;
    }
    CloseGrabber(session);
    if (state.error_occurred()) return;
    // The rates below the camera's, each tried with every sending of a request.
    const uint32_t slowerRates = static_cast<uint32_t>(std::countr_zero(vexo::protocol::cl::BaudMaskBit(kCameraBaud)));
    const double timeouts = slowerRates * GenCPRequest::kTries * settings.ackTimeoutMs / 1000.0;
    discovery /= static_cast<double>(state.iterations());
    state.counters["discovery_s"] = discovery;
    state.counters["timeouts_s"] = timeouts;
    state.counters["overhead_s"] = discovery - timeouts;
    state.SetLabel("2 base cameras at 115200 baud, acknowledge time-out " + std::to_string(settings.ackTimeoutMs) +
                   " ms");
}
BENCHMARK(BM_ClDiscoveryOfTwoBaseCamerasAt115200)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace
