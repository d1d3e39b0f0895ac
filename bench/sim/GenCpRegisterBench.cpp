// The simulator's own cost of one GenCP register read on a Camera Link
// board: the 28-byte read command written to the transmit queue, its 20-byte
// acknowledge read back, as the library will drive the serial port. Line
// timing is off ("timing": {"line": false}), so the figure is the simulator's
// work; wire_share sets it against the time the same read needs on the wire
// at 921600 baud (48 characters of 10 bits), which must stay under 0.05.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <cstring>

#include "grablib5.h"
#include "protocol/GrabberSession.h"
#include "vexosim.h"

extern "C" {
int32_t OpenSerialPort(uint64_t device, uint32_t port, uint32_t baud, uint32_t *rxQueue, uint32_t *txQueue);
int32_t ReadQueueWords(uint64_t device, uint32_t queue, void *buffer, uint32_t bytes, uint32_t timeoutMs);
int32_t WriteQueueBytes(uint64_t device, uint32_t queue, const void *data, uint32_t bytes, uint32_t timeoutMs);
}

namespace {

constexpr uint32_t kBaud = 921600;
constexpr double kWireSeconds = (28.0 + 20.0) * 10 / kBaud;
// A read of the 4-byte GenCP version at 0x0000, request id 1: header, address, reserved, count.
constexpr std::array<uint8_t, 28> kReadVersion{0x01, 0x00, 0xB7, 0xF2, 0xB7, 0xEE, 0x00, 0x00, 0x40, 0x00,
                                               0x08, 0x00, 0x00, 0x0C, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00,
                                               0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x04};

void GenCpRegisterRead(benchmark::State &state) {
    vexosim_load_topology(R"({"boards": [{"model": "cl2-g1", "timing": {"line": false},
        "cameras": [{"bauds": [9600, 921600], "baud": 921600}]}]})");
    GrabberSession *session = OpenGrabber(0);
    if (!session) return state.SkipWithError("no board");
    uint64_t device = 0;
    std::memcpy(&device, reinterpret_cast<const char *>(session) + vexo::protocol::grabber_session::kDeviceHandleOffset,
                sizeof device);
    uint32_t receive = 0, transmit = 0;
    if (OpenSerialPort(device, 0, kBaud, &receive, &transmit) != 0) return state.SkipWithError("no serial port");
    std::array<uint32_t, 20> words{};
    for (auto _ : state) {
        WriteQueueBytes(device, transmit, kReadVersion.data(), kReadVersion.size(), 100);
        int32_t got = 0;
        while (got < int32_t(4 * words.size())) {
            const int32_t bytes = ReadQueueWords(device, receive, words.data(), 4 * words.size() - got, 100);
            if (bytes <= 0) return state.SkipWithError("no acknowledge");
            got += bytes;
        }
        if ((words[11] & 0xFF) != 0x01) return state.SkipWithError("not a read acknowledge");
    }
    state.counters["wire_us"] = kWireSeconds * 1e6;
    state.counters["wire_share"] =
        benchmark::Counter(kWireSeconds, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    CloseGrabber(session);
}

BENCHMARK(GenCpRegisterRead);

}  // namespace
