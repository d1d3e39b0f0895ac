// Cost of the virtual frame grabber's register path, as the library under test sees it.
#include <benchmark/benchmark.h>

#include <cstring>
#include <initializer_list>

#include "grablib5.h"
#include "vexosim.h"

extern "C" {
int32_t ReadBoardRegister(uint64_t device, uint32_t address, uint64_t *value);
int32_t WriteBoardRegister(uint64_t device, uint32_t address, uint64_t value);
int64_t FindAppletRegister(uint64_t applet, const char *name);
}

namespace {

// The default topology's board 0 and the addresses of a few of its applet registers.
struct Board {
    Board() {
        GrabberSession *session = OpenGrabber(0);
        std::memcpy(&device, reinterpret_cast<const unsigned char *>(session) + 408, 8);
        std::memcpy(&applet, reinterpret_cast<const unsigned char *>(session) + 416, 8);
        CloseGrabber(session);
    }
    uint32_t Address(const char *name) const { return uint32_t(FindAppletRegister(applet, name)); }
    uint64_t device = 0, applet = 0;
};

// Reflected CRC-32 (0xEDB88320), initial 0xFFFFFFFF, no final complement, over the words' wire bytes.
uint32_t Crc(std::initializer_list<uint32_t> words) {
    uint32_t crc = 0xFFFFFFFFu;
    for (uint32_t word : words)
        for (int i = 0; i < 4; ++i) {
            crc ^= (word >> (8 * i)) & 0xFF;
            for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
        }
    return crc;
}

const Board &DefaultBoard() {
    static const Board board;
    return board;
}

// A plain register, and a transceiver's error counter, which a read brings up to date with the clock.
void BM_ReadBoardRegister(benchmark::State &state, const char *name) {
    const Board &board = DefaultBoard();
    const uint32_t address = board.Address(name);
    uint64_t value = 0;
    for (auto _ : state) {
        ReadBoardRegister(board.device, address, &value);
        benchmark::DoNotOptimize(value);
    }
}
BENCHMARK_CAPTURE(BM_ReadBoardRegister, DiscoverySelect, "rDiscoverySelect")->Threads(1)->Threads(2);
BENCHMARK_CAPTURE(BM_ReadBoardRegister, ErrorCounter, "CxpTransceiverStatus_3");

void BM_WriteBoardRegister(benchmark::State &state) {
    const Board &board = DefaultBoard();
    const uint32_t address = board.Address("CxpLedModeSelectWrite_0");
    uint64_t mode = 0;
    for (auto _ : state) WriteBoardRegister(board.device, address, ++mode & 7);
}
BENCHMARK(BM_WriteBoardRegister);

// A whole 4-byte camera register read: six transmit words, the sent
// indication, and the five words of the acknowledgment.
void BM_CameraRegisterRead(benchmark::State &state) {
    const Board &board = DefaultBoard();
    const uint32_t tx = board.Address("CxpTxCmdWriteData_0"), rx = board.Address("CxpRxCmdAckPacketData_0");
    const uint32_t sent = board.Address("CxpTxCmdPacketSent");
    // A read of the camera's standard register at address 0.
    const uint64_t packet[] = {0x1FBFBFBFBull, 0x02020202, 0x04000000, 0, Crc({0x04000000, 0}), 0x3FDFDFDFDull};
    uint64_t value = 0;
    for (auto _ : state) {
        for (uint64_t word : packet) WriteBoardRegister(board.device, tx, word);
        ReadBoardRegister(board.device, sent, &value);
        do ReadBoardRegister(board.device, rx, &value);
        while (!(value >> 33) && uint32_t(value) != 0xFDFDFDFD);
    }
    vexosim_port_stats stats{};
    vexosim_stats(0, 0, &stats);
    if (stats.crcErrors) state.SkipWithError("the benchmark's packet has a wrong CRC");
}
BENCHMARK(BM_CameraRegisterRead);

}  // namespace
