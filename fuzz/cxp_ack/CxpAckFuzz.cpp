// Acknowledgments as a camera sends them, decoded for a write (the code) and
// for a read (code, byte count, data, CRC). The first input byte picks the
// byte order, whether the answer is tagged (its first word is the tag word,
// which the CRC covers) and the room the caller has (0 to 63 words); the rest
// are the words. A read must copy only what the acknowledgment holds and the
// room takes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "Finding.h"
#include "cxp/CxpPacket.h"

namespace cxp = vexo::genicam::cxp;
using vexo::genicam::ByteSwap;
using nox_fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size == 0) return 0;
    const ByteSwap swap = data[0] & 1 ? ByteSwap::kSwapWords : ByteSwap::kWireOrder;
    const bool tagged = data[0] & 2;
    const size_t room = data[0] >> 2;
    std::vector<uint32_t> words((size - 1) / 4);
    if (!words.empty()) std::memcpy(words.data(), data + 1, words.size() * 4);
    std::span<const uint32_t> ack(words);
    uint32_t crc = cxp::kCrcInitial;
    if (tagged && !ack.empty()) {
        crc = cxp::ControlPacketCrc(ack.first(1));
        ack = ack.subspan(1);
    }

    const cxp::AckCode code = cxp::DecodeAckCode(ack);
    Require(code.waitTimeMs == 0 || code.status == cxp::kStatusWaitAck, "a wait time outside a wait acknowledgment");

    std::vector<std::byte> out(room * 4);
    const cxp::ReadAck read = cxp::DecodeReadAck(ack, swap, out, crc);
    Require(read.wordsCopied <= room, "more words copied than the room holds");
    Require(read.status == 0 || read.wordsCopied == 0, "words copied from a failed acknowledgment");
    if (read.status == 0 && !read.unexpectedLength) {
        const size_t held = cxp::SwapBytes(ack[1]) / 4;
        Require(read.wordsCopied == std::min(held, room), "a read that did not copy what it held");
    }
    return 0;
}
