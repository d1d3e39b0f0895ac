// Archives as a camera or a user hands them over: the first entry, or why
// there is none. Beyond what the sanitizers catch, an accepted entry must come
// from an archive that says it is one and stay within the entry bound.
#include <cstdint>

#include "Finding.h"
#include "platform/ZipReader.h"

using vexo::templates::platform::ZipReader;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const auto result = ZipReader::ReadFirstEntry(data, size);
    if (result.Ok()) {
        nox_fuzz::Require(ZipReader::IsZip(data, size), "an entry read from bytes that are no archive");
        nox_fuzz::Require(result.bytes.size() <= ZipReader::kMaxEntrySize, "an entry above the bound");
    } else {
        nox_fuzz::Require(result.bytes.empty(), "a refused archive left bytes behind");
    }
    return 0;
}
