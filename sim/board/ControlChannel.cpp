#include "board/ControlChannel.h"

namespace vexo::sim {

ControlChannel::Event ControlChannel::Accept(uint64_t value) {
    if (value == kPacketStartMarker) {
        open_ = true;  // a start inside a frame abandons the partial one
        broken_ = false;
        length_ = 0;
        return Event::Opened;
    }
    if (!open_) return Event::None;  // words outside a frame are dropped
    if (value == kPacketEndMarker) {
        open_ = false;
        return Event::Closed;
    }
    if (value >> 32 != 0 || length_ == kMaxFrameWords)
        broken_ = true;
    else
        frame_[length_++] = uint32_t(value);
    return Event::None;
}

void ControlChannel::PushAnswer(std::span<const uint32_t> words, Clock::time_point first, Clock::duration pace) {
    if (words.size() > kQueueCapacity - count_) return;
    Clock::time_point at = first;
    for (uint32_t word : words) {
        const uint32_t slot = (head_ + count_++) % kQueueCapacity;
        queue_[slot] = word;
        readyAt_[slot] = at;
        at += pace;
    }
}

std::optional<uint32_t> ControlChannel::PopAnswerWord(Clock::time_point now) {
    if (count_ == 0 || readyAt_[head_] > now) return std::nullopt;
    const uint32_t word = queue_[head_];
    head_ = (head_ + 1) % kQueueCapacity;
    --count_;
    return word;
}

void ControlChannel::Repair() {
    open_ = false;
    broken_ = false;
    length_ = 0;
    head_ %= kQueueCapacity;
    if (count_ > kQueueCapacity) count_ = 0;
}

}  // namespace vexo::sim
