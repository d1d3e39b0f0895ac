// Link configuration files as users hand them over. A refusal is a
// std::runtime_error with a message; anything else escaping is a finding. A
// layout read is written out, and that text must read back to itself: a saved
// layout loads as it was saved.
#include <cstdint>
#include <sstream>
#include <stdexcept>
#include <string>

#include "Finding.h"
#include "plex/CxpLinkConfiguration.h"

using vexo::core::plex::CxpLinkConfiguration;

namespace {

std::string Written(const CxpLinkConfiguration &configuration) {
    std::ostringstream text;
    configuration.Write(text);
    return text.str();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    CxpLinkConfiguration first("cxp");
    try {
        first.ReadText(std::string(reinterpret_cast<const char *>(data), size));
    } catch (const std::runtime_error &) {
        return 0;
    }
    const std::string saved = Written(first);
    CxpLinkConfiguration second("cxp");
    try {
        second.ReadText(saved);
    } catch (const std::runtime_error &error) {
        nox_fuzz::Finding(error.what());
    }
    nox_fuzz::Require(Written(second) == saved, "a saved layout that loads otherwise");
    return 0;
}
