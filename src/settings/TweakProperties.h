#pragma once
#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "platform/RecursiveMutex.h"
#include "settings/SettingsFile.h"
#include "settings/TweakPropertyTable.h"

namespace vexo::templates::platform {

// Runtime settings. A value is resolved, first source that parses wins, from:
//   1. the user file      $XDG_CONFIG_HOME/vexo/rt.conf (or $HOME/.config/vexo/rt.conf),
//   2. the installation file <installation folder>/rt.conf,
//   3. the row's environment variable,
//   4. the row's default.
// Keys are matched exactly against the property table; inside files, sections
// and names are case-insensitive and the last of two equal keys wins
// (see SettingsFile.h). Nothing is cached between objects: each static lookup
// builds its own object, so a changed file or variable is seen by the next one.
// A source whose text does not parse is passed over with a level-4 record of
// logger "vexo.templates.platform.TweakProperties" naming key, source and text.
//
// Failures (std::runtime_error):
//   "TweakProperties: Unknown property requested: '<key>'"
//   "TweakProperties: No valid value found for property '<key>'"
class TweakProperties {
public:
    // The files at their usual places.
    TweakProperties();
    // Explicit files; no path means no such file.
    TweakProperties(std::optional<std::filesystem::path> userFile,
                    std::optional<std::filesystem::path> installationFile);
    virtual ~TweakProperties() = default;

    TweakProperties(const TweakProperties &) = delete;
    TweakProperties &operator=(const TweakProperties &) = delete;

    // Each builds a TweakProperties with the usual files and looks the key up.
    static int32_t GetInt32(const std::string &key);
    static uint32_t GetUInt32(const std::string &key);
    // Never throws for a known key: any text but yes/true/on/1 reads as false.
    static bool GetBool(const std::string &key);

    int32_t LookupInt32(const std::string &key);
    uint32_t LookupUInt32(const std::string &key);
    bool LookupBool(const std::string &key);

private:
    // A settings file read on first use.
    struct LazyFile {
        std::optional<std::filesystem::path> path;
        RecursiveMutex mutex;
        bool loaded = false;
        SettingsMap settings;
    };

    template <class Value>
    Value Lookup(const std::string &key, std::optional<Value> (*parse)(const std::string &));
    const TweakPropertyRow &FindRow(const std::string &key);
    static std::optional<std::string> FileValue(LazyFile &file, const std::string &upperKey);

    LazyFile userFile_;
    LazyFile installationFile_;
    std::mutex indexMutex_;
    std::map<std::string, const TweakPropertyRow *> index_;
};

// $XDG_CONFIG_HOME/vexo/rt.conf, else $HOME/.config/vexo/rt.conf; the folder is
// created when missing. None when neither variable is set or the folder cannot be made.
std::optional<std::filesystem::path> UserSettingsFilePath();
// <installation folder>/rt.conf; none without an installation folder.
std::optional<std::filesystem::path> InstallationSettingsFilePath();

// Value parsers; no value when the text does not parse.
// Integers: leading white space skipped, decimal digits, text after the number ignored.
// An unsigned value refuses a minus sign instead of wrapping it around.
std::optional<int32_t> ParseInt32Setting(const std::string &text);
std::optional<uint32_t> ParseUInt32Setting(const std::string &text);
std::optional<bool> ParseBoolSetting(const std::string &text);

}  // namespace vexo::templates::platform
