#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "LogFile.h"
#include "TempDirectory.h"
#include "platform/Environment.h"
#include "platform/InstallationFolder.h"
#include "settings/TweakProperties.h"

namespace platform = vexo::templates::platform;
using platform::TweakProperties;

namespace {

// A user file and an installation file in a temporary folder, both absent until written.
class SettingsFiles {
public:
    std::filesystem::path User() const { return directory_ / "user.conf"; }
    std::filesystem::path Installation() const { return directory_ / "installation.conf"; }
    void WriteUser(const std::string &text) const { nox_test::WriteFile(User(), text); }
    void WriteInstallation(const std::string &text) const { nox_test::WriteFile(Installation(), text); }
    TweakProperties Properties() const { return TweakProperties(User(), Installation()); }

private:
    nox_test::TempDirectory directory_;
};

std::string ExceptionText(const std::function<void()> &call) {
    try {
        call();
    } catch (const std::runtime_error &error) {
        return error.what();
    }
    return "no exception";
}

}  // namespace

TEST(TweakProperties, SourcesResolveUserFileThenInstallationFileThenEnvironmentThenDefault) {
    SettingsFiles files;
    const std::string key = "CXP::WaitAfterPowerup";
    platform::UnsetEnvironment("VEXO_CXP_WAIT_AFTER_POWERUP");
    EXPECT_EQ(files.Properties().LookupInt32(key), 2000);

    platform::SetEnvironment("VEXO_CXP_WAIT_AFTER_POWERUP", "1500");
    EXPECT_EQ(files.Properties().LookupInt32(key), 1500);

    files.WriteInstallation("[CXP]\nWaitAfterPowerup = 1200\n");
    EXPECT_EQ(files.Properties().LookupInt32(key), 1200);

    // Section and name in another case still match; the file beats the environment.
    files.WriteUser("[cxp]\nwaitafterpowerup=900\n");
    EXPECT_EQ(files.Properties().LookupInt32(key), 900);

    // A text that is no number is passed over for the next source.
    files.WriteUser("[CXP]\nWaitAfterPowerup = soon\n");
    EXPECT_EQ(files.Properties().LookupInt32(key), 1200);
    files.WriteInstallation("[CXP]\nWaitAfterPowerup = later\n");
    EXPECT_EQ(files.Properties().LookupInt32(key), 1500);
    platform::SetEnvironment("VEXO_CXP_WAIT_AFTER_POWERUP", "never");
    EXPECT_EQ(files.Properties().LookupInt32(key), 2000);
}

TEST(TweakProperties, NumbersParseLikeStreamExtraction) {
    using platform::ParseInt32Setting;
    using platform::ParseUInt32Setting;
    const std::pair<const char *, std::optional<int32_t>> signedCases[] = {
        {"  42 ms", 42}, {"-17", -17}, {"0x20", 0} /* decimal only */, {"2147483647", 2147483647},
        {"2147483648", std::nullopt}, {"ms 42", std::nullopt}};
    for (const auto &[text, value] : signedCases) EXPECT_EQ(ParseInt32Setting(text), value) << text;
    EXPECT_EQ(ParseUInt32Setting("4294967295"), 4294967295u);
    EXPECT_EQ(ParseUInt32Setting("4294967296"), std::nullopt);
    // A negative timeout must not wrap around into weeks.
    EXPECT_EQ(ParseUInt32Setting(" -5"), std::nullopt);

    // Refused texts do not apply, and the log says where each came from.
    SettingsFiles files;
    const std::filesystem::path log = files.User().parent_path() / "settings.log";
    platform::SetEnvironment("VEXO_LOG", "vexo.templates=4");
    platform::SetEnvironment("VEXO_LOG_FILE", log.string());
    platform::SetEnvironment("VEXO_CXP_COMMAND_ACK_TIMEOUT", "soon");
    files.WriteUser("[CXP]\nCommandAckTimeout = -1\n");
    EXPECT_EQ(files.Properties().LookupUInt32("CXP::CommandAckTimeout"), 300u);
    std::vector<std::string> records;
    for (const nox_test::LogLine &line : nox_test::ReadLogLines(log)) {
        EXPECT_EQ(line.level + " " + line.logger, "warning vexo.templates.platform.TweakProperties");
        records.push_back(line.text.substr(line.text.find('|') + 1));
    }
    EXPECT_EQ(records, (std::vector<std::string>{
                           "Ignoring runtime setting CXP::CommandAckTimeout from the user settings file '" +
                               files.User().string() + "': '-1' is not an unsigned 32-bit number",
                           "Ignoring runtime setting CXP::CommandAckTimeout from the environment variable "
                           "VEXO_CXP_COMMAND_ACK_TIMEOUT: 'soon' is not an unsigned 32-bit number"}));
    platform::UnsetEnvironment("VEXO_CXP_COMMAND_ACK_TIMEOUT");
}

