#pragma once
#include <cstdint>

#include "camera/FeatureRegisters.h"
#include "protocol/CxpBootstrap.h"

namespace vexo::sim {

// Camera addresses of the description: the URL text and the file it names.
inline constexpr uint32_t kUrlAddress = 0x8000;
inline constexpr uint32_t kUrlBlockSize = 512;
inline constexpr uint32_t kDescriptionAddress = 0x100000;
// Where a camera with "scratch_bytes" keeps that much writable memory.
inline constexpr uint32_t kScratchAddress = 0x10000000;
inline constexpr uint32_t kFamilyNameSize = 32;

// Bytes of the simulator's shared memory past its fixed part: an offset from
// the segment's start and a length.
struct ByteArea {
    uint64_t offset = 0;
    uint32_t size = 0;
};

// The state of a CoaXPress camera, as plain data in the simulator's shared
// memory; its description and scratch memory are byte areas of the segment.
struct CxpCameraState {
    bool running = false;
    uint32_t bitRate = 0;
    uint32_t configuredLinks = 0;
    uint32_t masterHostId = 0;
    uint32_t streamPacketSizeMax = 0;
    uint32_t manifestSelector = 0;
    FeatureRegisters features;
    // The device strings, from their first address on.
    uint8_t strings[protocol::cxp::bootstrap::kDeviceStringsEnd - protocol::cxp::bootstrap::kDeviceStringsBegin]{};
    uint8_t familyName[kFamilyNameSize]{};
    uint8_t url[kUrlBlockSize]{};
    ByteArea description;  // padded to whole words
    ByteArea scratch;
};

}  // namespace vexo::sim
