#include "genicam/CTransportLayer.h"

#include <cstring>
#include <stdexcept>

#include "board/RawAccess.h"
#include "board/FirmwareControllerBase.h"
#include "logging/StatusDescription.h"
#include "model/NOXInterface.h"
#include "nox_genicam.h"

namespace vexo::genicam {
namespace {

[[noreturn]] void RaiseStatus(int32_t status) { throw std::runtime_error(tools::logging::StatusDescription(status)); }

void RaiseOnFailure(int32_t status) {
    if (status != ERR_NONE) RaiseStatus(ExportedStatus(status));
}

// Addresses and lengths arrive as signed 64-bit numbers; the controllers take
// a 64-bit address and a 32-bit length. Anything else would be cut silently.
void CheckAccess(int64_t address, int64_t length) {
    if (address < 0 || length < 0 || length > int64_t{UINT32_MAX}) RaiseStatus(ERR_INVALID_ARGUMENT);
}

}  // namespace

CTransportLayer::CTransportLayer(NOXInterface *board, uint32_t portIndex) : portIndex_(portIndex), board_(board) {}

void CTransportLayer::Read(void *buffer, int64_t address, int64_t length) {
    CheckAccess(address, length);
    FirmwareControllerBase *controller = board_ != nullptr ? board_->Controller() : nullptr;
    if (controller == nullptr) RaiseStatus(ERR_NO_CXP_INTERFACE);
    RaiseOnFailure(controller->ReadRaw(portIndex_, static_cast<uint64_t>(address), buffer,
                                       static_cast<uint32_t>(length), ByteSwap::kWireOrder, kReadTimeoutMs));
}

void CTransportLayer::Write(const void *buffer, int64_t address, int64_t length) {
    CheckAccess(address, length);
    FirmwareControllerBase *controller = board_ != nullptr ? board_->Controller() : nullptr;
    if (controller == nullptr) RaiseStatus(ERR_NO_CXP_INTERFACE);
    if (controller->IsLinkConfigRegister(static_cast<uint64_t>(address))) return;
    if (length == 4) {
        uint32_t value = 0;
        std::memcpy(&value, buffer, sizeof value);
        RaiseOnFailure(board_->WriteRegister(portIndex_, static_cast<uint64_t>(address), value,
                                             AcknowledgeMode::kRequired, ByteSwap::kWireOrder));
        return;
    }
    RaiseOnFailure(board_->WriteMemory(portIndex_, static_cast<uint64_t>(address), buffer,
                                       static_cast<uint32_t>(length)));
}

}  // namespace vexo::genicam
