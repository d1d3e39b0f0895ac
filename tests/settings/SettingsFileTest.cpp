#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "TempDirectory.h"
#include "settings/SettingsFile.h"

using vexo::templates::platform::kMaxSettingsFileBytes;
using vexo::templates::platform::ParseSettingsText;
using vexo::templates::platform::ReadSettingsFile;
using vexo::templates::platform::SettingsMap;

TEST(SettingsFile, SectionsNamesCommentsAndWhiteSpace) {
    const SettingsMap settings = ParseSettingsText(
        "  # a comment line\n"
        "Orphan = 1\n"
        "[ cxp ]   # section with blanks and a comment\n"
        "\tcommandAckTimeout\t=  500  \n"
        "WaitAfterPowerup=900 # trailing comment\n"
        "no equals sign here\n"
        "Mixed = Some Value = with equals\n"
        "\n"
        "[]\n"
        "[Global]\r\n"
        "EnablePCAP = On\r\n"
        "Empty =\n");
    EXPECT_EQ(settings, (SettingsMap{
                            {"::ORPHAN", "1"},
                            {"CXP::COMMANDACKTIMEOUT", "500"},
                            {"CXP::WAITAFTERPOWERUP", "900"},
                            {"CXP::MIXED", "Some Value = with equals"},
                            {"GLOBAL::ENABLEPCAP", "On"},
                            {"GLOBAL::EMPTY", ""},
                        }));
}

TEST(SettingsFile, TheLastOfTwoEqualKeysWinsWhateverTheirSpelling) {
    const SettingsMap settings = ParseSettingsText(
        "[CXP]\nCommandAckTimeout = 100\n[cxp]\ncommandacktimeout = 200\n[Cxp]\nCOMMANDACKTIMEOUT = 300");
    ASSERT_EQ(settings.size(), 1u);
    EXPECT_EQ(settings.at("CXP::COMMANDACKTIMEOUT"), "300");
}

TEST(SettingsFile, AwkwardInputIsParsedWithoutFault) {
    // No line end at all, binary bytes, an embedded NUL.
    EXPECT_TRUE(ParseSettingsText("").empty());
    EXPECT_TRUE(ParseSettingsText("[").empty());
    EXPECT_TRUE(ParseSettingsText("=").count("::") == 1);
    const char raw[] = "[\xff\xfe]\nk\0ey = \x80\x01v\n";
    const std::string binary(raw, sizeof raw - 1);
    const SettingsMap decoded = ParseSettingsText(binary);
    ASSERT_EQ(decoded.size(), 1u);
    EXPECT_EQ(decoded.begin()->second, "\x80\x01v");

    // A line of several megabytes.
    const std::string longValue(3 * 1024 * 1024, 'x');
    const SettingsMap longLine = ParseSettingsText("[A]\nkey=" + longValue);
    EXPECT_EQ(longLine.at("A::KEY").size(), longValue.size());
}

TEST(SettingsFile, FilesAreReadWithinTheirBound) {
    nox_test::TempDirectory directory;
    EXPECT_TRUE(ReadSettingsFile(directory / "missing.conf").empty());
    EXPECT_TRUE(ReadSettingsFile(directory.Path()).empty());  // a folder
    const auto fifo = directory / "fifo.conf";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_TRUE(ReadSettingsFile(fifo).empty());  // would block forever if opened

    const auto small = directory / "small.conf";
    nox_test::WriteFile(small, "[CXP]\nWaitAfterPowerup = 5");
    EXPECT_EQ(ReadSettingsFile(small).at("CXP::WAITAFTERPOWERUP"), "5");

    // A file beyond the bound: whole lines up to it count, the line it cuts does not.
    const std::string head = "[Big]\nfirst = 1\n";
    std::string content = head + std::string(kMaxSettingsFileBytes - head.size() - 4, '#') + "\n";
    content += "cut = this line straddles the bound\nafter = 2\n";
    const auto big = directory / "big.conf";
    nox_test::WriteFile(big, content);
    const SettingsMap settings = ReadSettingsFile(big);
    EXPECT_EQ(settings, (SettingsMap{{"BIG::FIRST", "1"}}));
}
