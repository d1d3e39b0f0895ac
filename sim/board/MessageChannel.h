#pragma once
#include <chrono>
#include <cstdint>
#include <span>

namespace vexo::sim {

// One applet port's X-Core message channel of a Camera Link HS board: the
// transmit buffer the host fills word by word, the state of the last send,
// and the queue of received messages the host reads word by word, retiring
// each with a status read once its words are read. A queued message is
// readable once its last word has arrived. Plain fixed storage: it lives in
// the simulator's shared memory.
class MessageChannel {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr uint32_t kBufferWords = 256;
    static constexpr uint32_t kQueueMessages = 16;
    static constexpr uint32_t kMessageWords = 256;

    // Transmit side. A word beyond the buffer's room is lost, and the
    // message it belonged to fails when sent.
    void AppendWord(uint32_t word);
    bool Empty() const { return count_ == 0 && !overflowed_ && !stuckFull_; }
    // The buffer's words as one message; the buffer is empty afterwards.
    // Nothing when words were lost.
    std::span<const uint32_t> TakeMessage();
    void ClearBuffer();
    // A clear command that did not clear: the buffer reads not empty until the next one does.
    void StickFull() { stuckFull_ = true; }
    // A send: busy until the camera took it, or failed at once.
    void Sent(Clock::time_point busyUntil, bool failed);
    // "ClhsTxCmdStatus_": busy, send failed; not empty when the buffer holds
    // words, is stuck or `readsFull` says it reads so anyway.
    uint64_t TxStatus(Clock::time_point now, bool readsFull) const;

    // Receive side. False when the queue has no room: the message is lost.
    // A failed message keeps none of its words.
    bool Enqueue(std::span<const uint32_t> words, Clock::time_point due, bool failed);
    // Messages not yet arrived are lost: the link went down under them.
    uint32_t DropUnarrived(Clock::time_point now);
    // When the last message queued arrives; earlier ones arrive before it.
    Clock::time_point LastDue() const;
    // "ClhsRxCmdStatus_": a read that shows a message whose words are all
    // read retires it.
    uint64_t ReadRxStatus(Clock::time_point now);
    // "ClhsRxCmdData_": the next word with bit 32 set, or 0.
    uint64_t ReadRxData(Clock::time_point now);

    // The X-Core reset: buffer, queue and status bits cleared.
    void Reset();
    // After a process died in a call on the channel: indices made whole again.
    void Repair();

private:
    struct Message {
        Clock::time_point due;
        uint32_t wordCount;
        bool failed;
        uint32_t words[kMessageWords];
    };
    const Message *Arrived(Clock::time_point now) const;

    uint32_t buffer_[kBufferWords]{};
    uint32_t count_ = 0;
    bool overflowed_ = false;
    bool stuckFull_ = false;
    bool failed_ = false;
    Clock::time_point busyUntil_{};

    Message queue_[kQueueMessages]{};
    uint32_t head_ = 0;
    uint32_t queued_ = 0;
    uint32_t readIndex_ = 0;  // words of the oldest message already read
};

}  // namespace vexo::sim
