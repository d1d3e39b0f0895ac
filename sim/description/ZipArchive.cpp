#include "description/ZipArchive.h"

#include <limits>
#include <zlib.h>

namespace vexo::sim {
namespace {

constexpr uint32_t kCentralHeaderSignature = 0x02014B50;
constexpr uint32_t kEndOfDirectorySignature = 0x06054B50;
constexpr uint16_t kVersion = 20;  // 2.0: deflate
constexpr uint16_t kMethodDeflate = 8;

class LittleEndianWriter {
public:
    explicit LittleEndianWriter(std::vector<uint8_t> &out) : out_(out) {}
    void U16(uint16_t value) {
        out_.push_back(uint8_t(value));
        out_.push_back(uint8_t(value >> 8));
    }
    void U32(uint32_t value) {
        U16(uint16_t(value));
        U16(uint16_t(value >> 16));
    }
    void Bytes(std::span<const uint8_t> bytes) { out_.insert(out_.end(), bytes.begin(), bytes.end()); }
    void Text(std::string_view text) { out_.insert(out_.end(), text.begin(), text.end()); }

private:
    std::vector<uint8_t> &out_;
};

std::optional<std::vector<uint8_t>> RawDeflate(std::span<const uint8_t> content) {
    z_stream stream{};
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) return std::nullopt;
    std::vector<uint8_t> out(deflateBound(&stream, uLong(content.size())));
    stream.next_in = const_cast<Bytef *>(content.data());
    stream.avail_in = uInt(content.size());
    stream.next_out = out.data();
    stream.avail_out = uInt(out.size());
    const int result = deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    if (result != Z_STREAM_END) return std::nullopt;
    return out;
}

// The fields a local header and a central header share, from "version needed" to the extra length.
void CommonHeaderFields(LittleEndianWriter &w, uint32_t crc, size_t packed, size_t size, size_t nameLength) {
    w.U16(kVersion);
    w.U16(0);  // flags
    w.U16(kMethodDeflate);
    w.U16(0);       // time
    w.U16(0x21);    // date: 1 January 1980
    w.U32(crc);
    w.U32(uint32_t(packed));
    w.U32(uint32_t(size));
    w.U16(uint16_t(nameLength));
    w.U16(0);  // extra length
}

}  // namespace

std::optional<std::vector<uint8_t>> ZipOneEntry(std::string_view entryName, std::span<const uint8_t> content) {
    constexpr size_t kLimit = std::numeric_limits<uint32_t>::max() / 2;  // no zip64 here
    if (content.size() > kLimit || entryName.size() > 0xFFFF) return std::nullopt;
    const std::optional<std::vector<uint8_t>> packed = RawDeflate(content);
    if (!packed) return std::nullopt;
    const uint32_t crc = uint32_t(crc32(0, content.data(), uInt(content.size())));

    std::vector<uint8_t> archive;
    LittleEndianWriter w(archive);
    w.U32(kZipLocalHeaderSignature);
    CommonHeaderFields(w, crc, packed->size(), content.size(), entryName.size());
    w.Text(entryName);
    w.Bytes(*packed);

    const uint32_t directoryOffset = uint32_t(archive.size());
    w.U32(kCentralHeaderSignature);
    w.U16(kVersion);  // made by
    CommonHeaderFields(w, crc, packed->size(), content.size(), entryName.size());
    w.U16(0);  // comment length
    w.U16(0);  // disk
    w.U16(0);  // internal attributes
    w.U32(0);  // external attributes
    w.U32(0);  // local header offset
    w.Text(entryName);
    const uint32_t directorySize = uint32_t(archive.size()) - directoryOffset;

    w.U32(kEndOfDirectorySignature);
    w.U16(0);
    w.U16(0);
    w.U16(1);
    w.U16(1);
    w.U32(directorySize);
    w.U32(directoryOffset);
    w.U16(0);  // comment length
    return archive;
}

}  // namespace vexo::sim
