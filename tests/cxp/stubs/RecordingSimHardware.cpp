// A hardware library for tests: hands every call on to the virtual frame
// grabber (REAL_HAL) and counts the register accesses, keeping the writes.
#include <dlfcn.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

#define RECORDING_API extern "C" __attribute__((visibility("default")))

namespace {

constexpr size_t kMaxRecordedWrites = 1 << 20;

std::atomic<uint64_t> g_reads{0};
std::atomic<uint64_t> g_writes{0};
std::mutex g_mutex;
std::vector<std::pair<uint32_t, uint64_t>> g_written;

void *Simulator() {
    static void *handle = ::dlopen(REAL_HAL, RTLD_NOW);
    return handle;
}

template <class Function>
Function Forward(const char *name) {
    void *handle = Simulator();
    return handle != nullptr ? reinterpret_cast<Function>(::dlsym(handle, name)) : nullptr;
}

}  // namespace

RECORDING_API int32_t InitDevice(void) { return 0; }

RECORDING_API int32_t ReadBoardRegister(uint64_t device, uint32_t address, uint64_t *value) {
    g_reads.fetch_add(1);
    static const auto real = Forward<int32_t (*)(uint64_t, uint32_t, uint64_t *)>("ReadBoardRegister");
    return real ? real(device, address, value) : -1;
}

RECORDING_API int32_t WriteBoardRegister(uint64_t device, uint32_t address, uint64_t value) {
    g_writes.fetch_add(1);
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (g_written.size() < kMaxRecordedWrites) g_written.emplace_back(address, value);
    }
    static const auto real = Forward<int32_t (*)(uint64_t, uint32_t, uint64_t)>("WriteBoardRegister");
    return real ? real(device, address, value) : -1;
}

RECORDING_API int64_t QueryBoardInfo(uint64_t device, const char *key) {
    static const auto real = Forward<int64_t (*)(uint64_t, const char *)>("QueryBoardInfo");
    return real ? real(device, key) : -1;
}

RECORDING_API uint32_t QueryBoardIndex(uint64_t device, uint32_t reserved) {
    static const auto real = Forward<uint32_t (*)(uint64_t, uint32_t)>("QueryBoardIndex");
    return real ? real(device, reserved) : 0xFFFFFFFFu;
}

// --- for the tests ---------------------------------------------------------------

RECORDING_API void recording_reset(void) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_reads = 0;
    g_writes = 0;
    g_written.clear();
}

RECORDING_API uint64_t recording_reads(void) { return g_reads.load(); }
RECORDING_API uint64_t recording_writes(void) { return g_writes.load(); }

RECORDING_API int32_t recording_write_at(uint64_t index, uint32_t *address, uint64_t *value) {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (index >= g_written.size()) return -1;
    *address = g_written[index].first;
    *value = g_written[index].second;
    return 0;
}
