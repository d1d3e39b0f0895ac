#pragma once
#include <atomic>
#include <cstdint>
#include <memory>

#include "gencp/AppletPortConfig.h"
#include "gencp/BoardWrapper.h"
#include "gencp/Transmitter.h"
#include "logging/LazyLogger.h"

namespace vexo::genicam {

// The serial channel of one Camera Link port of a board, through the
// hardware library's serial port and queues. Each received character comes
// as the low byte of a 32-bit word.
class CLTransmitter : public Transmitter {
public:
    static constexpr uint32_t kSupportedBaudRates = 0xFF;  // every board serves all eight rates
    static constexpr uint32_t kInitialBaudRate = 9600;

    CLTransmitter(std::weak_ptr<BoardWrapper> board, uint32_t port);
    ~CLTransmitter() override;

    // Reads the applet's camera-port configuration (its gencp_error passes
    // on), opens the serial port and starts the listener. Errors:
    // "Cl port is invalid!" (-61), "Cl port is in use!" (-28), "Cl port cannot
    // be initialized!" (any other), as std::runtime_error; nothing changes then.
    void Open() override;
    // Stops the listener, releases the transmit and then the receive queue.
    void Close() override;
    int32_t Read(uint8_t *buffer, uint32_t *count, uint32_t timeoutMs) override;
    int32_t Write(const uint8_t *buffer, uint32_t *count, uint32_t timeoutMs) override;
    int32_t BytesAvailable(uint32_t *count) override;
    bool IsOpen() const override { return open_.load() && LastAvailability(); }
    // Port 0: a camera on connector 0; port 1: something on connector 1 that
    // is not the second cable of the camera on connector 0.
    bool IsCameraAvailable() override;
    tools::logging::Logger *GetLogger() override;
    uint32_t PortIndex() const override { return port_; }

    uint32_t SupportedBaudRates() const { return kSupportedBaudRates; }
    // One bit of the baud mask (bit 0 9600 ... bit 7 921600). std::runtime_error
    // "baudrate is not supported" for a mask outside the supported one, 0, or
    // above the fastest rate; "cannot set baudrate" when neither setting the
    // rate nor opening the port again at it works.
    void SetBaudRate(uint32_t mask);
    uint32_t BaudRate() const { return baudRate_.load(); }
    CameraPortConfiguration PortConfiguration() const { return configuration_; }

private:
    std::shared_ptr<BoardWrapper> Board() const;
    // OpenSerialPort at the rate; on 0 the fresh queue ids replace the old ones.
    int32_t OpenPort(uint64_t device, uint32_t baud);

    static constexpr uint32_t kNoQueue = 0xFFFFFFFFu;

    uint32_t port_;
    std::atomic<bool> open_{false};
    CameraPortConfiguration configuration_ = CameraPortConfiguration::kUndetermined;
    std::atomic<uint32_t> baudRate_{kInitialBaudRate};
    std::atomic<uint32_t> receiveQueue_{kNoQueue};
    std::atomic<uint32_t> transmitQueue_{kNoQueue};
    std::weak_ptr<BoardWrapper> board_;
    tools::logging::LazyLogger logger_;
};

}  // namespace vexo::genicam
