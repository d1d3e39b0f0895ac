#include "gencp/ConnectionBuilder.h"

#include <bit>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "discovery/DiscoveryInfo.h"
#include "gencp/BigEndian.h"
#include "gencp/GenCPException.h"
#include "gencp/GenCpLog.h"
#include "logging/LoggerNames.h"
#include "protocol/CameraLink.h"
#include "protocol/GenCp.h"

namespace vexo::genicam {

namespace bootstrap = protocol::gencp::bootstrap;
using namespace tools::logging;

namespace {

// How long a port whose camera is plugged may take to have its listener
// report it; the listener looks every 100 ms.
constexpr std::chrono::milliseconds kCameraReportPatience{1000};
constexpr std::chrono::milliseconds kCameraReportPoll{5};

// The line rate of a one-bit baud mask.
uint32_t RateOfMask(uint32_t mask) { return protocol::cl::kBaudRates[std::countr_zero(mask) & 7]; }

uint64_t ReadTechnologyBootstrapAddress(GenCPConnection &connection) {
    uint8_t bytes[8];
    connection.ReadMemory(bootstrap::kTechnologyBootstrapAddress, bytes, sizeof bytes);
    return BigEndian64(bytes);
}

uint32_t ReadWord(GenCPConnection &connection, uint64_t address) {
    uint8_t bytes[4];
    connection.ReadMemory(address, bytes, sizeof bytes);
    return BigEndian32(bytes);
}

void WriteWord(GenCPConnection &connection, uint64_t address, uint32_t value) {
    uint8_t bytes[4];
    StoreBigEndian32(value, bytes);
    connection.WriteMemory(address, bytes, sizeof bytes);
}

}  // namespace

// --- SerialLink

SerialLink::SerialLink(std::shared_ptr<CLTransmitter> transmitter, std::shared_ptr<GenCPConnection> connection)
    : transmitter_(std::move(transmitter)), connection_(std::move(connection)) {
    transmitter_->AddObserver(connection_.get());
}

SerialLink::~SerialLink() {
    connection_->Shutdown();
    transmitter_->RemoveObserver(connection_.get());
    connection_.reset();  // stops its poll thread
    transmitter_->Close();
}

// --- ConnectionBuilder

ConnectionBuilder::ConnectionBuilder(std::shared_ptr<BoardWrapper> board) : board_(std::move(board)) {}

ConnectionBuilder::~ConnectionBuilder() {
    Stop();
    std::lock_guard lock(mutex_);
    established_.clear();
}

Logger *ConnectionBuilder::GetLogger() { return logger_.Get(names::kConnectionBuilder); }

void ConnectionBuilder::Log(uint32_t level, const std::string &text) {
    GenCpLog(GetLogger(), level, [&] { return text; });
}

std::shared_ptr<SerialLink> ConnectionBuilder::Link(uint32_t port) const {
    std::lock_guard lock(mutex_);
    const auto found = established_.find(port);
    return found != established_.end() ? found->second : nullptr;
}

uint32_t ConnectionBuilder::BaudRate(uint32_t port) const {
    const std::shared_ptr<SerialLink> link = Link(port);
    return link != nullptr ? link->Transmitter().BaudRate() : 0;
}

CameraPortConfiguration ConnectionBuilder::PortConfiguration() const {
    std::lock_guard lock(mutex_);
    return configuration_;
}

void ConnectionBuilder::Stop() {
    {
        std::lock_guard lock(stopMutex_);
        stopped_.store(true);
    }
    stopChanged_.notify_all();
    std::lock_guard lock(mutex_);
    for (const auto &[port, link] : pending_) link->Connection().Shutdown();
}

void ConnectionBuilder::Build(DiscoveryInfo &info) {
    if (board_ == nullptr) throw gencp_error("ConnectionBuilder: no valid fg wrapper");
    std::map<uint32_t, std::shared_ptr<SerialLink>> previous;
    {
        std::lock_guard lock(mutex_);
        previous.swap(established_);
        configuration_ = CameraPortConfiguration::kUndetermined;
    }
    // The ports are opened afresh below: the old connections close first.
    for (const auto &[port, link] : previous) link->Connection().Shutdown();
    previous.clear();
    info.Reset();

    std::vector<std::future<Result>> results;
    // Joined on every way out, also when starting the second thread fails.
    std::vector<std::jthread> builders;
    for (uint32_t port = 0; port < kPorts; ++port) {
        std::promise<Result> promise;
        results.push_back(promise.get_future());
        builders.emplace_back(&ConnectionBuilder::BuildPort, this, std::move(promise), port);
    }
    std::map<uint32_t, std::shared_ptr<SerialLink>> found;
    for (uint32_t port = 0; port < kPorts; ++port)
        if (Result link = results[port].get()) found[port] = std::move(link);
    for (std::jthread &builder : builders) builder.join();
    if (found.empty()) throw gencp_error("No camera detected.");
    {
        std::lock_guard lock(mutex_);
        established_ = found;
    }

    const CameraPortConfiguration configuration = ReadCameraPortConfiguration(*board_);
    {
        std::lock_guard lock(mutex_);
        configuration_ = configuration;
    }
    RecordLayout(info, configuration);
    for (const auto &[port, link] : found) ReadIdentification(info, port);
}

void ConnectionBuilder::BuildPort(std::promise<Result> promise, uint32_t port) {
    Result link;
    try {
        link = Establish(port);
    } catch (const std::exception &error) {
        Log(kLevelError, "Failed to create CL/GenCP connection: " + std::string(error.what()));
    }
    // The pending entry; for a failed build it is the link's last reference,
    // and the link closes below, outside the lock.
    std::shared_ptr<SerialLink> listed;
    {
        std::lock_guard lock(mutex_);
        if (const auto found = pending_.find(port); found != pending_.end()) {
            listed = std::move(found->second);
            pending_.erase(found);
        }
    }
    listed.reset();
    promise.set_value(std::move(link));
}

std::shared_ptr<SerialLink> ConnectionBuilder::OpenLink(uint32_t port) {
    auto transmitter = std::make_shared<CLTransmitter>(board_, port);
    try {
        transmitter->Open();
    } catch (const std::exception &error) {
        Log(kLevelError, "Cannot create cl transmitter! " + std::string(error.what()));
        return nullptr;
    }
    std::shared_ptr<GenCPConnection> connection;
    try {
        connection = std::make_shared<GenCPConnection>(transmitter);
    } catch (const std::exception &error) {
        Log(kLevelError, "Cannot create gencp connection! " + std::string(error.what()));
        transmitter->Close();
        return nullptr;
    }
    return std::make_shared<SerialLink>(std::move(transmitter), std::move(connection));
}

ConnectionBuilder::Result ConnectionBuilder::Establish(uint32_t port) {
    std::shared_ptr<SerialLink> link = OpenLink(port);
    if (link == nullptr) return nullptr;
    {
        std::lock_guard lock(mutex_);
        pending_[port] = link;
    }
    // A stop that came before the link was listed has not reached it.
    if (stopped_.load()) link->Connection().Shutdown();

    std::string failure = "Connection building was stopped.";
    for (uint32_t attempt = 1; attempt <= kEstablishmentTries && !stopped_.load(); ++attempt) {
        try {
            if (!AwaitCamera(link->Transmitter())) throw gencp_error("No camera attachment is detected.");
            SearchBaudRate(*link);
            ApplyBestBaudRate(*link);
            return link;
        } catch (const std::exception &error) {
            failure = error.what();
            Log(kLevelWarning,
                "Connection establishment try " + std::to_string(attempt) + " failed! -> " + failure);
        }
        if (attempt < kEstablishmentTries && !PauseBeforeRetry(link->Connection().Settings().connectionRetryWaitMs))
            break;
    }
    Log(kLevelError, "Failed to create CL/GenCP connection: " + failure);
    return nullptr;
}

bool ConnectionBuilder::AwaitCamera(CLTransmitter &transmitter) {
    if (!transmitter.IsCameraAvailable()) return false;
    const auto deadline = std::chrono::steady_clock::now() + kCameraReportPatience;
    std::unique_lock lock(stopMutex_);
    while (!transmitter.IsOpen()) {
        if (stopped_.load() || std::chrono::steady_clock::now() >= deadline) return false;
        stopChanged_.wait_for(lock, kCameraReportPoll);
    }
    return true;
}

bool ConnectionBuilder::PauseBeforeRetry(uint32_t milliseconds) {
    std::unique_lock lock(stopMutex_);
    return !stopChanged_.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return stopped_.load(); });
}

