#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include "LogFile.h"
#include "RelayConfiguration.h"
#include "TempDirectory.h"
#include "logging/Logging.h"
#include "logging/RelayInterface.h"

using vexo::relay::RelayConfiguration;

namespace {

const RelayDescriptor *LoadRelay() {
    void *library = ::dlopen(RELAY_PATH, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) return nullptr;
    return static_cast<const RelayDescriptor *>(::dlsym(library, RELAY_DESCRIPTOR_SYMBOL));
}

// The relay, set to write at the given levels to the file.
const RelayDescriptor *RelayWritingTo(const std::filesystem::path &file, const char *levels) {
    ::setenv("VEXO_LOG", levels, 1);
    ::setenv("VEXO_LOG_FILE", file.c_str(), 1);
    return LoadRelay();
}

}  // namespace

TEST(RelayConfiguration, ParsesDefaultAndPrefixItems) {
    RelayConfiguration empty = RelayConfiguration::Parse("");
    EXPECT_EQ(empty.ThresholdFor("vexo.genicam.lib"), 7u);

    RelayConfiguration configuration = RelayConfiguration::Parse(" 5 , vexo.genicam=3,vexo.genicam.CxpController=1");
    EXPECT_TRUE(configuration.rejectedItems.empty());
    EXPECT_EQ(configuration.ThresholdFor("vexo.core.GenICamManager"), 5u);
    EXPECT_EQ(configuration.ThresholdFor("vexo.genicam.lib"), 3u);
    // The longest matching prefix wins, wherever it stands in the list.
    EXPECT_EQ(configuration.ThresholdFor("vexo.genicam.CxpController"), 1u);
    EXPECT_EQ(RelayConfiguration::Parse("a.b=1,a=4").ThresholdFor("a.b.c"), 1u);

    RelayConfiguration bad = RelayConfiguration::Parse("loud,x=,=3,y=9,2");
    EXPECT_EQ(bad.rejectedItems, (std::vector<std::string>{"loud", "x=", "=3", "y=9"}));
    EXPECT_EQ(bad.defaultThreshold, 2u);
}

TEST(Relay, WritesRecordsOfEveryLevelToTheFileWithTheirLoggerName) {
    nox_test::TempDirectory directory;
    const auto file = directory / "relay.log";
    nox_test::WriteFile(file, "earlier line\n");
    const RelayDescriptor *relay = RelayWritingTo(file, "1");
    ASSERT_NE(relay, nullptr);

    vexo::tools::logging::Logging logging;
    logging.AttachRelay(relay);
    auto *library = logging.GetLogger("vexo.genicam.lib");
    auto *controller = logging.GetLogger("vexo.genicam.CxpController");
    EXPECT_NE(library, controller);
    for (uint32_t level = 1; level <= 5; ++level) {
        ASSERT_TRUE(library->IsEnabled(level));
        library->Write(level, "library record " + std::to_string(level));
    }
    controller->Write(3, "controller record");

    EXPECT_EQ(nox_test::ReadFile(file).rfind("earlier line\n", 0), 0u) << "the file is appended to";
    std::vector<std::string> written;
    for (const nox_test::LogLine &line : nox_test::ReadLogLines(file))
        written.push_back(line.level + " " + line.logger + ": " + line.text);
    EXPECT_EQ(written, (std::vector<std::string>{
                           "trace vexo.genicam.lib: library record 1", "detail vexo.genicam.lib: library record 2",
                           "info vexo.genicam.lib: library record 3", "warning vexo.genicam.lib: library record 4",
                           "error vexo.genicam.lib: library record 5",
                           "info vexo.genicam.CxpController: controller record"}));
}

TEST(Relay, PrefixLevelsLetOnlyTheirLoggersThrough) {
    nox_test::TempDirectory directory;
    const auto file = directory / "relay.log";
    const RelayDescriptor *relay = RelayWritingTo(file, "4,vexo.genicam.lib=2");
    ASSERT_NE(relay, nullptr);

    vexo::tools::logging::Logging logging;
    logging.AttachRelay(relay);
    auto *library = logging.GetLogger("vexo.genicam.lib");
    auto *board = logging.GetLogger("vexo.genicam.NOXBoardInterface");
    for (auto *logger : {library, board})
        if (logger->IsEnabled(2)) logger->Write(2, "detail record");
    EXPECT_TRUE(board->IsEnabled(4));
    EXPECT_FALSE(board->IsEnabled(3));

    const auto lines = nox_test::ReadLogLines(file);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].logger, "vexo.genicam.lib");
}

TEST(Relay, AnUnparsableValueIsReportedOnceAndIgnored) {
    ::setenv("VEXO_LOG", "chatty,vexo.genicam.lib=3", 1);
    ::unsetenv("VEXO_LOG_FILE");
    const RelayDescriptor *relay = LoadRelay();
    ASSERT_NE(relay, nullptr);
    testing::internal::CaptureStderr();
    {
        vexo::tools::logging::Logging first;
        first.AttachRelay(relay);
        EXPECT_TRUE(first.GetLogger("vexo.genicam.lib")->IsEnabled(3));
        EXPECT_FALSE(first.GetLogger("vexo.genicam.other")->IsEnabled(5));
    }
    {
        vexo::tools::logging::Logging second;
        second.AttachRelay(relay);
    }
    const std::string errors = testing::internal::GetCapturedStderr();
    const size_t first = errors.find("'chatty'");
    ASSERT_NE(first, std::string::npos) << errors;
    EXPECT_EQ(errors.find("'chatty'", first + 1), std::string::npos) << errors;
}
