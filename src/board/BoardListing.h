#pragma once
#include <cstdint>
#include <vector>

namespace vexo::genicam {

// One board the board libraries offer, as the hardware library describes it.
struct BoardListing {
    uint32_t index = 0;
    int32_t typeCode = 0;
    const char *modelName = "";  // static; "" for a type the board type table lacks
    int64_t serial = 0;
    uint32_t portCount = 0;      // 0 for a type the table lacks
    uint32_t firmwareMajor = 0, firmwareMinor = 0;
};

// The boards from index 0 up to the first index the grabber library opens no
// session for, at most kMaxListedBoards; each session is closed before the next
// is opened, so no board object is made. Empty when the libraries are missing.
std::vector<BoardListing> ListBoards();

inline constexpr uint32_t kMaxListedBoards = 64;

}  // namespace vexo::genicam
