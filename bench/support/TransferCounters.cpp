#include "TransferCounters.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "Topologies.h"
#include "WireTime.h"

namespace nox_bench {
namespace {

bool Near(double value, double expected) { return std::fabs(value - expected) < 1e-3; }

// The model against figures worked out by hand from the packet layouts:
// a register read is 24 bytes up and 28 down, a register write 28 up and 20
// down, a 64 KiB read 66 commands of 24 bytes up and 66 answers of 24 bytes
// plus 65536 data bytes down, at 10 bits per byte.
const bool kWireModelChecked = [] {
    const uint32_t perPacket = DataBytesPerPacket(kControlPacketSize);
    if (perPacket == 1000 && Near(ReadWireMicroseconds(4, perPacket), 240.0 / 20.833 + 280.0 / 3125.0) &&
        Near(WriteWireMicroseconds(4, perPacket), 280.0 / 20.833 + 200.0 / 3125.0) &&
        Near(ReadWireMicroseconds(65536, perPacket), 15840.0 / 20.833 + 671200.0 / 3125.0))
        return true;
    std::fprintf(stderr, "the wire-time model disagrees with its hand-computed figures\n");
    std::abort();
}();

double WireMicroseconds(Transfer transfer, uint64_t bytes) {
    const uint32_t perPacket = DataBytesPerPacket(kControlPacketSize);
    return transfer == Transfer::kRead ? ReadWireMicroseconds(bytes, perPacket) : WriteWireMicroseconds(bytes, perPacket);
}

std::string Label(Transfer transfer, uint64_t bytes) {
    return std::string(transfer == Transfer::kRead ? "read " : "write ") + std::to_string(bytes) + " B";
}

}  // namespace

void ReportWireTime(benchmark::State &state, Transfer transfer, uint64_t bytes) {
    const double wireUs = WireMicroseconds(transfer, bytes);
    state.counters["wire_us"] = wireUs;
    // Seconds per iteration divided by wire seconds: a rate of wire seconds, inverted.
    state.counters["wire_ratio"] =
        benchmark::Counter(wireUs * 1e-6, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.SetLabel(Label(transfer, bytes));
}

void ReportAgainstSimulator(benchmark::State &state, Transfer transfer, uint64_t bytes, const TurnSeconds &seconds) {
    const double iterations = static_cast<double>(state.iterations());
    if (iterations == 0) return;
    const double wireUs = WireMicroseconds(transfer, bytes);
    const double libraryUs = seconds.measured * 1e6 / iterations, simulatorUs = seconds.reference * 1e6 / iterations;
    state.counters["wire_us"] = wireUs;
    state.counters["wire_ratio"] = libraryUs / wireUs;
    state.counters["simulator_us"] = simulatorUs;
    state.counters["library_ratio"] = seconds.medianExcess * 1e6 / wireUs;
    state.SetLabel(Label(transfer, bytes));
}

}  // namespace nox_bench
