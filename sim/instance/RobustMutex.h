#pragma once
#include <pthread.h>

#include <chrono>

namespace vexo::sim {

// A mutex that threads of every process mapping it share, and that survives
// its owner's death: the next locker is told so and repairs what the owner
// left half done. Plain data: it lives in the simulator's shared memory and
// is set up once, by whoever builds that memory.
class RobustMutex {
public:
    enum class Result { Acquired, OwnerDied, Failed };

    // Recursive: the owning thread may lock again, each lock needing its unlock.
    bool Initialise(bool recursive);
    // Waits at most `bound`. OwnerDied: acquired, and the mutex is usable
    // again once the caller has repaired the state it guards.
    Result Lock(std::chrono::milliseconds bound);
    // Waits without limit; a dead owner's state is the caller's to repair.
    Result Lock();
    // False when the calling thread does not hold it.
    bool Unlock() { return ::pthread_mutex_unlock(&mutex_) == 0; }

private:
    Result Outcome(int status);

    pthread_mutex_t mutex_;
};

}  // namespace vexo::sim
