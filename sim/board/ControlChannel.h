#pragma once
#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>

#include "camera/ControlPacket.h"

namespace vexo::sim {

// One applet port's control channel: assembles the words written to its
// transmit register into frames and holds the acknowledgment words that wait
// in its receive queue. A queued word becomes readable at its own time, as
// the words of an answer arrive one after another on the wire. Plain fixed
// storage: it lives in the simulator's shared memory.
class ControlChannel {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr uint32_t kQueueCapacity = 4096;

    enum class Event { None, Opened, Closed };

    // Takes one word written to the transmit register.
    Event Accept(uint64_t value);
    // The frame just closed; empty when it was broken (overflow, stray control words).
    std::span<const uint32_t> Frame() const {
        return broken_ ? std::span<const uint32_t>() : std::span<const uint32_t>(frame_, length_);
    }

    // Queues a whole acknowledgment, or drops it when the queue has no room
    // for all of it. Its first word is readable from `first`, each further
    // one `pace` later.
    void PushAnswer(std::span<const uint32_t> words, Clock::time_point first, Clock::duration pace);
    // The oldest word, once it is readable.
    std::optional<uint32_t> PopAnswerWord(Clock::time_point now);

    // After a process died writing to the channel: the frame it was writing
    // is abandoned and the queue's bounds made whole again.
    void Repair();

private:
    uint32_t frame_[kMaxFrameWords]{};
    uint32_t length_ = 0;
    bool open_ = false;
    bool broken_ = false;

    uint32_t queue_[kQueueCapacity]{};
    Clock::time_point readyAt_[kQueueCapacity]{};
    uint32_t head_ = 0;
    uint32_t count_ = 0;
};

}  // namespace vexo::sim
