#pragma once
#include <cstdint>

#include "gencp/GenCPRequest.h"

namespace vexo::genicam {

// Writes camera memory in pieces of at most 488 bytes, one write command each.
class GenCPWriteRequest : public GenCPRequest {
public:
    // `data` stays the caller's and must outlive Run.
    GenCPWriteRequest(GenCPConnection &sender, uint64_t address, const uint8_t *data, uint32_t length);

    // Writes every byte. A non-zero acknowledge status ends the write with
    // GenCPException "Camera reports an error." carrying the status; no
    // acknowledge after every try with gencp_timeout.
    void Run();

    void OnWriteAcknowledge(const GenCPPacket &packet) override;
    tools::logging::Logger *GetLogger() override;

private:
    const uint64_t address_;
    const uint8_t *data_;
    const uint32_t length_;
    uint16_t status_ = 0;
    uint16_t bytesWritten_ = 0;
    tools::logging::LazyLogger logger_;
};

}  // namespace vexo::genicam
