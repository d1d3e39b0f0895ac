// A stand-in hardware library that records the board information it is asked
// for. The board type it reports is the low 16 bits of the device handle;
// firmware/major and firmware/minor carry noise above their low byte.
#include <cstdint>
#include <cstring>
#include <string>

#define EXPORT extern "C" __attribute__((visibility("default")))

static std::string g_log;

EXPORT const char *stub_call_log() { return g_log.c_str(); }
EXPORT int32_t InitDevice() { return 0; }
EXPORT int64_t QueryBoardInfo(uint64_t device, const char *key) {
    g_log += std::string(key) + ";";
    if (std::strcmp(key, "board/type") == 0) return static_cast<int64_t>(device & 0xFFFF);
    if (std::strcmp(key, "board/serial") == 0) return 4711;
    if (std::strcmp(key, "firmware/major") == 0) return 0x7702;
    if (std::strcmp(key, "firmware/minor") == 0) return 0x550B;
    return -1;
}
EXPORT uint32_t QueryBoardIndex(uint64_t, uint32_t reserved) {
    g_log += "index(" + std::to_string(reserved) + ");";
    return 2;
}
