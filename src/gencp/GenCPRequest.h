#pragma once
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "gencp/GenCPPacket.h"
#include "logging/LazyLogger.h"

namespace vexo::genicam {

class GenCPConnection;

// One memory access waiting for its camera's acknowledges. The caller's
// thread sends and waits; the connection's poll thread calls the handlers,
// which end or extend the wait. A request's handlers run only for packets
// that carry one of its request ids.
class GenCPRequest {
public:
    enum class State { kWaiting, kAcknowledged, kTerminated };
    static constexpr uint32_t kTries = 3;

    // gencp_error "Cannot create read request; no camera attachment is
    // detected" (for writes too) when the connection's transmitter is not open.
    explicit GenCPRequest(GenCPConnection &sender);
    virtual ~GenCPRequest();
    GenCPRequest(const GenCPRequest &) = delete;
    GenCPRequest &operator=(const GenCPRequest &) = delete;

    // Ends the wait at once; the waiting caller gets gencp_error "Request was terminated!".
    virtual void Terminate();
    // A command sent by the camera: logged and dropped (the stack serves no
    // camera-initiated commands).
    virtual void OnCommand(const GenCPPacket &packet);
    // Acknowledges of a kind the request did not ask for: logged and dropped.
    virtual void OnReadAcknowledge(const GenCPPacket &packet);
    virtual void OnWriteAcknowledge(const GenCPPacket &packet);
    // The camera needs longer: the wait is extended by its temporary time-out.
    virtual void OnPendingAcknowledge(const GenCPPacket &packet);
    virtual tools::logging::Logger *GetLogger();

    // Called by the connection once the packet carries its id, before it goes out.
    void NoteSent(uint16_t requestId);

protected:
    // Sends the packet up to kTries times, the later ones flagged as resends,
    // each waiting for the acknowledge time-out. gencp_timeout(timeoutText)
    // after the last; gencp_error when terminated.
    void SendWithRetries(GenCPPacket &packet, const char *timeoutText);
    // With mutex_ held: whether a packet of this id answers the last sending;
    // an older id is logged as out of order and the wait extended.
    bool AnswersLastSending(const GenCPPacket &packet);
    // With mutex_ held.
    void Acknowledge();
    void Rearm(uint32_t milliseconds);
    void DropUnexpected(const GenCPPacket &packet, const char *what);

    GenCPConnection &sender_;
    const uint32_t ackTimeoutMs_;
    std::mutex mutex_;
    State state_ = State::kWaiting;
    uint16_t requestId_ = 0;

private:
    using Clock = std::chrono::steady_clock;
    // True when acknowledged, false when the deadline passed.
    bool WaitForAcknowledge();

    std::condition_variable changed_;
    Clock::time_point deadline_;
    tools::logging::LazyLogger logger_;
};

}  // namespace vexo::genicam