void ConnectionBuilder::SearchBaudRate(SerialLink &link) {
    for (auto candidate = kBaudCandidates.rbegin(); candidate != kBaudCandidates.rend(); ++candidate) {
        if (stopped_.load()) break;
        const uint32_t rate = RateOfMask(*candidate);
        Log(kLevelDetail, "Try baudrate: " + std::to_string(rate));
        try {
            link.Transmitter().SetBaudRate(*candidate);
            ReadTechnologyBootstrapAddress(link.Connection());
            Log(kLevelInfo, "Baudrate " + std::to_string(rate) + " is valid.");
            return;
        } catch (const std::exception &) {
            // No answer at this rate: the next one.
        }
    }
    throw gencp_error("Cannot discover baudrate of the camera.");
}

void ConnectionBuilder::ApplyBestBaudRate(SerialLink &link) {
    GenCPConnection &connection = link.Connection();
    CLTransmitter &transmitter = link.Transmitter();
    try {
        const uint64_t registers = ReadTechnologyBootstrapAddress(connection);
        const uint32_t supported =
            ReadWord(connection, registers + bootstrap::kSupportedBaudMaskOffset) & transmitter.SupportedBaudRates();
        uint32_t best = 0;
        for (uint32_t candidate : kBaudCandidates)
            if ((supported & candidate) != 0) {
                best = candidate;
                break;
            }
        if (best == 0) throw gencp_error("the camera supports no rate of the port");
        const uint64_t current = registers + bootstrap::kCurrentBaudMaskOffset;
        WriteWord(connection, current, best);
        transmitter.SetBaudRate(best);
        // The camera answers at the new rate only when both sides switched.
        if (ReadWord(connection, current) != best) throw gencp_error("the camera reports another rate");
        Log(kLevelInfo, "Baudrate " + std::to_string(RateOfMask(best)) + " is applied.");
    } catch (const std::exception &error) {
        Log(kLevelWarning, "Baudrate change failed: " + std::string(error.what()));
        throw gencp_error("Baudrate change failed!");
    }
}

