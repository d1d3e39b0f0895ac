#pragma once
#include <atomic>
#include <cstdint>

namespace vexo::sim {

// A word of the shared state that readers may load without the board's lock
// (registers whose reading changes nothing): stored and loaded whole, so a
// reader sees the value before or after a write, never a mix. Writers still
// hold the board's lock; only the store itself is atomic.
inline uint64_t LoadWord(const uint64_t &word) {
    return std::atomic_ref<uint64_t>(const_cast<uint64_t &>(word)).load(std::memory_order_relaxed);
}

inline void StoreWord(uint64_t &word, uint64_t value) {
    std::atomic_ref<uint64_t>(word).store(value, std::memory_order_relaxed);
}

}  // namespace vexo::sim
