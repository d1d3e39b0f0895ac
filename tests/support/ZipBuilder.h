#pragma once
#include <zlib.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace nox_test {

// Writes zip archives for tests: entries stored or deflated (raw deflate),
// optionally with a data descriptor (zero sizes in the local header, the
// real ones after the data), then the central directory and its end record.
class ZipBuilder {
public:
    enum Method : uint16_t { kStored = 0, kDeflated = 8 };

    ZipBuilder &Add(const std::string &name, const std::string &content, Method method = kDeflated,
                    bool dataDescriptor = false) {
        const std::vector<uint8_t> data = method == kDeflated ? Deflate(content) : Bytes(content);
        const uint32_t crc = crc32(0, reinterpret_cast<const Bytef *>(content.data()), static_cast<uInt>(content.size()));
        const uint16_t flags = dataDescriptor ? 0x0008 : 0;
        Central entry{name, method, flags, crc, static_cast<uint32_t>(data.size()),
                      static_cast<uint32_t>(content.size()), static_cast<uint32_t>(archive_.size())};
        Put32(archive_, {0x04034B50});
        Put16(archive_, {20, flags, method});
        // Time and date, then what a data descriptor carries instead.
        Put32(archive_, {0, dataDescriptor ? 0 : crc, dataDescriptor ? 0 : entry.compressedSize,
                         dataDescriptor ? 0 : entry.size});
        Put16(archive_, {static_cast<uint16_t>(name.size()), 0});
        archive_.insert(archive_.end(), name.begin(), name.end());
        archive_.insert(archive_.end(), data.begin(), data.end());
        if (dataDescriptor) Put32(archive_, {0x08074B50, crc, entry.compressedSize, entry.size});
        entries_.push_back(entry);
        return *this;
    }

    // The archive with its central directory and end record (and a comment).
    std::vector<uint8_t> Build(const std::string &comment = "") const {
        std::vector<uint8_t> archive = archive_;
        const uint32_t directory = static_cast<uint32_t>(archive.size());
        for (const Central &entry : entries_) {
            Put32(archive, {0x02014B50});
            Put16(archive, {20, 20, entry.flags, entry.method});
            Put32(archive, {0, entry.crc, entry.compressedSize, entry.size});
            Put16(archive, {static_cast<uint16_t>(entry.name.size()), 0, 0, 0, 0});
            Put32(archive, {0, entry.localHeader});
            archive.insert(archive.end(), entry.name.begin(), entry.name.end());
        }
        const uint32_t directorySize = static_cast<uint32_t>(archive.size()) - directory;
        Put32(archive, {0x06054B50, 0});
        Put16(archive, {static_cast<uint16_t>(entries_.size()), static_cast<uint16_t>(entries_.size())});
        Put32(archive, {directorySize, directory});
        Put16(archive, {static_cast<uint16_t>(comment.size())});
        archive.insert(archive.end(), comment.begin(), comment.end());
        return archive;
    }

    // Where the first central directory header of an archive begins.
    static size_t FirstCentralHeader(const std::vector<uint8_t> &archive, size_t commentSize = 0) {
        const size_t end = archive.size() - 22 - commentSize;
        return archive[end + 16] | archive[end + 17] << 8 | archive[end + 18] << 16 | size_t{archive[end + 19]} << 24;
    }

    static void Patch32(std::vector<uint8_t> &archive, size_t offset, uint32_t value) {
        for (int i = 0; i < 4; ++i) archive[offset + i] = static_cast<uint8_t>(value >> (8 * i));
    }

    static std::vector<uint8_t> Bytes(const std::string &text) { return {text.begin(), text.end()}; }

private:
    struct Central {
        std::string name;
        uint16_t method;
        uint16_t flags;
        uint32_t crc;
        uint32_t compressedSize;
        uint32_t size;
        uint32_t localHeader;
    };

    // Each value little-endian, in two or four bytes.
    static void Put16(std::vector<uint8_t> &out, std::initializer_list<uint16_t> values) {
        for (uint16_t value : values) out.insert(out.end(), {uint8_t(value), uint8_t(value >> 8)});
    }
    static void Put32(std::vector<uint8_t> &out, std::initializer_list<uint32_t> values) {
        for (uint32_t value : values) Put16(out, {uint16_t(value), uint16_t(value >> 16)});
    }

    static std::vector<uint8_t> Deflate(const std::string &content) {
        z_stream stream{};
        deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
        std::vector<uint8_t> out(deflateBound(&stream, static_cast<uLong>(content.size())));
        stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(content.data()));
        stream.avail_in = static_cast<uInt>(content.size());
        stream.next_out = out.data();
        stream.avail_out = static_cast<uInt>(out.size());
        deflate(&stream, Z_FINISH);
        out.resize(stream.total_out);
        deflateEnd(&stream);
        return out;
    }

    std::vector<uint8_t> archive_;
    std::vector<Central> entries_;
};

}  // namespace nox_test
