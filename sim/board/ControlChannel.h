#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "camera/ControlPacket.h"

namespace vexo::sim {

// One applet port's control channel: assembles the words written to its
// transmit register into frames and holds the acknowledgment words that wait
// in its receive queue. Fixed storage: nothing is allocated per word.
class ControlChannel {
public:
    static constexpr uint32_t kQueueCapacity = 4096;

    enum class Event { None, Opened, Closed };

    // Takes one word written to the transmit register.
    Event Accept(uint64_t value);
    // The frame just closed; empty when it was broken (overflow, stray control words).
    std::span<const uint32_t> Frame() const {
        return broken_ ? std::span<const uint32_t>() : std::span<const uint32_t>(frame_.data(), length_);
    }

    // Queues a whole acknowledgment, or drops it when the queue has no room for all of it.
    void PushAnswer(std::span<const uint32_t> words);
    std::optional<uint32_t> PopAnswerWord();

private:
    std::array<uint32_t, kMaxFrameWords> frame_{};
    uint32_t length_ = 0;
    bool open_ = false;
    bool broken_ = false;

    std::array<uint32_t, kQueueCapacity> queue_{};
    uint32_t head_ = 0;
    uint32_t count_ = 0;
};

}  // namespace vexo::sim
