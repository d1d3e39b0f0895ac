#pragma once
#include <atomic>
#include <cstdint>

#include "platform/GuardedSingletonBase.h"
#include "platform/LibraryInitController.h"
#include "platform/SpinLockVariableGuard.h"
#include "platform/ThreadId.h"

namespace vexo::templates::patterns {

// Lazily created process-wide instance of T, registered with the library
// controller while the library is up so that the last GenICamDeinit destroys
// it. T befriends GuardedSingleton<T> and has a default constructor.
template <class T>
class GuardedSingleton : public GuardedSingletonBase {
public:
    static T *Instance();

    std::atomic<GuardedSingletonBase *> *InstancePointerAddress() override { return &published_; }

    // The published instance, or null; never creates one.
    static T *Peek() { return static_cast<T *>(published_.load(std::memory_order_acquire)); }

private:
    static inline std::atomic<GuardedSingletonBase *> published_{nullptr};
    static inline std::atomic<T *> underConstruction_{nullptr};
    static inline std::atomic<uint32_t> constructingThread_{0};
    static inline SpinLockVariable lock_;
};

template <class T>
T *GuardedSingleton<T>::Instance() {
    if (T *instance = Peek()) return instance;
    const uint32_t self = platform::CurrentThreadId();
    // Calls made by the initialisation hook see the instance being built.
    if (constructingThread_.load(std::memory_order_acquire) == self) {
        if (T *building = underConstruction_.load(std::memory_order_acquire)) return building;
    }
    SpinLockVariableGuard guard(lock_);
    if (T *instance = Peek()) return instance;
    T *instance = new T;
    underConstruction_.store(instance, std::memory_order_release);
    constructingThread_.store(self, std::memory_order_release);
    platform::LibraryInitController::RegisterSingleton(instance);
    instance->OnInitialize();
    published_.store(instance, std::memory_order_release);
    constructingThread_.store(0, std::memory_order_release);
    underConstruction_.store(nullptr, std::memory_order_release);
    return instance;
}

}  // namespace vexo::templates::patterns
