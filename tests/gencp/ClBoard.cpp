#include "ClBoard.h"

#include <gtest/gtest.h>

#include <thread>

#include "board/BoardLibraries.h"

namespace gencp_test {

using namespace vexo::genicam;

bool Eventually(const std::function<bool()> &check, std::chrono::milliseconds bound) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (std::chrono::steady_clock::now() < deadline) {
        if (check()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return check();
}

ClBoard::ClBoard(const std::string &topology) {
    EXPECT_EQ(vexosim_load_topology(topology.c_str()), 0);
    session_ = OpenGrabber(0);
    EXPECT_NE(session_, nullptr);
    if (session_ == nullptr) return;
    wrapper->device = SessionDeviceHandle(session_);
    wrapper->applet = SessionAppletHandle(session_);
}

ClBoard::~ClBoard() {
    if (session_ != nullptr) CloseGrabber(session_);
}

int32_t RecordingTransmitter::Read(uint8_t *buffer, uint32_t *count, uint32_t timeoutMs) {
    return inner_->Read(buffer, count, timeoutMs);
}

int32_t RecordingTransmitter::Write(const uint8_t *buffer, uint32_t *count, uint32_t timeoutMs) {
    {
        std::lock_guard lock(mutex_);
        written_.emplace_back(buffer, buffer + *count);
    }
    return inner_->Write(buffer, count, timeoutMs);
}

std::vector<Bytes> RecordingTransmitter::Written() {
    std::lock_guard lock(mutex_);
    return written_;
}

ConnectedPort::ConnectedPort(const ClBoard &board, uint32_t port)
    : transmitter(std::make_shared<CLTransmitter>(board.wrapper, port)),
      recorder(std::make_shared<RecordingTransmitter>(transmitter)),
      connection(std::make_shared<GenCPConnection>(recorder)) {
    transmitter->Open();
    transmitter->SetBaudRate(0x80);
    transmitter->AddObserver(connection.get());
    EXPECT_TRUE(Eventually([&] { return transmitter->IsOpen(); })) << "no camera seen on port " << port;
}

ConnectedPort::~ConnectedPort() {
    transmitter->RemoveObserver(connection.get());
    connection.reset();
    transmitter->Close();
}

vexosim_port_stats Stats(uint32_t port) {
    vexosim_port_stats stats{};
    EXPECT_EQ(vexosim_stats(0, port, &stats), 0);
    return stats;
}

Bytes ReadBytes(GenCPConnection &connection, uint64_t address, uint32_t length) {
    Bytes bytes(length);
    connection.ReadMemory(address, bytes.data(), length);
    return bytes;
}

}  // namespace gencp_test
