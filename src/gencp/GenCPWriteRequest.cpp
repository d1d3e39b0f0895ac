#include "gencp/GenCPWriteRequest.h"

#include <algorithm>
#include <span>
#include <string>

#include "gencp/GenCPException.h"
#include "gencp/GenCPPacketKinds.h"
#include "gencp/GenCpLog.h"
#include "logging/LoggerNames.h"

namespace vexo::genicam {

namespace gencp = protocol::gencp;
using namespace tools::logging;

GenCPWriteRequest::GenCPWriteRequest(GenCPConnection &sender, uint64_t address, const uint8_t *data, uint32_t length)
    : GenCPRequest(sender), address_(address), data_(data), length_(length) {}

Logger *GenCPWriteRequest::GetLogger() { return logger_.Get(names::kGenCpWriteRequest); }

void GenCPWriteRequest::Run() {
    uint32_t written = 0;
    while (written < length_) {
        const uint32_t count = std::min(length_ - written, gencp::kMaxWriteBytes);
        GenCPWritePacket packet(address_ + written, std::span(data_ + written, count));
        GenCpLog(GetLogger(), kLevelTrace, [&] {
            return "Sending write request for " + std::to_string(count) + " bytes beginning with " +
                   HexText(address_ + written) + ".";
        });
        packet.SetFlags(gencp::kFlagAckRequested);
        SendWithRetries(packet, "No acknowledgement received for a read request.");
        std::lock_guard lock(mutex_);
        if (status_ != 0) throw GenCPException("Camera reports an error.", status_);
        // A camera that claims more than the piece held advances by the piece only.
        written += bytesWritten_ == 0 ? count : std::min<uint32_t>(bytesWritten_, count);
    }
}

void GenCPWriteRequest::OnWriteAcknowledge(const GenCPPacket &packet) {
    std::lock_guard lock(mutex_);
    if (state_ != State::kWaiting || !AnswersLastSending(packet)) return;
    bytesWritten_ = packet.Length() != 0 ? GenCPWriteAckPacket(packet).BytesWritten() : 0;
    status_ = packet.Status();
    Acknowledge();
}

}  // namespace vexo::genicam
