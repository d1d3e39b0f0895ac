#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace vexo::templates::platform {

// Why an archive was refused.
enum class ZipError {
    None,
    NotZip,             // does not begin with a local file header
    NoEndRecord,        // no end-of-central-directory record
    NoEntries,          // the directory lists no entry
    BadCentralHeader,   // the first directory entry is cut off or has no signature
    BadLocalHeader,     // the entry's local header is cut off or has no signature
    OutOfBounds,        // the entry's data lies outside the archive
    TooLarge,           // the entry is larger than kMaxEntrySize
    UnsupportedMethod,  // neither stored nor deflated, or encrypted
    SizeMismatch,       // the data is not as long as the directory says
    CorruptData,        // the deflated data does not inflate
    ChecksumMismatch,   // the data does not match its CRC-32
};

// The first entry of a zip archive, or why there is none.
struct ZipEntryResult {
    ZipError error = ZipError::None;
    std::vector<uint8_t> bytes;

    bool Ok() const { return error == ZipError::None; }
};

// Reads a zip archive held in memory. Pure: no state, every offset and length
// checked against the buffer. The entry grows with what is inflated, up to its
// declared size: no allocation is sized by a declared length alone. The entry
// is located through the central directory, so archives written with a data
// descriptor (sizes after the data) read the same as others.
class ZipReader {
public:
    static constexpr size_t kMaxEntrySize = size_t{64} << 20;

    // True when the bytes begin with a local file header ("PK\x03\x04").
    static bool IsZip(const void *data, size_t size);

    // The first entry, stored or deflated, checked against its declared size
    // and CRC-32; refused above kMaxEntrySize.
    static ZipEntryResult ReadFirstEntry(const void *data, size_t size);
};

}  // namespace vexo::templates::platform
