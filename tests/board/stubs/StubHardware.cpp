// A stand-in hardware library with every entry point; it counts calls.
#include <cstdint>

#define EXPORT extern "C" __attribute__((visibility("default")))

static int g_calls = 0;

EXPORT int stub_call_count() { return g_calls; }
EXPORT int32_t InitDevice() { return ++g_calls, 0; }
EXPORT int32_t ReadBoardRegister(uint64_t device, uint32_t address, uint64_t *value) {
    ++g_calls;
    *value = device * 0x10000 + address;
    return 0;
}
EXPORT int32_t WriteBoardRegister(uint64_t, uint32_t, uint64_t) { return ++g_calls, 0; }
EXPORT int64_t QueryBoardInfo(uint64_t, const char *) { return ++g_calls, 0x0C41; }
EXPORT uint32_t QueryBoardIndex(uint64_t, uint32_t) { return ++g_calls, 3; }
#ifndef PARTIAL
EXPORT uint32_t QueryCameraStatus(uint64_t, uint32_t) { return ++g_calls, 1; }
EXPORT int32_t OpenSerialPort(uint64_t, uint32_t, uint32_t, uint32_t *rx, uint32_t *tx) {
    *rx = 1;
    *tx = 2;
    return ++g_calls, 0;
}
EXPORT int32_t SetSerialBaudRate(uint64_t, uint32_t, uint32_t) { return ++g_calls, 0; }
EXPORT int32_t CountQueueWords(uint64_t, uint32_t) { return ++g_calls, 5; }
EXPORT int32_t ReadQueueWords(uint64_t, uint32_t, void *, uint32_t bytes, uint32_t) { return ++g_calls, int32_t(bytes); }
EXPORT int32_t WriteQueueBytes(uint64_t, uint32_t, const void *, uint32_t bytes, uint32_t) {
    return ++g_calls, int32_t(bytes);
}
EXPORT void FlushQueue(uint64_t, uint32_t) { ++g_calls; }
EXPORT void ReleaseQueue(uint64_t, uint32_t) { ++g_calls; }
#endif
