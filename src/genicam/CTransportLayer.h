#pragma once
#include <cstdint>

#include "genapi/IPort.h"

namespace vexo::genicam {

class NOXInterface;

// The register port through which a camera's node map reaches the camera:
// every register access of a feature ends here and goes on to the link
// controller of the camera's board unchanged (no cache, no protocol of its
// own). Bytes move as the node map hands them over; the one conversion is
// that a 4-byte write travels as one host-order 32-bit register value.
//
// A failed access raises std::runtime_error whose text is the description of
// the controller's status (its status description). Holds no lock: the
// controller serialises register traffic.
class CTransportLayer final : public GenApi::IPort {
public:
    static constexpr uint32_t kReadTimeoutMs = 2000;

    // The board is not owned and must outlive the port.
    CTransportLayer(NOXInterface *board, uint32_t portIndex);

    void Read(void *buffer, int64_t address, int64_t length) override;
    // Writes to the camera's link configuration registers are dropped without
    // error: the link layout is the controller's business, not a feature's.
    void Write(const void *buffer, int64_t address, int64_t length) override;
    GenApi::EAccessMode GetAccessMode() const override { return GenApi::RW; }

    uint32_t PortIndex() const { return portIndex_; }

private:
    uint32_t portIndex_;
    NOXInterface *board_;
};

}  // namespace vexo::genicam
