#include "settings/TweakProperties.h"

#include <locale>
#include <sstream>
#include <stdexcept>
#include <system_error>
#include <type_traits>

#include "logging/LoggerNames.h"
#include "logging/Logging.h"
#include "logging/Record.h"
#include "platform/Environment.h"
#include "platform/InstallationFolder.h"

namespace vexo::templates::platform {

namespace {

constexpr const char *kSettingsFileName = "rt.conf";

std::optional<std::string> NonEmptyEnvironment(const char *name) {
    std::optional<std::string> value = GetEnvironment(name);
    if (value && value->empty()) return std::nullopt;
    return value;
}

std::optional<std::filesystem::path> UserSettingsFolder() {
    if (auto config = NonEmptyEnvironment("XDG_CONFIG_HOME")) return std::filesystem::path(*config) / "vexo";
    if (auto home = NonEmptyEnvironment("HOME")) return std::filesystem::path(*home) / ".config" / "vexo";
    return std::nullopt;
}

// Formatted stream extraction of a decimal number, in the classic locale.
template <class Number>
std::optional<Number> ExtractNumber(const std::string &text) {
    std::istringstream in(text);
    in.imbue(std::locale::classic());
    Number value{};
    in >> value;
    if (in.fail() || in.bad()) return std::nullopt;
    return value;
}

template <class Value>
const char *ValueKind() {
    return std::is_signed_v<Value> ? "a signed 32-bit number" : "an unsigned 32-bit number";
}

std::string FileSource(const char *kind, const std::optional<std::filesystem::path> &path) {
    return std::string(kind) + " '" + (path ? path->string() : std::string()) + "'";
}

// A value that did not apply is easily taken for one that did; the record says which source lost and why.
void LogRefusedText(const std::string &key, const std::string &source, const std::string &text, const char *kind) {
    using namespace tools::logging;
    WriteRecord(Logging::Instance()->GetLogger(names::kTweakProperties), kLevelWarning, {},
                "Ignoring runtime setting " + key + " from " + source + ": '" + text + "' is not " + kind);
}

bool StartsWithMinus(const std::string &text) {
    const std::size_t first = text.find_first_not_of(" \t\r\n\v\f");
    return first != std::string::npos && text[first] == '-';
}

}  // namespace

std::optional<std::filesystem::path> UserSettingsFilePath() {
    const std::optional<std::filesystem::path> folder = UserSettingsFolder();
    if (!folder) return std::nullopt;
    std::error_code error;
    std::filesystem::create_directories(*folder, error);
    if (!std::filesystem::is_directory(*folder, error)) return std::nullopt;
    return *folder / kSettingsFileName;
}

std::optional<std::filesystem::path> InstallationSettingsFilePath() {
    const std::optional<std::string> &folder = InstallationFolder();
    if (!folder) return std::nullopt;
    // The folder may be "" (the root), so join as text.
    return std::filesystem::path(*folder + "/" + kSettingsFileName);
}

std::optional<int32_t> ParseInt32Setting(const std::string &text) { return ExtractNumber<int32_t>(text); }

std::optional<uint32_t> ParseUInt32Setting(const std::string &text) {
    // Extraction would wrap "-5" around to 4294967291, a timeout of seven weeks.
    if (StartsWithMinus(text)) return std::nullopt;
    return ExtractNumber<uint32_t>(text);
}

std::optional<bool> ParseBoolSetting(const std::string &text) {
    const std::string upper = SettingsKey(text);
    return upper == "YES" || upper == "TRUE" || upper == "ON" || upper == "1";
}

TweakProperties::TweakProperties() : TweakProperties(UserSettingsFilePath(), InstallationSettingsFilePath()) {}

TweakProperties::TweakProperties(std::optional<std::filesystem::path> userFile,
                                 std::optional<std::filesystem::path> installationFile) {
    userFile_.path = std::move(userFile);
    installationFile_.path = std::move(installationFile);
}

int32_t TweakProperties::GetInt32(const std::string &key) { return TweakProperties().LookupInt32(key); }
uint32_t TweakProperties::GetUInt32(const std::string &key) { return TweakProperties().LookupUInt32(key); }
bool TweakProperties::GetBool(const std::string &key) { return TweakProperties().LookupBool(key); }

int32_t TweakProperties::LookupInt32(const std::string &key) { return Lookup<int32_t>(key, ParseInt32Setting); }
uint32_t TweakProperties::LookupUInt32(const std::string &key) { return Lookup<uint32_t>(key, ParseUInt32Setting); }
bool TweakProperties::LookupBool(const std::string &key) { return Lookup<bool>(key, ParseBoolSetting); }

template <class Value>
Value TweakProperties::Lookup(const std::string &key, std::optional<Value> (*parse)(const std::string &)) {
    const TweakPropertyRow &row = FindRow(key);
    const std::string storedKey = SettingsKey(key);
    // A text that does not parse is logged and passed over for the next source.
    const auto parsed = [&](const std::optional<std::string> &text, const std::string &source) -> std::optional<Value> {
        if (!text) return std::nullopt;
        const std::optional<Value> value = parse(*text);
        if (!value) LogRefusedText(key, source, *text, ValueKind<Value>());
        return value;
    };
    if (auto value = parsed(FileValue(userFile_, storedKey), FileSource("the user settings file", userFile_.path)))
        return *value;
    if (auto value = parsed(FileValue(installationFile_, storedKey),
                            FileSource("the installation settings file", installationFile_.path)))
        return *value;
    if (row.environmentVariable[0] != '\0') {
        const std::string source = std::string("the environment variable ") + row.environmentVariable;
        if (auto value = parsed(GetEnvironment(row.environmentVariable), source)) return *value;
    }
    if (auto value = parsed(std::string(row.defaultValue), "the default")) return *value;
    throw std::runtime_error("TweakProperties: No valid value found for property '" + key + "'");
}

const TweakPropertyRow &TweakProperties::FindRow(const std::string &key) {
    std::lock_guard<std::mutex> lock(indexMutex_);
    if (index_.empty()) {
        for (const TweakPropertyRow *row = kTweakPropertyTable; row->key != nullptr; ++row)
            index_.emplace(row->key, row);
    }
    const auto found = index_.find(key);
    if (found == index_.end())
        throw std::runtime_error("TweakProperties: Unknown property requested: '" + key + "'");
    return *found->second;
}

std::optional<std::string> TweakProperties::FileValue(LazyFile &file, const std::string &storedKey) {
    RecursiveMutex::Guard guard(file.mutex);
    if (!file.loaded) {
        if (file.path) file.settings = ReadSettingsFile(*file.path);
        file.loaded = true;
    }
    const auto found = file.settings.find(storedKey);
    if (found == file.settings.end()) return std::nullopt;
    return found->second;
}

}  // namespace vexo::templates::platform
