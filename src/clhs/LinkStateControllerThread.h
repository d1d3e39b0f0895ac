#pragma once
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "clhs/ClhsBoardAccess.h"
#include "clhs/ClhsMessageChannel.h"

namespace vexo::genicam::clhs {

class ClhsTransceivers;

// Watches the link of one physical port every kPeriod and brings its message
// channel up when the link carries messages both ways.
//
// States (the value property 5 reports):
//   kDown (0)              no usable link: the transceiver is not locked or the
//                          coding sublayer not aligned. The X-Core is held in
//                          reset once a link that was up is lost.
//   kUp (1)                locked, aligned, revision messages flow both ways and
//                          the X-Core runs: the port carries messages.
//   kCheckingRevision (2)  locked and aligned; waiting for the camera's revision
//                          messages. kRevisionChecks periods without them and
//                          the receiver is reset (back to kDown).
//   kAwaitingPeer (3)      the camera's revision messages arrive, ours are sent,
//                          but the camera does not hear them yet.
// Any state falls to kDown the period the lock or the alignment goes.
class LinkStateControllerThread {
public:
    enum State : uint32_t { kDown = 0, kUp = 1, kCheckingRevision = 2, kAwaitingPeer = 3 };
    static constexpr std::chrono::milliseconds kPeriod{100};
    static constexpr uint32_t kRevisionChecks = 3;
    using Log = std::function<void(uint32_t level, const std::string &text)>;

    // What a watcher can know of the thread: its state, how many periods it
    // ran, and whether the transceiver was locked at the last one.
    struct Snapshot {
        State state = kDown;
        uint64_t periods = 0;
        bool locked = false;
    };

    // Writes 0 to the port's coding sublayer setup, then starts the thread.
    LinkStateControllerThread(uint32_t port, const ClhsBoardAccess &board, ClhsMessageChannel &channel,
                              ClhsTransceivers &transceivers, Log log);
    // Asks the thread to end and joins it.
    ~LinkStateControllerThread();
    LinkStateControllerThread(const LinkStateControllerThread &) = delete;
    LinkStateControllerThread &operator=(const LinkStateControllerThread &) = delete;

    State GetState() const;
    Snapshot Get() const;
    // Blocks until the thread ran `periods` more periods, or the bound passed.
    bool AwaitPeriods(uint64_t periods, std::chrono::milliseconds bound) const;

private:
    void Run();
    // One step of the machine.
    State Step(State state);
    State CheckRevision();
    State LinkLost(State state);
    bool ReceivesRevision() const;
    bool PeerReceivesRevision() const;
    void Publish(State state, bool locked);

    const uint32_t port_;
    const ClhsBoardAccess &board_;
    ClhsMessageChannel &channel_;
    ClhsTransceivers &transceivers_;
    Log log_;
    uint32_t revisionMisses_ = 0;
    bool revisionSeen_ = false;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    Snapshot snapshot_;
    bool stop_ = false;
    std::thread thread_;
};

}  // namespace vexo::genicam::clhs
