// noxcam commands of several processes on one shared simulator instance, as a user runs them one
// after the other or in two terminals.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "SimInstanceChoice.h"
#include "TempDirectory.h"
#include "ToolProcess.h"

namespace nox_test {
namespace {

class NoxcamShared : public ::testing::Test {
protected:
    void SetUp() override { nox_test_own_sim_instance("noxcam"); }

    ToolRun Noxcam(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), "--fast");
        ToolLaunch launch{NOXCAM_PROGRAM, std::move(arguments), {}, std::chrono::seconds(60)};
        launch.environment["VEXO_SIM_CONFIG"] = "";
        launch.environment["XDG_RUNTIME_DIR"] = folder_.Path().string();
        // Sanitized builds: the relay's thread-locals confuse LeakSanitizer at exit.
        const char *asan = std::getenv("ASAN_OPTIONS");
        launch.environment["ASAN_OPTIONS"] = std::string(asan ? asan : "") + ":intercept_tls_get_addr=0";
        return RunTool(launch);
    }
    ToolRun Vexosim(std::vector<std::string> arguments) {
        return RunTool({VEXOSIM_PROGRAM, std::move(arguments), {{"VEXO_SIM_CONFIG", ""}}, std::chrono::seconds(60)});
    }
    // The status lines of the ports that carry links: cable, power, lock, error count, reset, downlink rate.
    std::string LinkPorts() {
        const std::string status = Vexosim({"status"}).out;
        std::string lines;
        for (const char *port : {"  port 0:", "  port 1:", "  port 2:"}) {
            const size_t at = status.find(port);
            if (at != std::string::npos) lines += status.substr(at, status.find('\n', at) - at + 1);
        }
        return lines;
    }
    // The number after `key` in the status of a port (its line or the traffic line below it).
    uint64_t PortValue(uint32_t port, const std::string &key) {
        const std::string status = Vexosim({"status"}).out;
        const size_t at = status.find("  port " + std::to_string(port) + ":");
        const size_t value = at == std::string::npos ? at : status.find(key + " ", at);
        return value == std::string::npos ? 0 : std::stoull(status.substr(value + key.size() + 1));
    }
    template <class Condition>
    bool Eventually(Condition condition) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!condition())
            if (std::chrono::steady_clock::now() > deadline) return false;
        return true;
    }

    TempDirectory folder_;
};

TEST_F(NoxcamShared, AValueSetByOneCommandIsReadByTheNextAndAttachingLeavesTheLinksAlone) {
    ASSERT_EQ(Noxcam({"scan"}).exitCode, 0);
    // Errors that a link reset would clear: noise for a moment, then the count holds still.
    ASSERT_EQ(Vexosim({"noise", "0", "0", "50"}).exitCode, 0);
    ASSERT_TRUE(Eventually([&] { return PortValue(0, "errors") > 0; }));
    ASSERT_EQ(Vexosim({"noise", "0", "0", "0"}).exitCode, 0);
    const std::string before = LinkPorts();

    EXPECT_EQ(Noxcam({"set", "Width=1024"}).exitCode, 0);
    EXPECT_EQ(Noxcam({"get", "Width"}).out, "1024\n");
    EXPECT_EQ(LinkPorts(), before) << "no link was reset or set up anew";
}

TEST_F(NoxcamShared, MonitorReportsTheUnplugAnotherProcessMakesOnce) {
    ASSERT_EQ(Noxcam({"scan"}).exitCode, 0);
    const uint64_t commands = PortValue(2, "commands");
    ToolRun monitor;
    std::thread watcher([&] { monitor = Noxcam({"monitor", "--seconds", "3", "--json"}); });
    // Watching once it has read the second camera's link settings.
    const bool attached = Eventually([&] { return PortValue(2, "commands") >= commands + 3; });
    EXPECT_EQ(Vexosim({"plug", "0", "2", "off"}).exitCode, 0);
    watcher.join();
    ASSERT_TRUE(attached);
    EXPECT_EQ(monitor.exitCode, 0) << monitor.err;
    size_t losses = 0;
    for (size_t at = monitor.out.find("\"link lost\""); at != std::string::npos; at = monitor.out.find("\"link lost\"", at + 1))
        ++losses;
    EXPECT_EQ(losses, 1u) << monitor.out;
    EXPECT_NE(monitor.out.find("\"camera\":1"), std::string::npos) << monitor.out;
}

}  // namespace
}  // namespace nox_test
