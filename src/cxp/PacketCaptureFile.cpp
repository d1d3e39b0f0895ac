#include "cxp/PacketCaptureFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

namespace vexo::genicam::cxp {

namespace {

constexpr uint32_t kMagic = 0xA1B2C3D4u;
constexpr uint16_t kVersionMajor = 2;
constexpr uint16_t kVersionMinor = 4;
constexpr uint32_t kSnapshotLength = 65535;
constexpr uint32_t kLinkType = 147;

template <class Value>
void PutLittleEndian(uint8_t *out, Value value) {
    for (size_t i = 0; i < sizeof(Value); ++i) out[i] = static_cast<uint8_t>(static_cast<uint64_t>(value) >> (8 * i));
}

}  // namespace

std::array<uint8_t, PacketCaptureFile::kHeaderSize> PacketCaptureFile::Header() {
    std::array<uint8_t, kHeaderSize> header{};
    PutLittleEndian(&header[0], kMagic);
    PutLittleEndian(&header[4], kVersionMajor);
    PutLittleEndian(&header[6], kVersionMinor);
    PutLittleEndian(&header[8], int32_t{0});    // time zone
    PutLittleEndian(&header[12], uint32_t{0});  // accuracy
    PutLittleEndian(&header[16], kSnapshotLength);
    PutLittleEndian(&header[20], kLinkType);
    return header;
}

std::string PacketCaptureFile::MakeFileName(uint32_t boardIndex, uint32_t port, const std::tm &time) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04d%02d%02d-%02d%02d%02d", time.tm_year + 1900, time.tm_mon + 1,
                  time.tm_mday, time.tm_hour, time.tm_min, time.tm_sec);
    return "packetlog-phy-cxp-" + std::to_string(boardIndex) + "-0-" + std::to_string(port) + "-" + stamp + ".pcap";
}

PacketCaptureFile::PacketCaptureFile(uint32_t boardIndex, uint32_t port, const std::tm &localTime)
    : fileName_(MakeFileName(boardIndex, port, localTime)) {
    fd_ = ::open(fileName_.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd_ < 0) return;
    const auto header = Header();
    if (::pwrite(fd_, header.data(), header.size(), 0) != static_cast<ssize_t>(header.size())) {
        ::close(fd_);
        fd_ = -1;
    }
}

PacketCaptureFile::~PacketCaptureFile() {
    if (fd_ >= 0) ::close(fd_);
}

}  // namespace vexo::genicam::cxp
