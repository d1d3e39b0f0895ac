#pragma once
#include <array>
#include <cstdint>
#include <ctime>
#include <string>

namespace vexo::genicam::cxp {

// A packet log of one port: a classic capture file in the current directory,
// named "packetlog-phy-cxp-<board>-0-<port>-<YYYYmmdd-HHMMSS>.pcap", created
// with mode 0644 (not truncated, never through a symbolic link) and starting
// with the 24-byte file header. A file that cannot be opened stays closed.
class PacketCaptureFile {
public:
    static constexpr size_t kHeaderSize = 24;

    PacketCaptureFile(uint32_t boardIndex, uint32_t port, const std::tm &localTime);
    ~PacketCaptureFile();

    PacketCaptureFile(const PacketCaptureFile &) = delete;
    PacketCaptureFile &operator=(const PacketCaptureFile &) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    const std::string &FileName() const { return fileName_; }

    static std::string MakeFileName(uint32_t boardIndex, uint32_t port, const std::tm &localTime);
    // Magic 0xA1B2C3D4, version 2.4, time zone 0, accuracy 0, snapshot length
    // 65535, link type 147; little-endian.
    static std::array<uint8_t, kHeaderSize> Header();

private:
    std::string fileName_;
    int fd_ = -1;
};

}  // namespace vexo::genicam::cxp
