// Low-level link profile files. A profile that parses is written out, and the
// text must parse back to the same profile.
#include <cstdint>
#include <sstream>
#include <string_view>

#include "Finding.h"
#include "plex/LowLevelLinkProfile.h"

using vexo::core::plex::LowLevelLinkProfile;

namespace {

bool Same(const LowLevelLinkProfile &a, const LowLevelLinkProfile &b) {
    return a.select == b.select && a.apMasterId == b.apMasterId && a.apExtensionId == b.apExtensionId &&
           a.speed == b.speed;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const auto profile = LowLevelLinkProfile::Parse(std::string_view(reinterpret_cast<const char *>(data), size));
    if (!profile) return 0;
    std::ostringstream written;
    profile->Write(written);
    const auto again = LowLevelLinkProfile::Parse(written.str());
    nox_fuzz::Require(again && Same(*again, *profile), "a written profile that reads back otherwise");
    return 0;
}
