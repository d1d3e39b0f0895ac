#include <gtest/gtest.h>
#include <stdlib.h>

#include <map>
#include <string>

#include "genicam/GenApiEnvironment.h"
#include "nox_genicam.h"
#include "platform/Environment.h"

using vexo::genicam::GenApiEnvironment;
using vexo::genicam::GenApiEnvironmentPaths;
using vexo::genicam::PathWithFolderFirst;
using vexo::templates::platform::GetEnvironment;

namespace {

GenApiEnvironmentPaths Compute(std::optional<std::string> installation, std::map<std::string, std::string> variables) {
    return GenApiEnvironmentPaths::Compute(installation, [&](const char *name) -> std::optional<std::string> {
        auto found = variables.find(name);
        if (found == variables.end()) return std::nullopt;
        return found->second;
    });
}

TEST(GenApiEnvironment, PathsComeFromTheInstallationFolderAndTheCacheHome) {
    auto paths = Compute("/opt/vexo", {{"XDG_CACHE_HOME", "/var/cache/me"}, {"HOME", "/home/me"}});
    EXPECT_EQ(paths.root, "/opt/vexo/genicam");
    EXPECT_EQ(paths.cache, "/var/cache/me/GenICam/xml/cache");
    EXPECT_EQ(paths.logConfig, "/opt/vexo/genicam/log/config/VexoLogging.properties");
    EXPECT_EQ(paths.binFolder, "/opt/vexo/genicam/bin/Linux64_x64");

    EXPECT_EQ(Compute("/opt/vexo", {{"HOME", "/home/me"}}).cache, "/home/me/.cache/GenICam/xml/cache");
    EXPECT_EQ(Compute("/opt/vexo", {{"XDG_CACHE_HOME", ""}, {"HOME", "/home/me"}}).cache,
              "/home/me/.cache/GenICam/xml/cache");
    EXPECT_EQ(Compute("/opt/vexo", {}).cache, "/opt/vexo/genicam");

    // Without an installation folder only what can be known is set.
    paths = Compute(std::nullopt, {});
    EXPECT_FALSE(paths.root);
    EXPECT_FALSE(paths.cache);
    EXPECT_FALSE(paths.logConfig);
    EXPECT_FALSE(paths.binFolder);
}

TEST(GenApiEnvironment, VexoVariablesReplaceTheComputedPaths) {
    const auto paths = Compute("/opt/vexo", {{"VEXO_GENICAM_ROOT", "/srv/genicam"},
                                             {"VEXO_GENICAM_CACHE_V3_1", "/tmp/cache"},
                                             {"VEXO_GENICAM_LOG_CONFIG_V3_1", "/etc/log.properties"},
                                             {"HOME", "/home/me"}});
    EXPECT_EQ(paths.root, "/srv/genicam");
    EXPECT_EQ(paths.cache, "/tmp/cache");
    EXPECT_EQ(paths.logConfig, "/etc/log.properties");
    EXPECT_EQ(paths.binFolder, "/srv/genicam/bin/Linux64_x64");
    EXPECT_EQ(Compute(std::nullopt, {{"VEXO_GENICAM_ROOT", "/srv/genicam"}}).binFolder,
              "/srv/genicam/bin/Linux64_x64");
}

TEST(GenApiEnvironment, FolderGoesFirstOnPathOnce) {
    EXPECT_EQ(PathWithFolderFirst("/usr/bin:/bin", "/g/bin"), "/g/bin:/usr/bin:/bin");
    EXPECT_EQ(PathWithFolderFirst("/g/bin:/usr/bin", "/g/bin"), std::nullopt);
    EXPECT_EQ(PathWithFolderFirst("/g/bin", "/g/bin"), std::nullopt);
    EXPECT_EQ(PathWithFolderFirst("/g/bin64:/usr/bin", "/g/bin"), "/g/bin:/g/bin64:/usr/bin");
    // No empty element, which would search the working directory.
    EXPECT_EQ(PathWithFolderFirst(std::nullopt, "/g/bin"), "/g/bin");
    EXPECT_EQ(PathWithFolderFirst("", "/g/bin"), "/g/bin");
}

TEST(GenApiEnvironment, BracketSetsVariablesAndRestoresThoseThatWereSet) {
    ::setenv("VEXO_GENICAM_ROOT", "/srv/genicam", 1);
    ::setenv("VEXO_GENICAM_CACHE_V3_1", "/tmp/cache", 1);
    ::setenv("VEXO_GENICAM_LOG_CONFIG_V3_1", "/etc/log.properties", 1);
    ::setenv("GENICAM_ROOT", "/earlier/root", 1);
    ::unsetenv("GENICAM_CACHE_V3_1");
    ::unsetenv("GENICAM_LOG_CONFIG_V3_1");
    ::setenv("PATH", "/usr/bin:/bin", 1);
    GenICamInit();
    {
        GenApiEnvironment environment;
        EXPECT_EQ(GetEnvironment("GENICAM_ROOT"), "/srv/genicam");
        EXPECT_EQ(GetEnvironment("GENICAM_CACHE_V3_1"), "/tmp/cache");
        EXPECT_EQ(GetEnvironment("GENICAM_LOG_CONFIG_V3_1"), "/etc/log.properties");
        EXPECT_EQ(GetEnvironment("PATH"), "/srv/genicam/bin/Linux64_x64:/usr/bin:/bin");
    }
    EXPECT_EQ(GetEnvironment("GENICAM_ROOT"), "/earlier/root");
    EXPECT_EQ(GetEnvironment("GENICAM_CACHE_V3_1"), "/tmp/cache");
    EXPECT_EQ(GetEnvironment("PATH"), "/srv/genicam/bin/Linux64_x64:/usr/bin:/bin");
    { GenApiEnvironment again; }
    EXPECT_EQ(GetEnvironment("PATH"), "/srv/genicam/bin/Linux64_x64:/usr/bin:/bin");
    GenICamDeinit();
}

}  // namespace
