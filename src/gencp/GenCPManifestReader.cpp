#include "gencp/GenCPManifestReader.h"

#include <algorithm>
#include <stdexcept>

#include "gencp/BigEndian.h"
#include "gencp/GenCPException.h"
#include "platform/ZipReader.h"
#include "protocol/GenCp.h"

namespace vexo::genicam {

namespace gencp = protocol::gencp;
namespace manifest = protocol::gencp::manifest;
using templates::platform::ZipError;
using templates::platform::ZipReader;

namespace {

uint64_t ReadNumber64(GenCPConnection &connection, uint64_t address) {
    uint8_t bytes[8];
    connection.ReadMemory(address, bytes, sizeof bytes);
    return BigEndian64(bytes);
}

GenCPManifestReader::Entry DecodeEntry(const uint8_t *bytes) {
    GenCPManifestReader::Entry entry;
    entry.fileVersion = BigEndian32(bytes + manifest::kFileVersionOffset);
    entry.schemaWord = BigEndian32(bytes + manifest::kSchemaWordOffset);
    entry.address = BigEndian64(bytes + manifest::kFileAddressOffset);
    entry.size = BigEndian64(bytes + manifest::kFileSizeOffset);
    return entry;
}

}  // namespace

bool GenCPManifestReader::Entry::IsZip() const {
    return (schemaWord >> manifest::kFileTypeShift & manifest::kFileTypeMask) == manifest::kFileTypeZip;
}

GenCPManifestReader::GenCPManifestReader(GenCPConnection &connection) : connection_(connection) {
    const uint64_t table = ReadNumber64(connection, gencp::bootstrap::kManifestTableAddress);
    const uint64_t count = std::min(ReadNumber64(connection, table), kMaxEntries);
    if (count == 0) return;
    std::vector<uint8_t> bytes(count * manifest::kEntryBytes);
    connection.ReadMemory(table + manifest::kCountBytes, bytes.data(), static_cast<uint32_t>(bytes.size()));
    for (uint64_t i = 0; i < count; ++i) entries_.push_back(DecodeEntry(bytes.data() + i * manifest::kEntryBytes));
}

std::vector<uint8_t> GenCPManifestReader::ReadFile(uint32_t index) {
    if (index >= entries_.size()) throw gencp_error("Given index is larger than the number of available XML files.");
    const Entry &entry = entries_[index];
    if (entry.size == 0 || entry.size > kMaxFileBytes) throw gencp_error("Invalid XML file size");
    std::vector<uint8_t> file(entry.size);
    connection_.ReadMemory(entry.address, file.data(), static_cast<uint32_t>(file.size()));
    if (entry.IsZip()) {
        templates::platform::ZipEntryResult unpacked = ZipReader::ReadFirstEntry(file.data(), file.size());
        if (unpacked.error == ZipError::NoEntries) throw std::runtime_error("Zip file has no entries.");
        if (!unpacked.Ok()) throw std::runtime_error("Zip file cannot be read.");
        file = std::move(unpacked.bytes);
    }
    file.push_back(0);
    return file;
}

}  // namespace vexo::genicam
