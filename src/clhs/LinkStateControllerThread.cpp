#include "clhs/LinkStateControllerThread.h"

#include "clhs/ClhsTransceivers.h"
#include "logging/Logger.h"
#include "protocol/ClhsRegisters.h"

namespace vexo::genicam::clhs {

using Map = ClhsRegisterMap;
using tools::logging::kLevelDetail;
using tools::logging::kLevelInfo;
using tools::logging::kLevelWarning;

namespace {
// Bits of "ClhsLinkRxStatus_<p>".
constexpr uint32_t kCameraRevisionBit = 0;
constexpr uint32_t kPeerHearsUsBit = 1;
}  // namespace

LinkStateControllerThread::LinkStateControllerThread(uint32_t port, const ClhsBoardAccess &board,
                                                     ClhsMessageChannel &channel, ClhsTransceivers &transceivers,
                                                     Log log)
    : port_(port), board_(board), channel_(channel), transceivers_(transceivers), log_(std::move(log)) {
    board_.Write(Map::kPcsSetup, port_, 0);
    thread_ = std::thread([this] { Run(); });
}

LinkStateControllerThread::~LinkStateControllerThread() {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
}

LinkStateControllerThread::State LinkStateControllerThread::GetState() const { return Get().state; }

LinkStateControllerThread::Snapshot LinkStateControllerThread::Get() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return snapshot_;
}

bool LinkStateControllerThread::AwaitPeriods(uint64_t periods, std::chrono::milliseconds bound) const {
    std::unique_lock<std::mutex> lock(mutex_);
    const uint64_t target = snapshot_.periods + periods;
    return changed_.wait_for(lock, bound, [&] { return stop_ || snapshot_.periods >= target; }) && !stop_;
}

void LinkStateControllerThread::Publish(State state, bool locked) {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        snapshot_.state = state;
        snapshot_.locked = locked;
        ++snapshot_.periods;
    }
    changed_.notify_all();
}

void LinkStateControllerThread::Run() {
    State state = kDown;
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stop_) {
        lock.unlock();
        state = Step(state);
        Publish(state, transceivers_.Locked(port_));
        lock.lock();
        changed_.wait_for(lock, kPeriod, [this] { return stop_; });
    }
}

LinkStateControllerThread::State LinkStateControllerThread::Step(State state) {
    const bool aligned = transceivers_.Locked(port_) && board_.Bit(Map::kPcsStatus, port_, 0);
    if (!aligned) return LinkLost(state);
    if (state == kDown) {
        log_(kLevelDetail, "Check for receiver revision messages on port " + std::to_string(port_));
        revisionMisses_ = 0;
        revisionSeen_ = false;
        state = kCheckingRevision;
    }
    if (state == kUp) return ReceivesRevision() && PeerReceivesRevision() ? kUp : LinkLost(state);
    return CheckRevision();
}

// A link whose messages flowed holds its X-Core in reset while it is down, so
// that nothing half sent or half received survives into the next link.
LinkStateControllerThread::State LinkStateControllerThread::LinkLost(State state) {
    if (state == kUp) board_.Write(Map::kControlCoreReset, port_, protocol::clhs::kControlCoreResetValue);
    return kDown;
}

LinkStateControllerThread::State LinkStateControllerThread::CheckRevision() {
    if (!ReceivesRevision()) {
        if (++revisionMisses_ < kRevisionChecks) return kCheckingRevision;
        const std::string port = std::to_string(port_);
        log_(kLevelWarning, "Not receiving any revision messages on port " + port);
        log_(kLevelInfo, "Resetting GTX receiver on channel " + port);
        transceivers_.Reset(1u << port_, " on channel " + port);
        return kDown;
    }
    if (!revisionSeen_) {
        log_(kLevelDetail, "Receiving revision messages on port " + std::to_string(port_));
        revisionSeen_ = true;
    }
    board_.Write(Map::kTxRevision, port_, 1);
    if (!PeerReceivesRevision()) return kAwaitingPeer;
    log_(kLevelInfo, "Release XCore reset on port " + std::to_string(port_));
    board_.Write(Map::kControlCoreReset, port_, 0);
    return kUp;
}

// An applet without the receive status register cannot tell: an aligned
// coding sublayer has to do.
bool LinkStateControllerThread::ReceivesRevision() const {
    if (!board_.Map().Has(Map::kLinkRxStatus, port_)) return true;
    return board_.Bit(Map::kLinkRxStatus, port_, kCameraRevisionBit);
}

bool LinkStateControllerThread::PeerReceivesRevision() const {
    if (!board_.Map().Has(Map::kLinkRxStatus, port_)) return true;
    return board_.Bit(Map::kLinkRxStatus, port_, kPeerHearsUsBit);
}

}  // namespace vexo::genicam::clhs
