// Where a camera says its description lies: the URL text it serves, and the
// first entry of a manifest table (the first 64 bytes) turned into such a
// text. An accepted URL must name a file that fits the 32-bit address space and
// the length bound; a manifest entry whose numbers fit must read back as them.
#include <cstdint>
#include <span>
#include <string_view>

#include "Finding.h"
#include "genicam/XmlUrl.h"
#include "nox_genicam.h"

using nox_fuzz::Require;
using vexo::genicam::XmlUrl;
using vexo::genicam::XmlUrlResult;

namespace {

void CheckUrl(const XmlUrlResult &result) {
    if (!result.Ok()) {
        Require(result.status == ERR_EXCEPTION, "a refusal with another status");
        Require(result.message == "No valid XML URL found" || result.message == "Invalid format of XML URL",
                "a refusal with another message");
        return;
    }
    Require(result.url.length > 0 && result.url.length <= XmlUrl::kMaxLength, "a length outside the bound");
    Require(uint64_t{result.url.address} + result.url.length <= uint64_t{1} << 32, "a file past the address space");
}

uint64_t BigEndian64(const uint8_t *bytes) {
    uint64_t value = 0;
    for (int i = 0; i < 8; ++i) value = value << 8 | bytes[i];
    return value;
}

void CheckManifestEntry(std::span<const uint8_t, XmlUrl::kManifestEntrySize> entry) {
    const XmlUrlResult result = XmlUrl::Parse(XmlUrl::FromManifestEntry(entry));
    CheckUrl(result);
    const uint64_t address = BigEndian64(entry.data() + 8), length = BigEndian64(entry.data() + 16);
    const bool fits = length > 0 && length <= XmlUrl::kMaxLength && address <= (uint64_t{1} << 32) - length;
    Require(result.Ok() == fits, "a manifest entry read otherwise than its numbers say");
    if (fits) Require(result.url.address == address && result.url.length == length, "a manifest entry read wrongly");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    CheckUrl(XmlUrl::Parse(std::string_view(reinterpret_cast<const char *>(data), size)));
    if (size >= XmlUrl::kManifestEntrySize)
        CheckManifestEntry(std::span<const uint8_t, XmlUrl::kManifestEntrySize>(data, XmlUrl::kManifestEntrySize));
    return 0;
}
