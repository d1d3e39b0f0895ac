#pragma once
#include <cstdint>
#include <vector>

#include "gencp/GenCPConnection.h"

namespace vexo::genicam {

// The camera's GenCP manifest: the table of its description files, read once
// when the reader is made, and the files themselves. Every number is taken
// most significant byte first.
class GenCPManifestReader {
public:
    // Only this many entries are read, however many the camera reports.
    static constexpr uint64_t kMaxEntries = 64;
    // A file the camera reports as larger is refused before anything is read.
    static constexpr uint64_t kMaxFileBytes = uint64_t{64} << 20;

    struct Entry {
        uint32_t fileVersion = 0;
        uint32_t schemaWord = 0;  // schema version (bits 31..16), file type (bits 15..10)
        uint64_t address = 0;
        uint64_t size = 0;

        bool IsZip() const;
    };

    // Reads the table address, the entry count and the entries; the
    // connection's GenCPExceptions pass on.
    explicit GenCPManifestReader(GenCPConnection &connection);

    const std::vector<Entry> &Entries() const { return entries_; }
    // The file of the entry, unzipped when the entry says it is zipped, with
    // a terminating zero after its bytes. gencp_error "Given index is larger
    // than the number of available XML files." for an index past the table,
    // "Invalid XML file size" for a size of 0 or above kMaxFileBytes;
    // std::runtime_error "Zip file has no entries." for an empty archive,
    // "Zip file cannot be read." for one that does not unpack.
    std::vector<uint8_t> ReadFile(uint32_t index);

private:
    GenCPConnection &connection_;
    std::vector<Entry> entries_;
};

}  // namespace vexo::genicam
