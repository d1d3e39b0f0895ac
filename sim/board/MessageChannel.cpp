#include "board/MessageChannel.h"

#include <algorithm>

#include "protocol/ClhsRegisters.h"

namespace vexo::sim {

namespace clhs = protocol::clhs;

void MessageChannel::AppendWord(uint32_t word) {
    if (count_ == kBufferWords) {
        overflowed_ = true;
        return;
    }
    buffer_[count_++] = word;
}

std::span<const uint32_t> MessageChannel::TakeMessage() {
    const uint32_t count = count_;
    const bool whole = !overflowed_;
    count_ = 0;
    overflowed_ = false;
    return whole ? std::span<const uint32_t>(buffer_, count) : std::span<const uint32_t>();
}

void MessageChannel::ClearBuffer() {
    count_ = 0;
    overflowed_ = stuckFull_ = false;
}

void MessageChannel::Sent(Clock::time_point busyUntil, bool failed) {
    failed_ = failed;
    busyUntil_ = failed ? Clock::time_point{} : std::max(busyUntil, busyUntil_);
}

uint64_t MessageChannel::TxStatus(Clock::time_point now, bool readsFull) const {
    return (now < busyUntil_ ? clhs::kTxStatusBusy : 0) | (failed_ ? clhs::kTxStatusSendFailed : 0) |
           (!Empty() || readsFull ? clhs::kTxStatusNotEmpty : 0);
}

bool MessageChannel::Enqueue(std::span<const uint32_t> words, Clock::time_point due, bool failed) {
    if (queued_ == kQueueMessages || words.size() > kMessageWords) return false;
    Message &message = queue_[(head_ + queued_++) % kQueueMessages];
    message.due = due;
    message.failed = failed;
    message.wordCount = failed ? 0 : uint32_t(words.size());
    std::copy_n(words.begin(), message.wordCount, message.words);
    return true;
}

uint32_t MessageChannel::DropUnarrived(Clock::time_point now) {
    uint32_t dropped = 0;
    while (queued_ > 0 && queue_[(head_ + queued_ - 1) % kQueueMessages].due > now) {
        --queued_;
        ++dropped;
    }
    if (queued_ == 0) readIndex_ = 0;
    return dropped;
}

MessageChannel::Clock::time_point MessageChannel::LastDue() const {
    return queued_ == 0 ? Clock::time_point{} : queue_[(head_ + queued_ - 1) % kQueueMessages].due;
}

const MessageChannel::Message *MessageChannel::Arrived(Clock::time_point now) const {
    if (queued_ == 0 || queue_[head_].due > now) return nullptr;
    return &queue_[head_];
}

uint64_t MessageChannel::ReadRxStatus(Clock::time_point now) {
    const Message *message = Arrived(now);
    if (!message) return 0;
    const bool wordsLeft = readIndex_ < message->wordCount;
    const uint64_t status = clhs::kRxStatusMessage | (wordsLeft ? clhs::kRxStatusWordsLeft : 0) |
                            (message->failed ? clhs::kRxStatusFailed : 0);
    if (!wordsLeft) {
        head_ = (head_ + 1) % kQueueMessages;
        --queued_;
        readIndex_ = 0;
    }
    return status;
}

uint64_t MessageChannel::ReadRxData(Clock::time_point now) {
    const Message *message = Arrived(now);
    if (!message || readIndex_ >= message->wordCount) return 0;
    return message->words[readIndex_++] | clhs::kRxDataValid;
}

void MessageChannel::Reset() {
    ClearBuffer();
    failed_ = false;
    busyUntil_ = {};
    queued_ = 0;
    readIndex_ = 0;
}

void MessageChannel::Repair() {
    count_ = std::min(count_, kBufferWords);
    head_ %= kQueueMessages;
    if (queued_ > kQueueMessages) queued_ = 0;
    if (queued_ == 0 || readIndex_ > queue_[head_].wordCount) readIndex_ = 0;
}

}  // namespace vexo::sim
