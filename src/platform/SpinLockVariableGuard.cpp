#include "platform/SpinLockVariableGuard.h"

#include "platform/ThreadId.h"

namespace vexo::templates::patterns {

namespace {
inline void CpuRelax() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}
}  // namespace

SpinLockVariableGuard::SpinLockVariableGuard(SpinLockVariable &variable) : variable_(variable) {
    const uint32_t self = platform::CurrentThreadId();
    if (variable_.ownerThreadId.load(std::memory_order_acquire) == self) return;
    uint32_t expected = 0;
    while (!variable_.lockWord.compare_exchange_weak(expected, 1, std::memory_order_acquire,
                                                     std::memory_order_relaxed)) {
        expected = 0;
        CpuRelax();
    }
    variable_.ownerThreadId.store(self, std::memory_order_release);
    acquired_ = true;
}

SpinLockVariableGuard::~SpinLockVariableGuard() {
    if (!acquired_) return;
    variable_.ownerThreadId.store(0, std::memory_order_release);
    variable_.lockWord.exchange(0, std::memory_order_release);
}

}  // namespace vexo::templates::patterns
