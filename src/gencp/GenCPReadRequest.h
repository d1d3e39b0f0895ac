#pragma once
#include <cstdint>
#include <vector>

#include "gencp/GenCPRequest.h"

namespace vexo::genicam {

// Reads camera memory in pieces of at most 496 bytes, one read command each.
class GenCPReadRequest : public GenCPRequest {
public:
    GenCPReadRequest(GenCPConnection &sender, uint64_t address, uint32_t length);

    // Reads every byte. An acknowledge with an error status ends the read
    // with GenCPException "Camera reports an error." carrying the status; one
    // without data with gencp_error "Camera sent no data." (a read that cannot
    // advance never loops); no acknowledge after every try with gencp_timeout.
    void Run();
    const std::vector<uint8_t> &Received() const { return received_; }

    // A busy echo of the command (status 0x8007) extends the wait; any other
    // command is dropped as the base does.
    void OnCommand(const GenCPPacket &packet) override;
    void OnReadAcknowledge(const GenCPPacket &packet) override;
    tools::logging::Logger *GetLogger() override;

private:
    const uint64_t address_;
    const uint32_t length_;
    std::vector<uint8_t> received_;
    uint32_t pieceLength_ = 0;  // bytes the last command asked for
    uint32_t pieceReceived_ = 0;
    uint16_t status_ = 0;
    tools::logging::LazyLogger logger_;
};

}  // namespace vexo::genicam
