#include "genicam/XmlUrl.h"

#include <cstdio>
#include <optional>

#include "nox_genicam.h"

namespace vexo::genicam {
namespace {

constexpr std::string_view kLocalPrefix = "Local:";

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (Lower(text[i]) != Lower(prefix[i])) return false;
    }
    return true;
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = Lower(c);
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// A hexadecimal number with an optional "0x"; nothing else, and no more than 32 bits.
std::optional<uint32_t> ParseHex32(std::string_view text) {
    text = TrimBlanks(text);
    if (StartsWithIgnoringCase(text, "0x")) text.remove_prefix(2);
    if (text.empty()) return std::nullopt;
    uint64_t value = 0;
    for (const char c : text) {
        const int digit = HexDigit(c);
        if (digit < 0) return std::nullopt;
        value = value << 4 | static_cast<uint64_t>(digit);
        if (value > UINT32_MAX) return std::nullopt;
    }
    return static_cast<uint32_t>(value);
}

XmlUrlResult Failure(std::string message) { return XmlUrlResult{ERR_EXCEPTION, std::move(message), {}}; }

uint32_t BigEndian32(std::span<const uint8_t, XmlUrl::kManifestEntrySize> entry, size_t offset) {
    return static_cast<uint32_t>(entry[offset]) << 24 | static_cast<uint32_t>(entry[offset + 1]) << 16 |
           static_cast<uint32_t>(entry[offset + 2]) << 8 | entry[offset + 3];
}

uint64_t BigEndian64(std::span<const uint8_t, XmlUrl::kManifestEntrySize> entry, size_t offset) {
    return static_cast<uint64_t>(BigEndian32(entry, offset)) << 32 | BigEndian32(entry, offset + 4);
}

}  // namespace

bool XmlUrl::IsLocal(std::string_view text) { return StartsWithIgnoringCase(text, kLocalPrefix); }

XmlUrlResult XmlUrl::Parse(std::string_view text) {
    static const char *const kInvalidFormat = "Invalid format of XML URL";
    if (!IsLocal(text)) return Failure("No valid XML URL found");
    std::string_view rest = text.substr(kLocalPrefix.size());
    const size_t nameEnd = rest.find(';');
    if (nameEnd == std::string_view::npos) return Failure(kInvalidFormat);
    const std::string_view fileName = rest.substr(0, nameEnd);
    rest.remove_prefix(nameEnd + 1);
    const size_t addressEnd = rest.find(';');
    if (addressEnd == std::string_view::npos) return Failure(kInvalidFormat);
    const std::string_view lengthText = rest.substr(addressEnd + 1);
    const std::optional<uint32_t> address = ParseHex32(rest.substr(0, addressEnd));
    const std::optional<uint32_t> length = ParseHex32(lengthText.substr(0, lengthText.find('?')));
    if (!address || !length || *length == 0) return Failure(kInvalidFormat);
    // The file is read chunk by chunk from its address on; it must not wrap.
    if (uint64_t{*address} + *length > uint64_t{UINT32_MAX} + 1) return Failure(kInvalidFormat);
    if (*length > kMaxLength) return Failure(kInvalidFormat);
    return XmlUrlResult{0, {}, XmlUrl{std::string(fileName), *address, *length}};
}

std::string XmlUrl::FromManifestEntry(std::span<const uint8_t, kManifestEntrySize> entry) {
    const uint32_t version = BigEndian32(entry, 0);
    const uint32_t fileType = BigEndian32(entry, 4) >> 10 & 0x3F;
    char text[160];
    std::snprintf(text, sizeof text, "Local:ManifestXmlFile_%u.%u.%u.%s;%llx;%llx", version >> 24, version >> 16 & 0xFF,
                  version & 0xFFFF, fileType == 1 ? "zip" : "xml",
                  static_cast<unsigned long long>(BigEndian64(entry, 8)),
                  static_cast<unsigned long long>(BigEndian64(entry, 16)));
    return text;
}

}  // namespace vexo::genicam
