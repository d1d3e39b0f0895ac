#include <gtest/gtest.h>

#include <map>
#include <string>

#include "platform/InstallationFolder.h"

using vexo::templates::platform::FindInstallationFolder;

namespace {

struct FakeEnvironment {
    std::map<std::string, std::string> values;
    std::optional<std::string> operator()(const char *name) const {
        auto found = values.find(name);
        if (found == values.end()) return std::nullopt;
        return found->second;
    }
};

}  // namespace

// The build tree found as the installation of its test programs: every road test, which loads the
// simulator from <build>/lib, and TweakPropertiesTest's installation settings file.
TEST(InstallationFolder, NearestMarkerFolderAboveTheModuleWins) {
    const FakeEnvironment none;
    EXPECT_EQ(FindInstallationFolder("/opt/vexo/lib/libnox_genicam.so", none), "/opt/vexo");
    EXPECT_EQ(FindInstallationFolder("/opt/vexo/BIN/tools/test", none), "/opt/vexo");
    EXPECT_EQ(FindInstallationFolder("/opt/vexo/hardware applets/x.so", none), "/opt/vexo");
    // The nearest match counts, not the outermost one.
    EXPECT_EQ(FindInstallationFolder("/srv/lib/ci/build/bin/test", none), "/srv/lib/ci/build");
    // Doubled separators are cut from the end of the folder.
    EXPECT_EQ(FindInstallationFolder("/opt/vexo//lib/x.so", none), "/opt/vexo");
    // A library folder right below the root makes the root the installation ("" + "/lib/...").
    EXPECT_EQ(FindInstallationFolder("/lib/x.so", none), "");
    // The file name itself is not a folder.
    EXPECT_EQ(FindInstallationFolder("/opt/vexo/lib", none), std::nullopt);
    // Names that merely contain a marker do not match.
    EXPECT_EQ(FindInstallationFolder("/opt/library/binary/x.so", none), std::nullopt);
}

TEST(InstallationFolder, FallsBackToTheEnvironmentVariablesInOrder) {
    FakeEnvironment environment;
    environment.values["VEXODIR5"] = "/from/vexodir5/";
    EXPECT_EQ(FindInstallationFolder("/home/user/app/x.so", environment), "/from/vexodir5");
    environment.values["VEXODIR5_64"] = "/from/vexodir5_64///";
    EXPECT_EQ(FindInstallationFolder("/home/user/app/x.so", environment), "/from/vexodir5_64");
    // The module path wins over both.
    EXPECT_EQ(FindInstallationFolder("/opt/vexo/lib/x.so", environment), "/opt/vexo");
    // An empty variable names no folder; the next one is tried.
    environment.values["VEXODIR5_64"] = "";
    EXPECT_EQ(FindInstallationFolder("/home/user/app/x.so", environment), "/from/vexodir5");
    EXPECT_EQ(FindInstallationFolder("/home/user/app/x.so", FakeEnvironment{}), std::nullopt);
}

TEST(InstallationFolder, OverlongTextsAreBounded) {
    FakeEnvironment environment;
    environment.values["VEXODIR5_64"] = "/env";
    // A module path longer than 1023 characters is not walked.
    const std::string deep = "/opt/lib/" + std::string(1100, 'a') + "/x.so";
    EXPECT_EQ(FindInstallationFolder(deep, environment), "/env");
    // A variable is taken up to 1024 bytes.
    environment.values["VEXODIR5_64"] = "/" + std::string(2000, 'b');
    EXPECT_EQ(FindInstallationFolder("/home/x.so", environment)->size(), 1024u);
}
