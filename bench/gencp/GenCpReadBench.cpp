// Camera memory reads over GenCP on a Camera Link serial port at 921600 baud
// with line timing: every character takes its 10 bits on the line. Each
// iteration reads through the library's connection on port 0 and then makes
// the same exchanges by hand on port 1, whose camera is the same, straight on
// the board's serial queues (the simulator and the wire alone). The counters:
// wire_us, the bytes on the line x 10 / rate; simulator_us; library_ratio,
// the median of (library - by hand) over wire_us: the library's own share.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "TemporaryFolder.h"
#include "TransferCounters.h"
#include "board/BoardLibraries.h"
#include "gencp/CLTransmitter.h"
#include "gencp/GenCPConnection.h"
#include "gencp/GenCPPacketKinds.h"
#include "protocol/CameraLink.h"
#include "protocol/GenCp.h"
#include "vexosim.h"

namespace {

using namespace vexo::genicam;
namespace gencp = vexo::protocol::gencp;

constexpr uint32_t kBaud = 921600;
constexpr uint32_t kBaudMask = 0x80;

// Two identical cameras at 921600 baud, one per connector, serving a 64 KiB
// description (plain, so that 4 KiB of it are there to read).
std::string Topology(const std::string &description) {
    const std::string camera = R"({"links": [%], "bauds": [9600, 921600], "baud": 921600, "xml": {"file": ")" +
                               description + R"(", "zip": false}})";
    std::string first = camera, second = camera;
    first.replace(first.find('%'), 1, "0");
    second.replace(second.find('%'), 1, "1");
    return R"({"boards": [{"model": "cl2-g1", "cameras": [)" + first + ", " + second + "]}]}";
}

uint64_t BigEndian(std::span<const uint8_t> bytes) {
    uint64_t value = 0;
    for (uint8_t byte : bytes) value = value << 8 | byte;
    return value;
}

// A serial port driven by hand: read commands written, answers read whole.
class RawSerialPort {
public:
    RawSerialPort(uint64_t device, uint32_t port) : device_(device) {
        ok_ = OpenSerialPort(device, port, kBaud, &receive_, &transmit_) == 0;
    }
    bool Ok() const { return ok_; }

    bool Read(uint64_t address, uint32_t length) {
        for (uint32_t done = 0; done < length;) {
            const uint32_t count = std::min(length - done, gencp::kMaxReadBytes);
            GenCPReadPacket command(address + done, static_cast<uint16_t>(count));
            command.SetFlags(gencp::kFlagAckRequested);
            command.SetRequestId(++id_);
            const std::span<const uint8_t> bytes = command.Serialize();
            if (WriteQueueBytes(device_, transmit_, bytes.data(), static_cast<uint32_t>(bytes.size()), 1000) !=
                static_cast<int32_t>(bytes.size()))
                return false;
            if (!Receive(gencp::kHeaderBytes + count)) return false;
            done += count;
        }
        return true;
    }

private:
    bool Receive(uint32_t characters) {
        words_.resize(characters);
        for (uint32_t got = 0; got < characters;) {
            const int32_t bytes = ReadQueueWords(device_, receive_, words_.data() + got, 4 * (characters - got), 1000);
            if (bytes <= 0) return false;
            got += static_cast<uint32_t>(bytes) / 4;
        }
        return true;
    }

    uint64_t device_;
    uint32_t receive_ = 0, transmit_ = 0;
    uint16_t id_ = 0;
    bool ok_ = false;
    std::vector<uint32_t> words_;
};

