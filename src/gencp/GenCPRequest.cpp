#include "gencp/GenCPRequest.h"

#include <string>

#include "gencp/GenCPConnection.h"
#include "gencp/GenCPException.h"
#include "gencp/GenCPPacketKinds.h"
#include "gencp/GenCpLog.h"
#include "logging/LoggerNames.h"

namespace vexo::genicam {

namespace gencp = protocol::gencp;
using namespace tools::logging;

GenCPRequest::GenCPRequest(GenCPConnection &sender)
    : sender_(sender), ackTimeoutMs_(sender.Settings().ackTimeoutMs) {
    if (!sender.GetTransmitter().IsOpen())
        throw gencp_error("Cannot create read request; no camera attachment is detected");
}

GenCPRequest::~GenCPRequest() { sender_.Forget(*this); }

Logger *GenCPRequest::GetLogger() { return logger_.Get(names::kGenCpRequest); }

void GenCPRequest::Terminate() {
    {
        std::lock_guard lock(mutex_);
        state_ = State::kTerminated;
    }
    changed_.notify_all();
}

void GenCPRequest::NoteSent(uint16_t requestId) {
    std::lock_guard lock(mutex_);
    requestId_ = requestId;
    if (state_ != State::kTerminated) state_ = State::kWaiting;
    deadline_ = Clock::now() + std::chrono::milliseconds(ackTimeoutMs_);
}

void GenCPRequest::SendWithRetries(GenCPPacket &packet, const char *timeoutText) {
    for (uint32_t attempt = 0; attempt < kTries; ++attempt) {
        if (attempt > 0) packet.SetFlags(packet.Flags() | gencp::kFlagResend);
        sender_.Send(*this, packet);
        GenCpLog(GetLogger(), kLevelTrace,
                 [&] { return "sending packet; waiting for ack; try count " + std::to_string(attempt); });
        if (WaitForAcknowledge()) return;
    }
    throw gencp_timeout(timeoutText);
}

bool GenCPRequest::WaitForAcknowledge() {
    std::unique_lock lock(mutex_);
    while (state_ == State::kWaiting && Clock::now() < deadline_) changed_.wait_until(lock, deadline_);
    if (state_ == State::kTerminated) throw gencp_error("Request was terminated!");
    return state_ == State::kAcknowledged;
}

bool GenCPRequest::AnswersLastSending(const GenCPPacket &packet) {
    if (packet.RequestId() == requestId_) return true;
    GenCpLog(GetLogger(), kLevelWarning, [] { return std::string("Packet out of order received."); });
    Rearm(ackTimeoutMs_);
    return false;
}

void GenCPRequest::Acknowledge() {
    if (state_ == State::kWaiting) state_ = State::kAcknowledged;
    changed_.notify_all();
}

void GenCPRequest::Rearm(uint32_t milliseconds) {
    deadline_ = Clock::now() + std::chrono::milliseconds(milliseconds);
    changed_.notify_all();
}

void GenCPRequest::DropUnexpected(const GenCPPacket &packet, const char *what) {
    GenCpLog(GetLogger(), kLevelWarning, [&] {
        return std::string(what) + " " + HexText(packet.Command()) + " for request " +
               std::to_string(packet.RequestId()) + " dropped.";
    });
}

void GenCPRequest::OnCommand(const GenCPPacket &packet) { DropUnexpected(packet, "Camera-initiated command"); }

void GenCPRequest::OnReadAcknowledge(const GenCPPacket &packet) { DropUnexpected(packet, "Unexpected acknowledge"); }

void GenCPRequest::OnWriteAcknowledge(const GenCPPacket &packet) { DropUnexpected(packet, "Unexpected acknowledge"); }

void GenCPRequest::OnPendingAcknowledge(const GenCPPacket &packet) {
    const uint16_t timeoutMs = GenCPPendingAckPacket(packet).TimeoutMs();
    GenCpLog(GetLogger(), kLevelError, [&] { return "Pending Ack: waiting for " + std::to_string(timeoutMs); });
    std::lock_guard lock(mutex_);
    if (state_ == State::kWaiting) Rearm(timeoutMs);
}

}  // namespace vexo::genicam
