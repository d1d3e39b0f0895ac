#pragma once
// Topologies of the virtual frame grabber that the benchmarks run on, as JSON
// texts for vexosim_load_topology.
#include <cstdint>
#include <string>

namespace nox_bench {

// The control packet size every benchmark camera declares; transfers are cut
// into commands of DataBytesPerPacket(kControlPacketSize) data bytes.
constexpr uint32_t kControlPacketSize = 1024;

// Where the simulated camera serves its description.
constexpr uint32_t kDescriptionAddress = 0x100000;

// How a benchmark's boards keep time: the hardware's (lock times, wire time,
// the camera's turn-around), or instant answers, for the benchmarks that
// count the work done by the calling thread rather than the time taken.
enum class Timing { kHardware, kInstant };

// The default board (one cxp4-c, a 2-link camera on ports 0 and 1, a 1-link
// camera on port 2).
std::string DefaultBoard(Timing timing);
// The same, the first camera serving the file at descriptionPath, zipped or as it is.
std::string DefaultBoardWithDescription(const std::string &descriptionPath, bool zip, Timing timing);

// `boards` cxp4-c boards, each with a 1-link camera on each of its 4 ports.
std::string FullBoards(uint32_t boards);

// A description of at least `bytes` bytes: the one the simulated camera
// serves by default followed by generated integer features over its
// registers, so that it loads and reads like a camera's own.
std::string LargeDescription(const std::string &builtIn, size_t bytes);

}  // namespace nox_bench
