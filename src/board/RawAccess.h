#pragma once
// The flags of a camera memory access, named so that a call reads as a sentence:
// ReadRaw(port, address, &value, 4, ByteSwap::kSwapWords, ...).
#include <cstdint>

namespace vexo::genicam {

// Which way the bytes go.
enum class Access : uint8_t {
    kRead,
    kWrite,
};

// Camera registers are big-endian on the wire. kSwapWords turns every 32-bit
// word into a host number (a register value); kWireOrder keeps the bytes in the
// order the camera holds them (memory blocks, text).
enum class ByteSwap : uint8_t {
    kWireOrder = 0,
    kSwapWords = 1,
};

// What a write expects back from the camera.
enum class AcknowledgeMode : uint32_t {
    kRequired = 0,
    kOptional = 1,  // a missing acknowledgment is no failure (the camera may switch its link first)
    kNone = 2,      // sent and done: a reset that drops the link before it could answer
};

// A camera's GenCP error status (bit 15 set), which the GenCP controllers
// return positive, is negated at the exported boundary, where it has a
// description; every other status passes as it is.
constexpr int32_t ExportedStatus(int32_t status) { return status >= 0x8000 && status <= 0xFFFF ? -status : status; }

// The exported functions take the swap flag as a number: anything but 0 swaps.
constexpr ByteSwap ByteSwapOf(uint32_t flag) { return flag != 0 ? ByteSwap::kSwapWords : ByteSwap::kWireOrder; }

}  // namespace vexo::genicam