class SerialBoard {
public:
    SerialBoard() {
        vexosim_load_topology(Topology(folder_.Write("filler.xml", std::string(64 << 10, 'x'))).c_str());
        session_ = OpenGrabber(0);
        if (session_ == nullptr) return;
        board_->device = SessionDeviceHandle(session_);
        board_->applet = SessionAppletHandle(session_);
        transmitter_ = std::make_shared<CLTransmitter>(board_, 0);
        transmitter_->Open();
        transmitter_->SetBaudRate(kBaudMask);
        connection_ = std::make_unique<GenCPConnection>(transmitter_);
        transmitter_->AddObserver(connection_.get());
        raw_ = std::make_unique<RawSerialPort>(board_->device, 1);
        for (int tries = 0; tries < 500 && !transmitter_->IsOpen(); ++tries)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        ready_ = transmitter_->IsOpen() && raw_->Ok() && FindDescription();
    }
    ~SerialBoard() {
        if (transmitter_) transmitter_->RemoveObserver(connection_.get());
        connection_.reset();
        if (transmitter_) transmitter_->Close();
        if (session_ != nullptr) CloseGrabber(session_);
    }
    bool Ready() const { return ready_; }
    GenCPConnection &Connection() { return *connection_; }
    RawSerialPort &Raw() { return *raw_; }
    uint64_t Description() const { return description_; }

private:
    bool FindDescription() {
        std::vector<uint8_t> bytes(8);
        connection_->ReadMemory(gencp::bootstrap::kManifestTableAddress, bytes.data(), 8);
        const uint64_t table = BigEndian(bytes);
        connection_->ReadMemory(table + gencp::manifest::kCountBytes + gencp::manifest::kFileAddressOffset,
                                bytes.data(), 8);
        description_ = BigEndian(bytes);
        return description_ != 0;
    }

    nox_bench::TemporaryFolder folder_;
    GrabberSession *session_ = nullptr;
    std::shared_ptr<BoardWrapper> board_ = std::make_shared<BoardWrapper>();
    std::shared_ptr<CLTransmitter> transmitter_;
    std::unique_ptr<GenCPConnection> connection_;
    std::unique_ptr<RawSerialPort> raw_;
    uint64_t description_ = 0;
    bool ready_ = false;
};

SerialBoard &Board() {
    static SerialBoard board;
    return board;
}

// Characters on the line for a read of `bytes`: each piece's 28-byte command
// and its acknowledge of 16 bytes + data.
double WireMicroseconds(uint32_t bytes) {
    const uint32_t pieces = (bytes + gencp::kMaxReadBytes - 1) / gencp::kMaxReadBytes;
    const uint32_t characters = pieces * (gencp::kHeaderBytes + gencp::kReadCommandScdBytes + gencp::kHeaderBytes) + bytes;
    return characters * double(vexo::protocol::cl::kBitsPerCharacter) / kBaud * 1e6;
}

void ReadOverGenCp(benchmark::State &state, uint64_t address, uint32_t bytes) {
    SerialBoard &board = Board();
    if (!board.Ready()) return state.SkipWithError("the serial port did not come up");
    std::vector<uint8_t> buffer(bytes);
    const nox_bench::TurnSeconds seconds = nox_bench::TimeInTurns(
        state,
        [&] {
            try {
                board.Connection().ReadMemory(address, buffer.data(), bytes);
                return true;
            } catch (const std::exception &) {
                return false;
            }
        },
        [&] { return board.Raw().Read(address, bytes); });
    if (state.error_occurred()) return;
    const double wire = WireMicroseconds(bytes);
    const double iterations = static_cast<double>(state.iterations());
    state.counters["wire_us"] = wire;
    state.counters["simulator_us"] = seconds.reference / iterations * 1e6;
    state.counters["wire_ratio"] = seconds.measured / iterations * 1e6 / wire;
    state.counters["library_ratio"] = seconds.medianExcess * 1e6 / wire;
    state.SetLabel("read " + std::to_string(bytes) + " B at 921600 baud");
}

void BM_GenCpRegisterRead(benchmark::State &state) { ReadOverGenCp(state, gencp::bootstrap::kGenCpVersion, 4); }
BENCHMARK(BM_GenCpRegisterRead)->UseManualTime()->Unit(benchmark::kMicrosecond);

void BM_GenCpMemoryRead(benchmark::State &state) {
    ReadOverGenCp(state, Board().Description(), static_cast<uint32_t>(state.range(0)));
}
BENCHMARK(BM_GenCpMemoryRead)->Arg(4 << 10)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
