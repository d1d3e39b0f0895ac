#pragma once
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "gencp/AppletPortConfig.h"
#include "gencp/BoardWrapper.h"
#include "gencp/CLTransmitter.h"
#include "gencp/GenCPConnection.h"
#include "logging/LazyLogger.h"

namespace vexo::genicam {

class DiscoveryInfo;

// A serial port with its GenCP connection: the transmitter open and observed
// by the connection. Closing it (the destructor) stops the listener and the
// poll thread and releases the port's queues.
class SerialLink {
public:
    SerialLink(std::shared_ptr<CLTransmitter> transmitter, std::shared_ptr<GenCPConnection> connection);
    ~SerialLink();
    SerialLink(const SerialLink &) = delete;
    SerialLink &operator=(const SerialLink &) = delete;

    CLTransmitter &Transmitter() { return *transmitter_; }
    GenCPConnection &Connection() { return *connection_; }

private:
    std::shared_ptr<CLTransmitter> transmitter_;
    std::shared_ptr<GenCPConnection> connection_;
};

// Finds the cameras on a board's two Camera Link ports: per port a builder
// thread opens the serial port, searches the camera's line rate from 9600
// baud upwards, switches both sides to the fastest rate both support and
// delivers the connection through a promise. The build then records the
// cameras in the discovery info by the applet's camera-port configuration and
// reads their identification strings.
class ConnectionBuilder {
public:
    static constexpr uint32_t kPorts = 2;
    static constexpr uint32_t kEstablishmentTries = 3;
    // Fastest first; the search walks them backwards.
    static constexpr std::array<uint32_t, 8> kBaudCandidates{0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01};
    // The master id of the camera whose master link is on a port.
    static constexpr uint32_t MasterIdOfPort(uint32_t port) { return port + 1; }

    explicit ConnectionBuilder(std::shared_ptr<BoardWrapper> board);
    // Stops a build in progress and closes every connection.
    ~ConnectionBuilder();
    ConnectionBuilder(const ConnectionBuilder &) = delete;
    ConnectionBuilder &operator=(const ConnectionBuilder &) = delete;

    // Replaces the connections of an earlier build by new ones and fills
    // `info` (reset first). gencp_error "ConnectionBuilder: no valid fg
    // wrapper", "No camera detected.", or the configuration's gencp_error.
    void Build(DiscoveryInfo &info);
    // Ends the waits of a build in progress (its requests, its pauses): the
    // build returns promptly with what it has. Later builds find nothing.
    void Stop();

    // The established connection of the port; null when there is none.
    std::shared_ptr<SerialLink> Link(uint32_t port) const;
    // The line rate of the port's connection, 0 without one.
    uint32_t BaudRate(uint32_t port) const;
    // The applet's camera-port configuration the last build read.
    CameraPortConfiguration PortConfiguration() const;

    tools::logging::Logger *GetLogger();

private:
    using Result = std::shared_ptr<SerialLink>;

    void BuildPort(std::promise<Result> promise, uint32_t port);
    Result Establish(uint32_t port);
    std::shared_ptr<SerialLink> OpenLink(uint32_t port);
    bool AwaitCamera(CLTransmitter &transmitter);
    void SearchBaudRate(SerialLink &link);
    void ApplyBestBaudRate(SerialLink &link);
    // Waits the pause between establishment tries; false once stopped.
    bool PauseBeforeRetry(uint32_t milliseconds);
    void RecordLayout(DiscoveryInfo &info, CameraPortConfiguration configuration);
    void ReadIdentification(DiscoveryInfo &info, uint32_t port);
    void Log(uint32_t level, const std::string &text);

    std::shared_ptr<BoardWrapper> board_;
    mutable std::mutex mutex_;  // guards the maps and the configuration
    std::map<uint32_t, std::shared_ptr<SerialLink>> pending_;
    std::map<uint32_t, std::shared_ptr<SerialLink>> established_;
    CameraPortConfiguration configuration_ = CameraPortConfiguration::kUndetermined;
    std::atomic<bool> stopped_{false};
    std::mutex stopMutex_;
    std::condition_variable stopChanged_;
    tools::logging::LazyLogger logger_;
};

}  // namespace vexo::genicam
