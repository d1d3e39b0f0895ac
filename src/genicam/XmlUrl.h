#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace vexo::genicam {

struct XmlUrlResult;

// Where a camera keeps its description in its register space, as its URL
// text names it: "Local:" (in any case), file name, ";", address, ";", length,
// the numbers hexadecimal with or without "0x". A "?" suffix after the length
// (such as "?SchemaVersion=1.1.0") is allowed and ignored.
struct XmlUrl {
    // Longer files are refused: the length comes from the camera and sizes a buffer.
    static constexpr uint32_t kMaxLength = uint32_t{64} << 20;
    static constexpr size_t kManifestEntrySize = 64;

    std::string fileName;
    uint32_t address = 0;
    uint32_t length = 0;

    // True when the text begins with "Local:" in any case.
    static bool IsLocal(std::string_view text);

    // Parses a URL text. Failures carry ERR_EXCEPTION and the message to log:
    // "No valid XML URL found" when the text is no "Local:" URL, "Invalid
    // format of XML URL" when a ";" or a number is missing or malformed, the
    // length is 0 or above kMaxLength, or the file would end past the 32-bit
    // address space.
    static XmlUrlResult Parse(std::string_view text);

    // The URL of the first entry of a GenCP manifest table (64 bytes, fields
    // most significant byte first): "Local:ManifestXmlFile_<major>.<minor>.
    // <subminor>.<zip|xml>;<address>;<size>", the numbers in lower-case
    // hexadecimal without prefix.
    static std::string FromManifestEntry(std::span<const uint8_t, kManifestEntrySize> entry);
};

struct XmlUrlResult {
    int32_t status = 0;
    std::string message;
    XmlUrl url;

    bool Ok() const { return status == 0; }
};

}  // namespace vexo::genicam
