#include "SerialLink.h"

namespace simtest {
namespace {

uint16_t Checksum(const Bytes &bytes, size_t from, size_t to) {
    uint32_t sum = 0;
    size_t i = from;
    for (; i + 1 < to; i += 2) sum += uint32_t(bytes[i] | bytes[i + 1] << 8);
    if (i < to) sum += uint32_t(int32_t(int8_t(bytes[i])));
    sum = (sum >> 16) + (sum & 0xFFFF);
    sum += sum >> 16;
    return uint16_t(~sum);
}

}  // namespace

Bytes BigEndian(uint64_t value, int bytes) {
    Bytes out;
    for (int i = bytes - 1; i >= 0; --i) out.push_back(uint8_t(value >> (8 * i)));
    return out;
}

Bytes GenCpPacket(uint16_t flagsOrStatus, uint16_t commandId, uint16_t requestId, const Bytes &scd) {
    Bytes packet{0x01, 0x00, 0, 0, 0, 0, 0, 0};
    for (uint16_t field : {flagsOrStatus, commandId, uint16_t(scd.size()), requestId}) {
        const Bytes bytes = BigEndian(field, 2);
        packet.insert(packet.end(), bytes.begin(), bytes.end());
    }
    packet.insert(packet.end(), scd.begin(), scd.end());
    const uint16_t ccd = Checksum(packet, 6, 16), all = Checksum(packet, 6, packet.size());
    packet[2] = uint8_t(ccd), packet[3] = uint8_t(ccd >> 8), packet[4] = uint8_t(all), packet[5] = uint8_t(all >> 8);
    return packet;
}

Bytes ReadCommand(uint64_t address, uint16_t count, uint16_t requestId, uint16_t flags) {
    Bytes scd = BigEndian(address, 8);
    const Bytes tail = BigEndian(count, 4);  // 2 reserved bytes, then the count
    scd.insert(scd.end(), tail.begin(), tail.end());
    return GenCpPacket(flags, 0x0800, requestId, scd);
}

Bytes WriteCommand(uint64_t address, const Bytes &data, uint16_t requestId, uint16_t flags) {
    Bytes scd = BigEndian(address, 8);
    scd.insert(scd.end(), data.begin(), data.end());
    return GenCpPacket(flags, 0x0802, requestId, scd);
}

bool Reply::ChecksumsHold() const {
    const Bytes rebuilt = GenCpPacket(Status(), Command(), Id(), Scd());
    return bytes.size() >= 16 && rebuilt == bytes;
}

SerialLink::SerialLink(uint32_t port, uint32_t baud, uint32_t board) : session_(board) {
    EXPECT_EQ(OpenSerialPort(Device(), port, baud, &receive_, &transmit_), 0) << "serial port " << port;
}

void SerialLink::Send(const Bytes &bytes) const {
    EXPECT_EQ(WriteQueueBytes(Device(), transmit_, bytes.data(), uint32_t(bytes.size()), 1000), int32_t(bytes.size()));
}

Bytes SerialLink::Receive(size_t count, Ms bound) const {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    Bytes received;
    std::vector<uint32_t> words(count);
    while (received.size() < count) {
        const auto left = std::chrono::duration_cast<Ms>(deadline - std::chrono::steady_clock::now()).count();
        if (left < 0) break;
        const int32_t bytes = ReadQueueWords(Device(), receive_, words.data(), uint32_t(4 * (count - received.size())),
                                             uint32_t(left));
        if (bytes < 0) break;
        for (int32_t i = 0; i < bytes / 4; ++i) received.push_back(uint8_t(words[size_t(i)]));
    }
    return received;
}

std::optional<Reply> SerialLink::NextReply(Ms bound) const {
    Reply reply{Receive(16, bound)};
    if (reply.bytes.size() < 16) return std::nullopt;
    const size_t length = size_t(reply.bytes[12] << 8 | reply.bytes[13]);
    const Bytes scd = Receive(length, bound);
    reply.bytes.insert(reply.bytes.end(), scd.begin(), scd.end());
    if (scd.size() < length) return std::nullopt;
    return reply;
}

}  // namespace simtest
