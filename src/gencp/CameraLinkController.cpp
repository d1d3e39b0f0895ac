#include "gencp/CameraLinkController.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "gencp/GenCPException.h"
#include "gencp/GenCPManifestReader.h"
#include "gencp/GenCpLog.h"
#include "logging/LoggerNames.h"
#include "nox_genicam.h"

namespace vexo::genicam {

using namespace tools::logging;

namespace {

constexpr uint32_t kDescriptionEntry = 0;
constexpr int32_t kGenericGenCpError = static_cast<int32_t>(protocol::gencp::Status::kError);

// Turns each whole 32-bit word between a host number and the camera's byte order.
void SwapWords(uint8_t *bytes, uint32_t count) {
    for (uint32_t i = 0; i + 4 <= count; i += 4) {
        std::swap(bytes[i], bytes[i + 3]);
        std::swap(bytes[i + 1], bytes[i + 2]);
    }
}

}  // namespace

CameraLinkController::CameraLinkController(uint64_t device, uint64_t applet, ControllerOwner *owner)
    : FirmwareControllerBase(device, applet, owner),
      board_(std::make_shared<BoardWrapper>(BoardWrapper{device, applet})),
      builder_(std::make_shared<ConnectionBuilder>(board_)),
      info_(ConnectionBuilder::kPorts) {}

// The builder goes first: its threads and connections use the board wrapper.
CameraLinkController::~CameraLinkController() { builder_.reset(); }

Logger *CameraLinkController::GetLogger() { return CachedLogger(names::kCameraLinkController); }

int32_t CameraLinkController::StatusOf(const std::exception &error) {
    GenCpLog(GetLogger(), kLevelError, [&] { return std::string(error.what()); });
    if (const auto *gencp = dynamic_cast<const GenCPException *>(&error)) return static_cast<int32_t>(gencp->Code());
    return kGenericGenCpError;
}

int32_t CameraLinkController::Access(uint32_t port, const char *operation,
                                     const std::function<void(GenCPConnection &)> &access) {
    const std::shared_ptr<SerialLink> link = builder_->Link(port);
    if (link == nullptr) {
        GenCpLog(GetLogger(), kLevelError, [&] {
            return std::string(operation) + ": no camera connection on port " + std::to_string(port);
        });
        return ERR_NO_CAMERA_FOUND;
    }
    try {
        access(link->Connection());
        return 0;
    } catch (const std::exception &error) {
        return StatusOf(error);
    }
}

int32_t CameraLinkController::Read(uint32_t port, uint64_t address, void *buffer, uint32_t bytes, ByteSwap swap) {
    if (buffer == nullptr && bytes != 0) return ERR_INVALID_ARGUMENT;
    return Access(port, "ReadMemory", [&](GenCPConnection &connection) {
        std::vector<uint8_t> read(bytes);
        connection.ReadMemory(address, read.data(), bytes);
        if (swap == ByteSwap::kSwapWords) SwapWords(read.data(), bytes);
        std::copy(read.begin(), read.end(), static_cast<uint8_t *>(buffer));
    });
}

int32_t CameraLinkController::Write(uint32_t port, uint64_t address, const void *data, uint32_t bytes,
                                    ByteSwap swap) {
    if (data == nullptr && bytes != 0) return ERR_INVALID_ARGUMENT;
    return Access(port, "WriteMemory", [&](GenCPConnection &connection) {
        const auto *first = static_cast<const uint8_t *>(data);
        std::vector<uint8_t> written(first, first + bytes);
        if (swap == ByteSwap::kSwapWords) SwapWords(written.data(), bytes);
        connection.WriteMemory(address, written.data(), bytes);
    });
}

int32_t CameraLinkController::WriteMemory(uint32_t port, uint64_t address, const void *data, uint32_t bytes,
                                          ByteSwap swap, uint32_t) {
    return Write(port, address, data, bytes, swap);
}

int32_t CameraLinkController::WriteRaw(uint32_t port, uint64_t address, const void *data, uint32_t bytes,
                                       ByteSwap swap, uint32_t) {
    return Write(port, address, data, bytes, swap);
}

int32_t CameraLinkController::WriteRegister(uint32_t port, uint64_t address, uint32_t value, ByteSwap swap,
                                            AcknowledgeMode, uint32_t) {
    return Write(port, address, &value, sizeof value, swap);
}

int32_t CameraLinkController::ReadMemory(uint32_t port, uint64_t address, void *buffer, uint32_t bytes, uint32_t) {
    return Read(port, address, buffer, bytes, ByteSwap::kWireOrder);
}

int32_t CameraLinkController::ReadRaw(uint32_t port, uint64_t address, void *buffer, uint32_t bytes, ByteSwap swap,
                                      uint32_t) {
    return Read(port, address, buffer, bytes, swap);
}

DiscoveryInfo *CameraLinkController::GetDiscoveryInfo(bool) { return &info_; }

int32_t CameraLinkController::Discovery(uint32_t, uint32_t, uint32_t, uint32_t) {
    templates::platform::RecursiveMutex::Guard guard(LinkMutex());
    try {
        builder_->Build(info_);
        return 0;
    } catch (const std::exception &error) {
        return StatusOf(error);
    }
}

bool CameraLinkController::IsLinkSynchronized(uint32_t port) {
    const std::shared_ptr<SerialLink> link = builder_->Link(port);
    return link != nullptr && link->Transmitter().LastAvailability();
}

void CameraLinkController::Abort() { builder_->Stop(); }

std::vector<uint8_t> CameraLinkController::ReadDescription(uint32_t port) {
    const std::shared_ptr<SerialLink> link = builder_->Link(port);
    if (link == nullptr) throw gencp_error("No camera connection on port " + std::to_string(port));
    return GenCPManifestReader(link->Connection()).ReadFile(kDescriptionEntry);
}

}  // namespace vexo::genicam
