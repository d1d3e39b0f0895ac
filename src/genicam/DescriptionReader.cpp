#include "genicam/DescriptionReader.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "nox_genicam.h"
#include "platform/ZipReader.h"
#include "protocol/CxpBootstrap.h"
#include "protocol/GenCp.h"

namespace vexo::genicam {

using templates::platform::ZipEntryResult;
using templates::platform::ZipReader;

namespace {

namespace bootstrap = protocol::cxp::bootstrap;

constexpr uint32_t kDefaultControlPacketSize = 128;
constexpr uint64_t kAddressSpaceEnd = uint64_t{UINT32_MAX} + 1;

bool IsPrintable(uint8_t byte) { return byte >= 32 && byte <= 126; }

std::string PrintableOnly(const std::string &text) {
    std::string kept;
    std::copy_if(text.begin(), text.end(), std::back_inserter(kept),
                 [](char c) { return IsPrintable(static_cast<uint8_t>(c)); });
    return kept;
}

std::string HexAddress(uint32_t address) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", address);
    return text;
}

const std::string kTracePrefix = "[ConnectCamera     ] ";

}  // namespace

RetrievedDescription DescriptionReader::ReadCoaXPress(uint32_t controlPacketSize) {
    const uint32_t chunk = ReadChunkSize(controlPacketSize);
    log_.Trace(kTracePrefix + "Control packet size read.");

    uint32_t manifestSize = 0;
    if (int32_t status = registers_.ReadRegister(bootstrap::kXmlManifestSize, manifestSize); status != 0)
        return FailedRead(status, "XML Manifest Size BSR");
    // Selects the first manifest entry; cameras with one entry may refuse it.
    registers_.WriteRegister(bootstrap::kXmlManifestSelector, 0);

    uint32_t urlAddress = 0;
    if (int32_t status = registers_.ReadRegister(bootstrap::kXmlUrlAddress, urlAddress); status != 0)
        return FailedRead(status, "XML URL Address BSR");
    if (urlAddress == 0) return Fail(ERR_EXCEPTION, "Invalid XML URL address");
    log_.Trace(kTracePrefix + "GenICam XML URL address read.");

    std::string urlText;
    if (RetrievedDescription failure = ReadUrlText(urlAddress, chunk, urlText); !failure.Ok()) return failure;
    const XmlUrlResult url = XmlUrl::Parse(urlText);
    if (!url.Ok()) return Fail(url.status, url.message);
    log_.Trace(kTracePrefix + "GenICam XML URL parsed.");
    return UnzipIfZipped(ReadFile(url.url, chunk));
}

RetrievedDescription DescriptionReader::ReadGenCpManifest() {
    namespace gencp = protocol::gencp;
    uint32_t version = 0;
    if (int32_t status = registers_.ReadRegister(gencp::bootstrap::kGenCpVersion, version); status != 0)
        return FailedRead(status, "GenCP Version BSR");
    uint64_t table = 0;
    if (int32_t status = ReadNumber64(gencp::bootstrap::kManifestTableAddress, table); status != 0)
        return FailedRead(status, "XML Manifest Table Offset BSR");
    if (table == 0) return Fail(ERR_EXCEPTION, "Invalid XML manifest table offset");
    // The table and its first entry must lie in the 32-bit register space.
    const uint64_t entryAddress = table + gencp::manifest::kCountBytes;
    if (entryAddress + XmlUrl::kManifestEntrySize > kAddressSpaceEnd)
        return Fail(ERR_EXCEPTION, "Invalid XML manifest table offset");
    uint64_t entries = 0;
    if (int32_t status = ReadNumber64(static_cast<uint32_t>(table), entries); status != 0)
        return FailedRead(status, "XML Manifest Table Entries BSR");
    if (entries == 0) return Fail(ERR_EXCEPTION, "Invalid number of XML manifest table entries");
    std::array<uint8_t, XmlUrl::kManifestEntrySize> entry{};
    if (int32_t status = registers_.ReadBytes(static_cast<uint32_t>(entryAddress), entry.data(), entry.size());
        status != 0)
        return FailedRead(status, "XML Manifest Table Entry");
    const std::string urlText = XmlUrl::FromManifestEntry(entry);
    log_.Info("Camera XML URL: " + urlText);
    const XmlUrlResult url = XmlUrl::Parse(urlText);
    if (!url.Ok()) return Fail(url.status, url.message);
    log_.Trace(kTracePrefix + "GenICam XML URL parsed.");
    return UnzipIfZipped(ReadFile(url.url, kGenCpReadChunk));
}

