#include "genicam/GenApiEnvironment.h"

#include "logging/LoggerNames.h"
#include "logging/Logging.h"
#include "logging/Record.h"
#include "platform/Environment.h"

namespace vexo::genicam {
namespace {

using templates::platform::GetEnvironment;
using templates::platform::SetEnvironment;

constexpr const char *kRoot = "GENICAM_ROOT";
constexpr const char *kCache = "GENICAM_CACHE_V3_1";
constexpr const char *kLogConfig = "GENICAM_LOG_CONFIG_V3_1";

templates::platform::RecursiveMutex &BracketMutex() {
    static templates::platform::RecursiveMutex mutex;
    return mutex;
}

void LogDetail(const std::string &message) {
    tools::logging::Logger *logger = tools::logging::Logging::Instance()->GetLogger(tools::logging::names::kGenICamManager);
    WriteRecord(logger, tools::logging::kLevelDetail, {}, message);
}

std::optional<std::string> UnderFolder(const std::optional<std::string> &folder, const std::string &relative) {
    if (!folder || folder->empty()) return std::nullopt;
    return *folder + "/" + relative;
}

// A variable's value when it is set and not empty.
std::optional<std::string> Given(const templates::platform::EnvironmentReader &read, const char *name) {
    std::optional<std::string> value = read(name);
    if (value && value->empty()) return std::nullopt;
    return value;
}

std::optional<std::string> DefaultCache(const std::optional<std::string> &installationFolder,
                                        const templates::platform::EnvironmentReader &read) {
    std::optional<std::string> cacheHome = Given(read, "XDG_CACHE_HOME");
    if (!cacheHome) cacheHome = UnderFolder(Given(read, "HOME"), ".cache");
    if (cacheHome) return *cacheHome + "/GenICam/xml/cache";
    return UnderFolder(installationFolder, "genicam");
}

}  // namespace

GenApiEnvironmentPaths GenApiEnvironmentPaths::Compute(const std::optional<std::string> &installationFolder,
                                                       const templates::platform::EnvironmentReader &read) {
    GenApiEnvironmentPaths paths;
    paths.root = Given(read, "VEXO_GENICAM_ROOT");
    if (!paths.root) paths.root = UnderFolder(installationFolder, "genicam");
    paths.cache = Given(read, "VEXO_GENICAM_CACHE_V3_1");
    if (!paths.cache) paths.cache = DefaultCache(installationFolder, read);
    paths.logConfig = Given(read, "VEXO_GENICAM_LOG_CONFIG_V3_1");
    if (!paths.logConfig) paths.logConfig = UnderFolder(installationFolder, "genicam/log/config/VexoLogging.properties");
    paths.binFolder = UnderFolder(paths.root, "bin/Linux64_x64");
    return paths;
}

std::optional<std::string> PathWithFolderFirst(const std::optional<std::string> &path, const std::string &folder) {
    if (!path || path->empty()) return folder;
    const bool folderFirst =
        path->compare(0, folder.size(), folder) == 0 && (path->size() == folder.size() || (*path)[folder.size()] == ':');
    if (folderFirst) return std::nullopt;
    return folder + ":" + *path;
}

GenApiEnvironment::GenApiEnvironment()
    : guard_(BracketMutex()), saved_{{kRoot, GetEnvironment(kRoot)}, {kCache, GetEnvironment(kCache)},
                                     {kLogConfig, GetEnvironment(kLogConfig)}} {
    const GenApiEnvironmentPaths paths = GenApiEnvironmentPaths::Compute(
        templates::platform::InstallationFolder(), [](const char *name) { return GetEnvironment(name); });
    Set(saved_[0], paths.root);
    Set(saved_[1], paths.cache);
    Set(saved_[2], paths.logConfig);
    if (paths.binFolder) PrependToPath(*paths.binFolder);
}

GenApiEnvironment::~GenApiEnvironment() {
    for (const Saved &saved : saved_)
        if (saved.value) SetEnvironment(saved.name, *saved.value);
}

void GenApiEnvironment::Set(Saved &saved, const std::optional<std::string> &value) {
    if (!value) return;
    SetEnvironment(saved.name, *value);
    LogDetail(std::string("setting environment variable ") + saved.name + "=" + *value);
}

void GenApiEnvironment::PrependToPath(const std::string &folder) {
    const std::optional<std::string> path = PathWithFolderFirst(GetEnvironment("PATH"), folder);
    if (!path) return;
    SetEnvironment("PATH", *path);
    LogDetail("prepending '" + folder + "' to PATH");
}

}  // namespace vexo::genicam
