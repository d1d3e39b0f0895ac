// Topology files and texts, defaults, board identity and the libraries as the system loads them.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "SimHarness.h"

using namespace simtest;
using SimTopology = SimTest;

namespace {

std::string WriteTemp(const std::string &name, const std::string &text) {
    const std::string path = testing::TempDir() + "/" + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

const char *kUnknownKeyTopology = R"({"boards": [{"model": "cxp4-c", "cameras": [{"links": [0], "colour": "red"}]}]})";
const char *kOverflowTopology = R"({"boards": [{"model": "cxp4-c", "serial": 1e400}]})";

}  // namespace

// Not a fixture case: the simulator must first start in the child, from the file.
TEST(SimTopologyFile, AnUnknownKeyInTheConfigFileIsReportedOnceAndNoBoardIsServed) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::string path = WriteTemp("unknown-key.json", kUnknownKeyTopology);
    EXPECT_EXIT(
        {
            setenv("VEXO_SIM_CONFIG", path.c_str(), 1);
            const bool none = !OpenGrabber(0) && !OpenGrabber(0) && QueryBoardInfo(0, "board/type") == -1;
            std::exit(none ? 0 : 1);
        },
        testing::ExitedWithCode(0), "^vexosim: [^\n]*unknown key \"boards\\[0\\]\\.cameras\\[0\\]\\.colour\"[^\n]*\n$");
}

TEST_F(SimTopology, RejectedTopologiesNameTheProblemAndServeNoBoard) {
    const std::pair<const char *, const char *> cases[] = {
        {kUnknownKeyTopology, "unknown key \"boards[0].cameras[0].colour\""},
        {R"({"boards": [{"model": "cxp8-z"}]})", "unknown board model \"cxp8-z\""},
        {R"({"boards": [{"model": "cl2-g1", "applet": {"port_config": "wide"}}]})", "\"boards[0].applet.port_config\": expected \"base\""},
        {R"({"boards": [{"model": "cl2-g2", "power_on_at_start": false}]})", "\"boards[0].power_on_at_start\": a Camera Link board"},
        {R"({"boards": [{"model": "cl2-g1", "timing": {"line": "no"}}]})", "\"boards[0].timing.line\": expected true or false"},
        {R"({"boards": [{"model": "cl2-g1", "cameras": [{"bauds": [9600, 12345]}]}]})", "\"boards[0].cameras[0].bauds[1]\": not a serial line rate: 12345"},
        {R"({"boards": [{"model": "cl2-g1", "cameras": [{"bauds": [19200]}]}]})", "\"boards[0].cameras[0].bauds\": the camera starts at 9600"},
        {R"({"boards": [{"model": "cl2-g1", "cameras": [{"bauds": [9600], "baud": 38400}]}]})", "\"boards[0].cameras[0].baud\": not one of the camera's bauds"},
        {R"({"boards": [{"model": "cl2-g1", "cameras": [{"response_time": 0}]}]})", "\"boards[0].cameras[0].response_time\": value 0 outside 1 to 60000"},
        {R"({"boards": [{"model": "cl2-g1", "cameras": [{"power": "external"}]}]})", "\"boards[0].cameras[0].power\": a Camera Link camera"},
        {R"({"boards": [{"model": "cl2-g1", "cameras": [{"links": [1, 0]}]}]})", "\"boards[0].cameras[0].links\": a camera on both connectors"},
        {R"({"boards": [{}]})", "\"boards[0].model\": missing"},
        {R"({"boards": [{"model": "cxp4-c", "cameras": [{"links": [0, 1]}, {"links": [1]}]}]})", "already carries another camera's link"},
        {R"({"boards": [{"model": "cxp4-c", "cameras": [{"links": [0], "speeds": [1250], "default_speed": 3125}]}]})", "not one of the camera's speeds"},
        {R"({"boards": [{"model": "cxp4-c", "cameras": [{"links": [0], "discovery_speed": 3000}]}]})", "not a bit rate: 3000"},
        {R"({"boards": [{"model": "cxp4-c", "applet": {"rx_status": true}}]})", "only a cxp2-b applet has it"},
        {R"({"boards": [{"model": "cxp4-c", "applet": {"omit_registers": ["CxpNothing_"]}}]})", "no applet register is named \"CxpNothing_\""},
        {R"({"boards": [{"model": "cxp4-c", "applet": {"operators": [[0, 1], [1]]}}]})", "applet port 1 belongs to two operators"},
        {R"({"boards": [{"model": "cxp4-c", "cameras": [{"links": [0], "vendor": "a vendor name far longer than thirty-two bytes"}]}]})", "longer than 32 bytes"},
        {R"({"boards": [{"model": "gige4", "timing": "fast"}]})", "\"boards[0].timing\": expected true, false or an object"},
        {R"({"boards": [{"model": "cxp4-c", "timing": {"lock_us": -5}}]})", "\"boards[0].timing.lock_us\": expected a non-negative integer"},
        {R"({"boards": [ )", "not valid JSON"},
        {kOverflowTopology, "not valid JSON: [json.exception.out_of_range.406] number overflow parsing '1e400'"},
    };
    for (const auto &[json, message] : cases) {
        ExpectRejected(json, message);
        EXPECT_EQ(OpenGrabber(0), nullptr) << json;
    }
    ASSERT_EQ(vexosim_load_topology(nullptr), 0);
    Session board;
    EXPECT_EQ(QueryBoardInfo(board.Device(), "board/type"), 0x0C41);
}