// Eight bytes, most significant first.
int32_t DescriptionReader::ReadNumber64(uint32_t address, uint64_t &value) {
    std::array<uint8_t, 8> bytes{};
    if (int32_t status = registers_.ReadBytes(address, bytes.data(), bytes.size()); status != 0) return status;
    value = 0;
    for (uint8_t byte : bytes) value = value << 8 | byte;
    return 0;
}

uint32_t DescriptionReader::ReadChunkSize(uint32_t controlPacketSize) {
    if (controlPacketSize == 0 && registers_.ReadRegister(bootstrap::kControlPacketSizeMax, controlPacketSize) != 0)
        controlPacketSize = kDefaultControlPacketSize;
    return std::clamp(controlPacketSize, kMinControlPacketSize, kMaxControlPacketSize) - kControlPacketOverhead;
}

RetrievedDescription DescriptionReader::ReadUrlText(uint32_t address, uint32_t chunk, std::string &url) {
    // Some cameras answer the URL area only in register-sized reads, some only
    // byte by byte; each further attempt is made only when the previous one
    // found no URL.
    url = ReadUrlInChunks(address, chunk);
    if (!XmlUrl::IsLocal(url)) url = ReadUrlInChunks(address, 4);
    if (!XmlUrl::IsLocal(url)) url = ReadUrlByteByByte(address);
    if (!XmlUrl::IsLocal(url)) return Fail(ERR_EXCEPTION, "No valid XML URL found");
    url = PrintableOnly(url);
    log_.Info("Camera XML URL: " + url);
    log_.Trace(kTracePrefix + "GenICam XML URL read.");
    return {};
}

std::string DescriptionReader::ReadUrlInChunks(uint32_t address, uint32_t chunk) {
    std::array<uint8_t, kUrlAreaSize + 1> area{};
    for (uint32_t offset = 0; offset < kUrlAreaSize && uint64_t{address} + offset < kAddressSpaceEnd;) {
        const uint32_t length = static_cast<uint32_t>(
            std::min<uint64_t>({chunk, kUrlAreaSize - offset, kAddressSpaceEnd - address - offset}));
        std::array<uint8_t, kUrlAreaSize> bytes{};
        if (registers_.ReadBytes(address + offset, bytes.data(), length) != 0) break;
        std::copy_n(bytes.begin(), length, area.begin() + offset);
        offset += length;
        if (!std::all_of(bytes.begin(), bytes.begin() + length, IsPrintable)) break;
    }
    return std::string(reinterpret_cast<const char *>(area.data()));
}

std::string DescriptionReader::ReadUrlByteByByte(uint32_t address) {
    std::string text;
    for (uint32_t offset = 0; offset < kUrlAreaSize && uint64_t{address} + offset < kAddressSpaceEnd; ++offset) {
        uint8_t byte = 0;
        if (registers_.ReadBytes(address + offset, &byte, 1) != 0 || !IsPrintable(byte)) break;
        text.push_back(static_cast<char>(byte));
    }
    return text;
}

RetrievedDescription DescriptionReader::ReadFile(const XmlUrl &url, uint32_t chunk) {
    RetrievedDescription file;
    file.bytes.resize(url.length);
    for (uint32_t offset = 0; offset < url.length;) {
        const uint32_t length = std::min(chunk, url.length - offset);
        if (int32_t status = registers_.ReadBytes(url.address + offset, file.bytes.data() + offset, length);
            status != 0)
            return FailedRead(status, "XML file content at offset " + std::to_string(offset));
        offset += length;
    }
    log_.Trace(kTracePrefix + "GenICam file retrieved from camera.");
    log_.Info("Retrieved XML file: " + url.fileName + "; Length: " + std::to_string(url.length) +
              " bytes; Address: " + HexAddress(url.address));
    return file;
}

RetrievedDescription DescriptionReader::UnzipIfZipped(RetrievedDescription file) {
    // The first bytes decide, whatever the file's name says.
    if (!file.Ok() || !ZipReader::IsZip(file.bytes.data(), file.bytes.size())) return file;
    ZipEntryResult entry = ZipReader::ReadFirstEntry(file.bytes.data(), file.bytes.size());
    if (!entry.Ok()) return Fail(ERR_EXCEPTION, "Failed to unzip XML from camera");
    log_.Trace(kTracePrefix + "GenICam file unzipped.");
    return RetrievedDescription{0, std::move(entry.bytes)};
}

RetrievedDescription DescriptionReader::Fail(int32_t status, const std::string &message) {
    log_.Error(message);
    return RetrievedDescription{status, {}};
}

RetrievedDescription DescriptionReader::FailedRead(int32_t status, const std::string &registerName) {
    return Fail(status, "Failed to read register: " + registerName);
}

}  // namespace vexo::genicam
