#include "instance/RobustMutex.h"

#include <cerrno>
#include <ctime>
#include <thread>

namespace vexo::sim {

bool RobustMutex::Initialise(bool recursive) {
    pthread_mutexattr_t attributes;
    if (::pthread_mutexattr_init(&attributes) != 0) return false;
    const bool configured =
        ::pthread_mutexattr_setpshared(&attributes, PTHREAD_PROCESS_SHARED) == 0 &&
        ::pthread_mutexattr_setrobust(&attributes, PTHREAD_MUTEX_ROBUST) == 0 &&
        ::pthread_mutexattr_settype(&attributes, recursive ? PTHREAD_MUTEX_RECURSIVE : PTHREAD_MUTEX_NORMAL) == 0;
    const bool initialised = configured && ::pthread_mutex_init(&mutex_, &attributes) == 0;
    ::pthread_mutexattr_destroy(&attributes);
    return initialised;
}

RobustMutex::Result RobustMutex::Outcome(int status) {
    if (status == 0) return Result::Acquired;
    if (status != EOWNERDEAD) return Result::Failed;
    ::pthread_mutex_consistent(&mutex_);
    return Result::OwnerDied;
}

RobustMutex::Result RobustMutex::Lock() { return Outcome(::pthread_mutex_lock(&mutex_)); }

RobustMutex::Result RobustMutex::Lock(std::chrono::milliseconds bound) {
    // The uncontended case needs no deadline, and so no clock.
    const int status = ::pthread_mutex_trylock(&mutex_);
    if (status != EBUSY || bound <= std::chrono::milliseconds::zero()) return Outcome(status);
#if defined(__SANITIZE_THREAD__)
    // The thread sanitizer does not see pthread_mutex_clocklock take the mutex
    // and would report the holder's accesses as races: poll with trylock there.
    const auto end = std::chrono::steady_clock::now() + bound;
    int polled = status;
    while (polled == EBUSY && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::microseconds(50));
        polled = ::pthread_mutex_trylock(&mutex_);
    }
    return Outcome(polled);
#else
    timespec deadline{};
    ::clock_gettime(CLOCK_MONOTONIC, &deadline);
    const auto total = std::chrono::nanoseconds(deadline.tv_nsec) + bound;
    deadline.tv_sec += time_t(std::chrono::duration_cast<std::chrono::seconds>(total).count());
    deadline.tv_nsec = long((total % std::chrono::seconds(1)).count());
    return Outcome(::pthread_mutex_clocklock(&mutex_, CLOCK_MONOTONIC, &deadline));
#endif
}

}  // namespace vexo::sim
