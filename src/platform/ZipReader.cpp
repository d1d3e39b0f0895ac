#include "platform/ZipReader.h"

#include <zlib.h>

#include <algorithm>
#include <optional>

namespace vexo::templates::platform {
namespace {

constexpr uint32_t kLocalHeaderSignature = 0x04034B50;
constexpr uint32_t kCentralHeaderSignature = 0x02014B50;
constexpr uint32_t kEndRecordSignature = 0x06054B50;
constexpr size_t kLocalHeaderSize = 30;
constexpr size_t kCentralHeaderSize = 46;
constexpr size_t kEndRecordSize = 22;
constexpr size_t kMaxEndRecordSearch = 65536;
constexpr uint16_t kMethodStored = 0;
constexpr uint16_t kMethodDeflated = 8;
constexpr uint16_t kFlagEncrypted = 0x0001;

// Little-endian fields of a buffer; every read is bounds-checked by the caller
// through Has().
class Bytes {
public:
    Bytes(const void *data, size_t size) : data_(static_cast<const uint8_t *>(data)), size_(data ? size : 0) {}

    size_t Size() const { return size_; }
    const uint8_t *At(size_t offset) const { return data_ + offset; }
    bool Has(size_t offset, size_t length) const { return offset <= size_ && length <= size_ - offset; }
    uint16_t U16(size_t offset) const { return static_cast<uint16_t>(data_[offset] | data_[offset + 1] << 8); }
    uint32_t U32(size_t offset) const {
        return static_cast<uint32_t>(U16(offset)) | static_cast<uint32_t>(U16(offset + 2)) << 16;
    }

private:
    const uint8_t *data_;
    size_t size_;
};

struct EntryLocation {
    uint16_t flags;
    uint16_t method;
    uint32_t crc;
    uint32_t compressedSize;
    uint32_t size;
    uint32_t localHeaderOffset;
};

// The end record searched backwards from the last place it fits; a record
// whose comment would run past the end is no record.
std::optional<size_t> FindEndRecord(const Bytes &bytes) {
    if (bytes.Size() < kEndRecordSize) return std::nullopt;
    const size_t last = bytes.Size() - kEndRecordSize;
    const size_t first = last >= kMaxEndRecordSearch ? last - kMaxEndRecordSearch + 1 : 0;
    for (size_t position = last + 1; position-- > first;) {
        if (bytes.U32(position) == kEndRecordSignature && bytes.Has(position + kEndRecordSize, bytes.U16(position + 20)))
            return position;
    }
    return std::nullopt;
}

ZipError LocateFirstEntry(const Bytes &bytes, EntryLocation &entry) {
    const std::optional<size_t> end = FindEndRecord(bytes);
    if (!end) return ZipError::NoEndRecord;
    if (bytes.U16(*end + 10) == 0) return ZipError::NoEntries;
    const size_t central = bytes.U32(*end + 16);
    if (!bytes.Has(central, kCentralHeaderSize) || bytes.U32(central) != kCentralHeaderSignature)
        return ZipError::BadCentralHeader;
    entry.flags = bytes.U16(central + 8);
    entry.method = bytes.U16(central + 10);
    entry.crc = bytes.U32(central + 16);
    entry.compressedSize = bytes.U32(central + 20);
    entry.size = bytes.U32(central + 24);
    entry.localHeaderOffset = bytes.U32(central + 42);
    return ZipError::None;
}

// Inflates exactly `size` bytes. The output grows with what the stream
// yields, never ahead of it on the declared size alone: a few bytes of archive
// can declare 64 MiB. One byte of room past `size` shows a stream that holds
// more than declared.
ZipError Inflate(const uint8_t *input, uint32_t inputSize, uint32_t size, std::vector<uint8_t> &output) {
    constexpr size_t kFirstChunk = 64 * 1024;
    const size_t limit = size_t{size} + 1;
    z_stream stream{};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return ZipError::CorruptData;
    stream.next_in = const_cast<Bytef *>(input);
    stream.avail_in = inputSize;
    output.clear();
    int result = Z_OK;
    while (result == Z_OK && stream.total_out < limit) {
        const size_t produced = stream.total_out;
        if (produced == output.size()) output.resize(std::min(limit, std::max(kFirstChunk, produced * 2)));
        stream.next_out = output.data() + produced;
        stream.avail_out = static_cast<uInt>(output.size() - produced);
        result = inflate(&stream, Z_NO_FLUSH);
    }
    const uLong produced = stream.total_out;
    inflateEnd(&stream);
    if (produced > size) return ZipError::SizeMismatch;
    if (result != Z_STREAM_END) return ZipError::CorruptData;
    if (produced != size) return ZipError::SizeMismatch;
    output.resize(size);
    return ZipError::None;
}

ZipError ExtractEntry(const Bytes &bytes, const EntryLocation &entry, std::vector<uint8_t> &output) {
    if (entry.flags & kFlagEncrypted) return ZipError::UnsupportedMethod;
    if (entry.method != kMethodStored && entry.method != kMethodDeflated) return ZipError::UnsupportedMethod;
    if (entry.size > ZipReader::kMaxEntrySize) return ZipError::TooLarge;
    const size_t local = entry.localHeaderOffset;
    if (!bytes.Has(local, kLocalHeaderSize) || bytes.U32(local) != kLocalHeaderSignature) return ZipError::BadLocalHeader;
    const size_t data = local + kLocalHeaderSize + bytes.U16(local + 26) + bytes.U16(local + 28);
    if (!bytes.Has(data, entry.compressedSize)) return ZipError::OutOfBounds;
    if (entry.method == kMethodStored) {
        if (entry.compressedSize != entry.size) return ZipError::SizeMismatch;
        output.assign(bytes.At(data), bytes.At(data) + entry.size);
    } else if (const ZipError error = Inflate(bytes.At(data), entry.compressedSize, entry.size, output);
               error != ZipError::None) {
        return error;
    }
    const uLong crc = crc32(crc32(0L, Z_NULL, 0), output.data(), static_cast<uInt>(output.size()));
    return crc == entry.crc ? ZipError::None : ZipError::ChecksumMismatch;
}

}  // namespace

bool ZipReader::IsZip(const void *data, size_t size) {
    const Bytes bytes(data, size);
    return bytes.Has(0, 4) && bytes.U32(0) == kLocalHeaderSignature;
}

ZipEntryResult ZipReader::ReadFirstEntry(const void *data, size_t size) {
    ZipEntryResult result;
    const Bytes bytes(data, size);
    EntryLocation entry{};
    if (!IsZip(data, size)) {
        result.error = ZipError::NotZip;
    } else if ((result.error = LocateFirstEntry(bytes, entry)) == ZipError::None) {
        result.error = ExtractEntry(bytes, entry, result.bytes);
    }
    if (!result.Ok()) result.bytes.clear();
    return result;
}

}  // namespace vexo::templates::platform
