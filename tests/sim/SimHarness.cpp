#include "SimHarness.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstring>
#include <thread>

#include <zlib.h>

#include "protocol/GrabberSession.h"

namespace simtest {

uint32_t ByteSwap(uint32_t value) { return __builtin_bswap32(value); }

uint32_t Crc(std::span<const uint32_t> words) {
    uint32_t crc = 0xFFFFFFFFu;
    for (uint32_t word : words)
        for (int i = 0; i < 4; ++i) {
            crc ^= (word >> (8 * i)) & 0xFF;
            for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
        }
    return crc;
}

namespace {

std::vector<uint32_t> Packet(CommandCode command, uint32_t address, uint32_t bytes, std::span<const uint32_t> data) {
    // Header: command byte, then the byte count most significant byte first.
    const uint32_t header =
        uint32_t(command) | (bytes >> 16 & 0xFF) << 8 | (bytes >> 8 & 0xFF) << 16 | (bytes & 0xFF) << 24;
    std::vector<uint32_t> packet{kCommandTypeWord, header, ByteSwap(address)};
    packet.insert(packet.end(), data.begin(), data.end());
    packet.push_back(Crc(std::span(packet).subspan(1)));
    return packet;
}

}  // namespace

std::vector<uint32_t> ReadPacket(uint32_t address, uint32_t bytes) {
    return Packet(CommandCode::kRead, address, bytes, {});
}

std::vector<uint32_t> WritePacket(uint32_t address, std::span<const uint32_t> dataWords) {
    return Packet(CommandCode::kWrite, address, uint32_t(4 * dataWords.size()), dataWords);
}

std::vector<uint32_t> WritePacket(uint32_t address, uint32_t value) {
    const uint32_t word = ByteSwap(value);
    return WritePacket(address, std::span(&word, 1));
}

std::vector<uint32_t> Tagged(std::vector<uint32_t> packet, uint8_t tag) {
    packet.front() = kTaggedCommandTypeWord;
    packet.insert(packet.begin() + 1, uint32_t(tag) * 0x01010101u);
    packet.back() = Crc(std::span(packet).subspan(1, packet.size() - 2));
    return packet;
}

std::vector<uint32_t> TextWords(const std::string &text, size_t bytes) {
    std::vector<uint32_t> words((bytes + 3) / 4, 0);
    std::memcpy(words.data(), text.data(), std::min(text.size(), bytes));
    return words;
}

uint32_t ConnectionConfig(uint32_t links, uint32_t mbps) { return links << 16 | RateCode(mbps); }

std::vector<uint32_t> Ack::ReadData() const {
    const uint32_t bytes = ByteSwap(words.at(1));
    const size_t count = (bytes + 3) / 4;
    EXPECT_EQ(words.size(), count + 3) << "code, size, data and CRC";
    EXPECT_TRUE(CrcValid());
    if (words.size() < count + 2) return {};
    return {words.begin() + 2, words.begin() + 2 + long(count)};
}

bool Ack::CrcValid() const {
    return words.size() >= 2 && Crc(std::span(words).first(words.size() - 1)) == words.back();
}

Session::Session(uint32_t board) : session_(OpenGrabber(board)) {
    if (!session_) {
        ADD_FAILURE() << "board " << board << " is not served";
        return;
    }
    const auto *record = reinterpret_cast<const unsigned char *>(session_);
    std::memcpy(&device_, record + vexo::protocol::grabber_session::kDeviceHandleOffset, 8);
    std::memcpy(&applet_, record + vexo::protocol::grabber_session::kAppletHandleOffset, 8);
}

Session::~Session() { CloseGrabber(session_); }

uint32_t Session::Address(const std::string &name) const {
    const int64_t address = FindAppletRegister(applet_, name.c_str());
    EXPECT_GT(address, 0) << "applet lacks " << name;
    return uint32_t(address);
}

uint64_t Session::Read(const std::string &name) const {
    uint64_t value = 0;
    EXPECT_EQ(ReadBoardRegister(device_, Address(name), &value), 0) << "reading " << name;
    return value;
}

void Session::Write(const std::string &name, uint64_t value) const {
    EXPECT_EQ(WriteBoardRegister(device_, Address(name), value), 0) << "writing " << name;
}

void Session::Send(uint32_t appletPort, std::span<const uint32_t> packet) const {
    Write("CxpTxCmdWriteData_", appletPort, kPacketStartMarker);
    for (uint32_t word : packet) Write("CxpTxCmdWriteData_", appletPort, word);
    Write("CxpTxCmdWriteData_", appletPort, kPacketEndMarker);
}

bool Session::PacketSent(uint32_t appletPort) const { return Read("CxpTxCmdPacketSent") >> appletPort & 1; }

std::optional<Ack> Session::WaitAck(uint32_t appletPort, std::chrono::milliseconds bound) const {
    constexpr size_t kLongestAck = 4096;
    const uint32_t address = Address("CxpRxCmdAckPacketData_" + std::to_string(appletPort));
    const auto deadline = std::chrono::steady_clock::now() + bound;
    Ack ack;
    uint64_t value = 0;
    while (ack.words.size() < kLongestAck && ReadBoardRegister(device_, address, &value) == 0) {
        if (!(value & kReceiveEmpty)) {
            if (uint32_t(value) == kAckEndWord) return ack;
            ack.words.push_back(uint32_t(value));
        } else if (std::chrono::steady_clock::now() >= deadline) {
            break;
        } else {
            std::this_thread::yield();
        }
    }
    EXPECT_TRUE(ack.words.empty()) << "an acknowledgment without its end marker";
    return std::nullopt;
}

std::optional<Ack> Session::Exchange(uint32_t appletPort, std::span<const uint32_t> packet) const {
    Send(appletPort, packet);
    return TakeAck(appletPort);
}

std::optional<uint32_t> Session::ReadCamera(uint32_t appletPort, uint32_t address) const {
    const std::optional<Ack> ack = Exchange(appletPort, ReadPacket(address, 4));
    if (!ack || ack->Code() != kAckSuccess) return std::nullopt;
    const std::vector<uint32_t> data = ack->ReadData();
    if (data.size() != 1) return std::nullopt;
    return ByteSwap(data[0]);
}

std::vector<uint8_t> Session::ReadCameraBytes(uint32_t appletPort, uint32_t address, uint32_t bytes) const {
    constexpr uint32_t kChunk = 512;
    std::vector<uint8_t> out;
    for (uint32_t done = 0; done < bytes;) {
        const uint32_t count = std::min(kChunk, bytes - done);
        const std::optional<Ack> ack = Exchange(appletPort, ReadPacket(address + done, count));
        if (!ack || ack->Code() != kAckSuccess) {
            ADD_FAILURE() << "read of " << count << " bytes at " << address + done << " failed";
            return {};
        }
        const std::vector<uint32_t> data = ack->ReadData();
        const auto *first = reinterpret_cast<const uint8_t *>(data.data());
        out.insert(out.end(), first, first + std::min<size_t>(count, 4 * data.size()));
        done += count;
    }
    return out;
}

uint32_t Session::WriteCamera(uint32_t appletPort, uint32_t address, uint32_t value) const {
    const std::optional<Ack> ack = Exchange(appletPort, WritePacket(address, value));
    return ack ? ack->Code() : ~0u;
}

void Session::SetLinkRate(uint32_t port, uint32_t mbps) const {
    Write("CxpTransceiverUpLinkBitRate_", port, mbps >= 10000 ? 1 : 0);
    Write("CxpTransceiverDownLinkBitRate_", port, mbps);
}

bool Session::Locked(uint32_t port) const { return Read("CxpTransceiverStatus_", port) >> 48 & 1; }

bool Session::Locks(uint32_t port) const {
    return Eventually([&] { return Locked(port); });
}

vexosim_port_stats Stats(uint32_t board, uint32_t port) {
    vexosim_port_stats stats{};
    EXPECT_EQ(vexosim_stats(board, port, &stats), 0);
    return stats;
}

std::pair<int, std::string> RunCommand(const std::string &command) {
    FILE *pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return {-1, ""};
    std::string output;
    char chunk[4096];
    for (size_t n; (n = fread(chunk, 1, sizeof chunk, pipe)) > 0;) output.append(chunk, n);
    const int status = pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

namespace {

uint32_t LittleEndian(const std::vector<uint8_t> &bytes, size_t at, size_t width) {
    uint32_t value = 0;
    for (size_t i = 0; i < width; ++i) value |= uint32_t(bytes.at(at + i)) << (8 * i);
    return value;
}

}  // namespace

std::string FirstEntry(const std::vector<uint8_t> &zip, std::string *entryName) {
    EXPECT_EQ(LittleEndian(zip, 0, 4), 0x04034B50u);
    EXPECT_EQ(LittleEndian(zip, 8, 2), 8u) << "deflated";
    const uint32_t packed = LittleEndian(zip, 18, 4), size = LittleEndian(zip, 22, 4);
    const uint32_t nameLength = LittleEndian(zip, 26, 2), extraLength = LittleEndian(zip, 28, 2);
    if (entryName) *entryName = std::string(zip.begin() + 30, zip.begin() + 30 + nameLength);
    const size_t data = 30 + nameLength + extraLength;
    EXPECT_LE(data + packed, zip.size());
    std::string text(size, '\0');
    z_stream stream{};
    EXPECT_EQ(inflateInit2(&stream, -15), Z_OK);
    stream.next_in = const_cast<Bytef *>(zip.data() + data);
    stream.avail_in = packed;
    stream.next_out = reinterpret_cast<Bytef *>(text.data());
    stream.avail_out = size;
    EXPECT_EQ(inflate(&stream, Z_FINISH), Z_STREAM_END);
    inflateEnd(&stream);
    EXPECT_EQ(LittleEndian(zip, 14, 4), uint32_t(crc32(0, reinterpret_cast<const Bytef *>(text.data()), size)));
    return text;
}

void LoadTopology(const std::string &json) { ASSERT_EQ(vexosim_load_topology(json.c_str()), 0) << json; }

void ExpectRejected(const std::string &json, const std::string &message) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(vexosim_load_topology(json.c_str()), -1) << json;
    const std::string reported = testing::internal::GetCapturedStderr();
    EXPECT_NE(reported.find(message), std::string::npos) << json << "\n" << reported;
}

}  // namespace simtest
