#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string_view>

namespace vexo::core::plex {

// How a CoaXPress board's physical ports were routed to the applet's ports,
// which camera operator each applet port belonged to, and the uplink speed of
// each port: the content of a low-level link profile file.
struct LowLevelLinkProfile {
    static constexpr uint32_t kPorts = 4;
    // A profile is ten short lines; a larger file is not one.
    static constexpr size_t kMaxFileBytes = 64 * 1024;

    uint64_t select = 0;                       // the discovery select value
    std::array<uint32_t, kPorts> apMasterId{};  // per applet port
    std::array<uint32_t, kPorts> apExtensionId{};
    std::array<uint32_t, kPorts> speed{};       // per physical port, as the controller reports it

    // "# low level link profile v1.0", "mux=0x...", "ap_<p>=<master>,<extension>"
    // and "speed_<p>=<speed>" for p = 0..3, each line ended by LF.
    void Write(std::ostream &out) const;

    // Reads a profile's text. Lines are trimmed; comments and lines of no
    // known prefix are skipped. Nothing comes back when the "mux" line, an
    // "ap_" or a "speed_" line is missing, a value does not parse, or a port
    // index lies outside 0..3.
    static std::optional<LowLevelLinkProfile> Parse(std::string_view text);
};

}  // namespace vexo::core::plex
