// Settings files ("rt.conf"). Every key is upper case and carries its section;
// values are trimmed; neither holds a line end or a comment.
#include <cstdint>
#include <string>
#include <string_view>

#include "Finding.h"
#include "settings/SettingsFile.h"

using nox_fuzz::Require;
namespace platform = vexo::templates::platform;

namespace {

bool Trimmed(std::string_view text) {
    constexpr std::string_view kWhiteSpace = " \t\r\n\v\f";
    return text.empty() || (kWhiteSpace.find(text.front()) == std::string_view::npos &&
                            kWhiteSpace.find(text.back()) == std::string_view::npos);
}

bool Clean(std::string_view text) { return text.find_first_of("\n#") == std::string_view::npos; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const platform::SettingsMap settings =
        platform::ParseSettingsText(std::string_view(reinterpret_cast<const char *>(data), size));
    for (const auto &[key, value] : settings) {
        Require(key.find("::") != std::string::npos, "a key without its section");
        Require(key == platform::SettingsKey(key), "a key not in upper case");
        Require(Clean(key) && Clean(value), "a line end or comment inside a setting");
        Require(Trimmed(value), "a value not trimmed");
    }
    return 0;
}
