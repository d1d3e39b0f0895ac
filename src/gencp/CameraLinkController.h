#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "board/FirmwareControllerBase.h"
#include "discovery/DiscoveryInfo.h"
#include "gencp/ConnectionBuilder.h"

namespace vexo::genicam {

// The link controller of Camera Link boards: cameras are reached with GenCP
// over the serial port of each connector. Discovery builds one connection per
// camera port (ConnectionBuilder); every register and memory access then runs
// as GenCP requests on the connection of its port.
//
// Accesses answer 0, the camera's GenCP status (positive, such as 0x8003) or
// 0x8FFF for any other failure, whose text is logged first;
// ERR_NO_CAMERA_FOUND at once for a port without a connection. The timeout
// arguments are not used: each request waits the GenCP acknowledge time-out.
class CameraLinkController : public FirmwareControllerBase {
public:
    CameraLinkController(uint64_t device, uint64_t applet, ControllerOwner *owner);
    ~CameraLinkController() override;

    tools::logging::Logger *GetLogger() override;  // "vexo.genicam.CameraLinkController"
    // Both write the bytes as given: GenCP memory has no word size.
    int32_t WriteMemory(uint32_t port, uint64_t address, const void *data, uint32_t bytes, ByteSwap swap,
                        uint32_t timeoutMs) override;
    int32_t WriteRaw(uint32_t port, uint64_t address, const void *data, uint32_t bytes, ByteSwap swap,
                     uint32_t timeoutMs) override;
    int32_t WriteRegister(uint32_t port, uint64_t address, uint32_t value, ByteSwap swap,
                          AcknowledgeMode acknowledgeMode, uint32_t timeoutMs) override;
    // Both read exactly the bytes asked for; the buffer changes only on success.
    int32_t ReadMemory(uint32_t port, uint64_t address, void *buffer, uint32_t bytes, uint32_t timeoutMs) override;
    int32_t ReadRaw(uint32_t port, uint64_t address, void *buffer, uint32_t bytes, ByteSwap swap,
                    uint32_t timeoutMs) override;
    DiscoveryInfo *GetDiscoveryInfo(bool update) override;
    // Builds the connections; 0, or the GenCP status of the failure (0x8FFF
    // when none), logged first.
    int32_t Discovery(uint32_t reserved, uint32_t speed, uint32_t portMask, uint32_t flags) override;
    // What the port's serial listener saw last: false without a connection.
    bool IsLinkSynchronized(uint32_t port) override;
    void Abort() override;

    // Entry 0 of the GenCP manifest of the camera on the port: unzipped when
    // zipped, with a terminating zero. gencp_error without a connection; the
    // reader's exceptions pass on.
    std::vector<uint8_t> ReadDescription(uint32_t port);
    // The line rate of the port's connection (0 without one) and the applet's
    // camera-port configuration, as the last discovery found them.
    uint32_t BaudRate(uint32_t port) const { return builder_->BaudRate(port); }
    CameraPortConfiguration PortConfiguration() const { return builder_->PortConfiguration(); }

private:
    int32_t Access(uint32_t port, const char *operation, const std::function<void(GenCPConnection &)> &access);
    int32_t Read(uint32_t port, uint64_t address, void *buffer, uint32_t bytes, ByteSwap swap);
    int32_t Write(uint32_t port, uint64_t address, const void *data, uint32_t bytes, ByteSwap swap);
    int32_t StatusOf(const std::exception &error);

    std::shared_ptr<BoardWrapper> board_;
    std::shared_ptr<ConnectionBuilder> builder_;
    DiscoveryInfo info_;
};

}  // namespace vexo::genicam