TEST_F(SimTopology, DefaultsFillWhatATopologyLeavesOut) {
    LoadTopology(R"({"boards": [
        // comments are allowed
        {"model": "cxp2-b", "cameras": [{"links": [1, 0], "speeds": [1250, 5000]}]},
        {"model": "cxp4-a", "serial": 77, "firmware": [5, 1]},
        {"model": "gige4"}]})");
    Session b(0), a(1), plain(2);
    EXPECT_EQ(OpenGrabber(3), nullptr);
    EXPECT_EQ(QueryBoardInfo(b.Device(), "board/type"), 0x0B21);
    EXPECT_EQ(QueryBoardInfo(b.Device(), "board/serial"), 1000);
    EXPECT_EQ(QueryBoardInfo(b.Device(), "board/colour"), -1);
    EXPECT_EQ(QueryBoardInfo(a.Device(), "board/serial"), 77);
    EXPECT_EQ(QueryBoardInfo(a.Device(), "firmware/major"), 5);
    EXPECT_EQ(QueryBoardIndex(a.Device(), 0), 1u);
    EXPECT_EQ(QueryBoardInfo(plain.Device(), "board/type"), 0x0E41);
    EXPECT_EQ(FindAppletRegister(plain.Applet(), "StreamPacketSize"), 0) << "no CoaXPress applet";

    // The camera's master link is on port 1; its defaults come from its speeds and links.
    EXPECT_EQ(b.ReadCamera(1, bootstrap::kDeviceConnectionId), 0u);
    EXPECT_EQ(b.ReadCamera(0, bootstrap::kDeviceConnectionId), 1u);
    EXPECT_EQ(b.ReadCamera(1, bootstrap::kConnectionConfigDefault), ConnectionConfig(2, 5000));

    uint32_t rx = 0, tx = 0;
    const auto open = reinterpret_cast<int32_t (*)(uint64_t, uint32_t, uint32_t, uint32_t *, uint32_t *)>(
        dlsym(RTLD_DEFAULT, "OpenSerialPort"));
    ASSERT_NE(open, nullptr);
    EXPECT_EQ(open(b.Device(), 0, 9600, &rx, &tx), -61) << "a CoaXPress board has no serial ports";
}

// Libraries loaded by path (as the system loads an installation) are the same
// simulator: the recording hardware library of the controller tests forwards
// to one loaded by path, and those tests read the counters of the linked one.
TEST_F(SimTopology, ToolPrintsTheTopologyInForceOrWhyItIsRejected) {
    const std::string good = WriteTemp("two-boards.json", R"({"boards": [
        {"model": "cxp2-b", "applet": {"rx_status": true}, "cameras": [{"links": [0, 1], "model": "VX-2L"}]},
        {"model": "gige4", "timing": {"ack_us": 40, "counters_survive_reset": true}}]})");
    const auto [status, output] = RunCommand("VEXO_SIM_CONFIG=" + good + " " VEXOSIM_TOOL " topology");
    EXPECT_EQ(status, 0) << output;
    for (const char *line : {"board 0: cxp2-b (type 0x0B21, CoaXPress, 2 ports, family B, transceiver interface 6)",
                             "camera 0: Vexo Vision VX-2L", "links: port 0 (master), port 1 (extension 1)",
                             "timing: lock 200 us, answers after 15 us, ready after 50 us, wire time on",
                             "board 1: gige4 (type 0x0E41, none, 4 ports)",
                             "timing: lock 200 us, answers after 40 us, ready after 50 us, wire time on, serial line "
                             "time on, error counters survive control core resets"})
        EXPECT_NE(output.find(line), std::string::npos) << line << "\n" << output;

    for (const auto &[json, message] : {std::pair{kUnknownKeyTopology, "unknown key \"boards[0].cameras[0].colour\""},
                                        std::pair{kOverflowTopology, "number overflow parsing '1e400'"}}) {
        const std::string bad = WriteTemp("rejected-by-the-tool.json", json);
        const auto [badStatus, badOutput] = RunCommand("VEXO_SIM_CONFIG=" + bad + " " VEXOSIM_TOOL " topology");
        EXPECT_EQ(badStatus, 1) << "rejected, not aborted";
        EXPECT_NE(badOutput.find(message), std::string::npos) << badOutput;
    }

    const auto [defaultStatus, defaultOutput] = RunCommand("VEXO_SIM_CONFIG= " VEXOSIM_TOOL " topology");
    EXPECT_EQ(defaultStatus, 0);
    EXPECT_NE(defaultOutput.find("topology: built-in default"), std::string::npos) << defaultOutput;
}