TEST(TweakProperties, BooleanSpellings) {
    for (const char *text : {"ON", "1", "Yes", "true"}) EXPECT_EQ(platform::ParseBoolSetting(text), true) << text;
    for (const char *text : {"Off", "", " on", "2", "enabled"})
        EXPECT_EQ(platform::ParseBoolSetting(text), false) << text;

    SettingsFiles files;
    platform::SetEnvironment("VEXO_ENABLE_PCAP", "on");
    EXPECT_TRUE(files.Properties().LookupBool("Global::EnablePCAP"));
    // A boolean always parses, so a file's "Off" beats the environment's "on".
    files.WriteUser("[global]\nenablepcap = Off\n");
    EXPECT_FALSE(files.Properties().LookupBool("Global::EnablePCAP"));
}

TEST(TweakProperties, UnknownKeysAndKeysWithoutAValueAreRefused) {
    SettingsFiles files;
    TweakProperties properties = files.Properties();
    // Keys of the table match exactly, case included.
    EXPECT_THROW(properties.LookupBool("cxp::CommandAckTimeout"), std::runtime_error);
    EXPECT_THROW(TweakProperties::GetUInt32("Nope"), std::runtime_error);
    platform::UnsetEnvironment("VEXO_GUI_CONSOLE_FONT");
    EXPECT_EQ(ExceptionText([&] { properties.LookupInt32("Global::GuiConsoleFont"); }),
              "TweakProperties: No valid value found for property 'Global::GuiConsoleFont'");
}

TEST(TweakProperties, UserFileLocation) {
    nox_test::TempDirectory directory;
    platform::SetEnvironment("XDG_CONFIG_HOME", (directory / "config").string());
    platform::SetEnvironment("HOME", (directory / "home").string());
    EXPECT_EQ(platform::UserSettingsFilePath(), directory / "config" / "vexo" / "rt.conf");
    EXPECT_TRUE(std::filesystem::is_directory(directory / "config" / "vexo"));

    platform::SetEnvironment("XDG_CONFIG_HOME", "");
    EXPECT_EQ(platform::UserSettingsFilePath(), directory / "home" / ".config" / "vexo" / "rt.conf");
    platform::UnsetEnvironment("XDG_CONFIG_HOME");
    EXPECT_EQ(platform::UserSettingsFilePath(), directory / "home" / ".config" / "vexo" / "rt.conf");

    // A folder that cannot be made: no user file.
    nox_test::WriteFile(directory / "blocker", "a file, not a folder");
    platform::SetEnvironment("XDG_CONFIG_HOME", (directory / "blocker").string());
    EXPECT_EQ(platform::UserSettingsFilePath(), std::nullopt);

    platform::UnsetEnvironment("XDG_CONFIG_HOME");
    platform::UnsetEnvironment("HOME");
    EXPECT_EQ(platform::UserSettingsFilePath(), std::nullopt);

    ASSERT_TRUE(platform::InstallationFolder().has_value());
    EXPECT_EQ(platform::InstallationSettingsFilePath(), *platform::InstallationFolder() + "/rt.conf");
}

TEST(TweakProperties, StaticLookupsReadTheUserFileAgainEachTime) {
    nox_test::TempDirectory directory;
    platform::SetEnvironment("XDG_CONFIG_HOME", directory.Path().string());
    platform::UnsetEnvironment("VEXO_CXP_COMMAND_ACK_TIMEOUT");
    platform::UnsetEnvironment("VEXO_CXP_USE_CONNECTION_CONFIG_DEFAULT");
    EXPECT_EQ(TweakProperties::GetUInt32("CXP::CommandAckTimeout"), 300u);
    EXPECT_FALSE(TweakProperties::GetBool("CXP::UseConnectionConfigDefault"));

    const auto userFile = directory / "vexo" / "rt.conf";
    nox_test::WriteFile(userFile, "[CXP]\nCommandAckTimeout = 500\nUseConnectionConfigDefault = yes\n");
    EXPECT_EQ(TweakProperties::GetUInt32("CXP::CommandAckTimeout"), 500u);
    EXPECT_TRUE(TweakProperties::GetBool("CXP::UseConnectionConfigDefault"));

    nox_test::WriteFile(userFile, "[CXP]\nCommandAckTimeout = 650\n");
    EXPECT_EQ(TweakProperties::GetUInt32("CXP::CommandAckTimeout"), 650u);
    EXPECT_FALSE(TweakProperties::GetBool("CXP::UseConnectionConfigDefault"));

    std::filesystem::remove(userFile);
    platform::SetEnvironment("VEXO_NOX_SYNC_MONITOR_INITIAL_WAIT_IN_MS", "0");
    EXPECT_EQ(TweakProperties::GetInt32("NOX::SyncMonitorInitialWaitInMs"), 0);
    EXPECT_EQ(TweakProperties::GetUInt32("CXP::CommandAckTimeout"), 300u);
}
