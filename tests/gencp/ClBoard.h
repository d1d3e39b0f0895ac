#pragma once
// A Camera Link board of the virtual frame grabber, reached through the board
// libraries as the library reaches it, with a transmitter and a GenCP
// connection on one of its serial ports.
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "gencp/CLTransmitter.h"
#include "gencp/GenCPConnection.h"
#include "nox_genicam.h"
#include "vexosim.h"

namespace gencp_test {

using Bytes = std::vector<uint8_t>;

// Calls `check` until it answers true, for at most `bound` (which only catches a hang).
bool Eventually(const std::function<bool()> &check, std::chrono::milliseconds bound = std::chrono::seconds(5));

// Loads the topology and opens a grabber session on board 0.
class ClBoard {
public:
    explicit ClBoard(const std::string &topology);
    ~ClBoard();
    std::shared_ptr<vexo::genicam::BoardWrapper> wrapper = std::make_shared<vexo::genicam::BoardWrapper>();

private:
    GrabberSession *session_ = nullptr;
};

// Passes everything to a CLTransmitter and keeps every packet written.
class RecordingTransmitter : public vexo::genicam::Transmitter {
public:
    explicit RecordingTransmitter(std::shared_ptr<vexo::genicam::CLTransmitter> inner) : inner_(std::move(inner)) {}
    void Open() override { inner_->Open(); }
    void Close() override { inner_->Close(); }
    int32_t Read(uint8_t *buffer, uint32_t *count, uint32_t timeoutMs) override;
    int32_t Write(const uint8_t *buffer, uint32_t *count, uint32_t timeoutMs) override;
    int32_t BytesAvailable(uint32_t *count) override { return inner_->BytesAvailable(count); }
    bool IsOpen() const override { return inner_->IsOpen(); }
    bool IsCameraAvailable() override { return inner_->IsCameraAvailable(); }
    vexo::tools::logging::Logger *GetLogger() override { return inner_->GetLogger(); }
    uint32_t PortIndex() const override { return inner_->PortIndex(); }
    std::vector<Bytes> Written();

private:
    std::shared_ptr<vexo::genicam::CLTransmitter> inner_;
    std::mutex mutex_;
    std::vector<Bytes> written_;
};

// An open serial port with a connection observing it, ready for requests.
struct ConnectedPort {
    ConnectedPort(const ClBoard &board, uint32_t port);
    ~ConnectedPort();
    std::shared_ptr<vexo::genicam::CLTransmitter> transmitter;
    std::shared_ptr<RecordingTransmitter> recorder;
    std::shared_ptr<vexo::genicam::GenCPConnection> connection;
};

vexosim_port_stats Stats(uint32_t port);
Bytes ReadBytes(vexo::genicam::GenCPConnection &connection, uint64_t address, uint32_t length);

}  // namespace gencp_test