void ConnectionBuilder::RecordLayout(DiscoveryInfo &info, CameraPortConfiguration configuration) {
    const auto connect = [&](uint32_t port, uint32_t masterId, uint32_t extension) {
        info.SetCameraPort(port, masterId, extension);
        info.SetApPort(port, masterId, extension);
        info.ConnectLink(masterId, extension, masterId, extension);
    };
    if (configuration == CameraPortConfiguration::kMedium || configuration == CameraPortConfiguration::kFull) {
        // One camera on both connectors, reached through port 0.
        const uint32_t masterId = MasterIdOfPort(0);
        for (uint32_t port = 0; port < kPorts; ++port) connect(port, masterId, port);
    } else {
        std::lock_guard lock(mutex_);
        for (const auto &[port, link] : established_) connect(port, MasterIdOfPort(port), 0);
    }
    info.SetApTopologyKnown();
}

void ConnectionBuilder::ReadIdentification(DiscoveryInfo &info, uint32_t port) {
    const std::shared_ptr<SerialLink> link = Link(port);
    const uint32_t masterId = info.GetCameraMasterId(port);
    if (link == nullptr || masterId == DiscoveryInfo::kNone || info.GetCameraExtensionId(port) != 0) return;
    for (const bootstrap::DeviceString &string : bootstrap::kDeviceStrings) {
        std::string value;
        try {
            char bytes[bootstrap::kStringSize];
            link->Connection().ReadMemory(string.address, reinterpret_cast<uint8_t *>(bytes), sizeof bytes);
            value.assign(bytes, strnlen(bytes, sizeof bytes));
        } catch (const std::exception &error) {
            Log(kLevelWarning, "failed retrieve " + std::string(string.name) + ": " + error.what());
        }
        info.SetCameraInfo(masterId, string.name, value.c_str());
        Log(kLevelDetail, "Port(" + std::to_string(port) + ") " + string.name + ": " + value);
    }
}

}  // namespace vexo::genicam
