// The low-level link profile's text: read leniently, refused when incomplete. The text the board
// writes, and its restore, are the link file road test's.
#include <gtest/gtest.h>

#include <string>

#include "plex/LowLevelLinkProfile.h"

using vexo::core::plex::LowLevelLinkProfile;

namespace {

constexpr const char *kProfileText =
    "# low level link profile v1.0\n"
    "mux=0x7654321076543210\n"
    "ap_0=1,0\n"
    "ap_1=1,1\n"
    "ap_2=2,0\n"
    "ap_3=3,0\n"
    "speed_0=1\n"
    "speed_1=1\n"
    "speed_2=0\n"
    "speed_3=4294967295\n";

// The profile text with one line replaced (or dropped when `replacement` is empty).
std::string Replace(const std::string &line, const std::string &replacement) {
    std::string text = kProfileText;
    const size_t at = text.find(line + "\n");
    text.replace(at, line.size() + 1, replacement.empty() ? "" : replacement + "\n");
    return text;
}

}  // namespace

TEST(LowLevelLinkProfile, ReadsTrimmedCrLfLinesInAnyOrderAndSkipsTheUnknown) {
    const std::string text =
        "  speed_3 = 0 \r\n\r\n# a comment\r\nspeed_2=0\r\nspeed_1=1\r\nspeed_0=1\r\nmux= FFFF3210ffff3210\r\n"
        "ap_3=3,0\r\nap_2=2,0\r\nap_1=1,1\r\nap_0=1,0\r\ncolour=blue";
    const auto profile = LowLevelLinkProfile::Parse(text);
    ASSERT_TRUE(profile);
    EXPECT_EQ(profile->select, 0xFFFF3210FFFF3210u);
    EXPECT_EQ(profile->speed[3], 0u);
    EXPECT_EQ(profile->apMasterId[0], 1u);
}

TEST(LowLevelLinkProfile, RefusesIncompleteOrMalformedProfiles) {
    EXPECT_FALSE(LowLevelLinkProfile::Parse(""));
    // A data line missing.
    for (const char *line : {"mux=0x7654321076543210", "ap_3=3,0", "speed_0=1"})
        EXPECT_FALSE(LowLevelLinkProfile::Parse(Replace(line, ""))) << line;
    // Indices outside 0..3 never reach the four entries.
    EXPECT_FALSE(LowLevelLinkProfile::Parse(Replace("ap_3=3,0", "ap_4=3,0")));
    EXPECT_FALSE(LowLevelLinkProfile::Parse(Replace("speed_3=4294967295", "speed_-1=0")));
    EXPECT_FALSE(LowLevelLinkProfile::Parse(Replace("speed_3=4294967295", "speed_99999999999=0")));
    // Values that do not parse.
    EXPECT_FALSE(LowLevelLinkProfile::Parse(Replace("mux=0x7654321076543210", "mux=0x176543210765432100")));
    EXPECT_FALSE(LowLevelLinkProfile::Parse(Replace("ap_0=1,0", "ap_0=1")));
    EXPECT_FALSE(LowLevelLinkProfile::Parse(Replace("speed_0=1", "speed_0")));
    // A repeated line counts once, the last value wins.
    const auto repeated = LowLevelLinkProfile::Parse(std::string(kProfileText) + "speed_0=6250\n");
    ASSERT_TRUE(repeated);
    EXPECT_EQ(repeated->speed[0], 6250u);
}
