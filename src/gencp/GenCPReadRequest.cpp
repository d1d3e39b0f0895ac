#include "gencp/GenCPReadRequest.h"

#include <algorithm>
#include <string>

#include "gencp/GenCPException.h"
#include "gencp/GenCPPacketKinds.h"
#include "gencp/GenCpLog.h"
#include "logging/LoggerNames.h"

namespace vexo::genicam {

namespace gencp = protocol::gencp;
using namespace tools::logging;

GenCPReadRequest::GenCPReadRequest(GenCPConnection &sender, uint64_t address, uint32_t length)
    : GenCPRequest(sender), address_(address), length_(length) {
    received_.reserve(length);
}

Logger *GenCPReadRequest::GetLogger() { return logger_.Get(names::kGenCpReadRequest); }

void GenCPReadRequest::Run() {
    while (received_.size() < length_) {
        const uint32_t done = static_cast<uint32_t>(received_.size());
        const uint32_t count = std::min(length_ - done, gencp::kMaxReadBytes);
        GenCPReadPacket packet(address_ + done, static_cast<uint16_t>(count));
        GenCpLog(GetLogger(), kLevelDetail, [&] {
            return "Sending read request for " + std::to_string(count) + " bytes beginning with " +
                   HexText(address_ + done) + ".";
        });
        packet.SetFlags(gencp::kFlagAckRequested);
        {
            std::lock_guard lock(mutex_);
            pieceLength_ = count;
            pieceReceived_ = 0;
        }
        SendWithRetries(packet, "No acknowledgement received for a read request.");
        std::lock_guard lock(mutex_);
        if (status_ != 0) throw GenCPException("Camera reports an error.", status_);
        if (pieceReceived_ == 0) throw gencp_error("Camera sent no data.");
    }
}

void GenCPReadRequest::OnCommand(const GenCPPacket &packet) {
    if (packet.Status() != static_cast<uint16_t>(gencp::Status::kBusy)) return GenCPRequest::OnCommand(packet);
    std::lock_guard lock(mutex_);
    if (state_ == State::kWaiting) Rearm(ackTimeoutMs_);
}

void GenCPReadRequest::OnReadAcknowledge(const GenCPPacket &packet) {
    std::lock_guard lock(mutex_);
    if (state_ != State::kWaiting || !AnswersLastSending(packet)) return;
    status_ = packet.IsError() ? packet.Status() : 0;
    if (status_ == 0) {
        // Never more than the command asked for, whatever the camera sends.
        const uint32_t count = std::min<uint32_t>(packet.Length(), pieceLength_);
        received_.insert(received_.end(), packet.Data(), packet.Data() + count);
        pieceReceived_ = count;
        GenCpLog(GetLogger(), kLevelDetail, [&] {
            return "Received " + std::to_string(count) + " bytes for request " + std::to_string(packet.RequestId()) +
                   ", in total " + std::to_string(received_.size()) + " of " + std::to_string(length_) + ".";
        });
    }
    Acknowledge();
}

}  // namespace vexo::genicam
