// noxcam run as a process against the virtual frame grabber: what it prints, in text and JSON,
// and how it exits.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <cstdlib>
#include <future>
#include <map>
#include <sstream>
#include <thread>

#include "TempDirectory.h"
#include "ToolProcess.h"

namespace nox_test {
namespace {

using nlohmann::json;

// A 4-port board whose only camera is on port 1: ports 0, 2 and 3 have no cable. A second,
// 2-port board with no camera.
constexpr const char *kOneCableTopology = R"({"boards": [
  {"model": "cxp4-c", "applet": {"operators": [[0], [1], [2], [3]]},
   "cameras": [{"links": [1], "model": "VX-1", "serial": "SN0042", "speeds": [1250, 3125, 6250]}]},
  {"model": "cxp2-b", "serial": 77}]})";

// Each member of `expected` has that value in `actual`, which may hold more.
void ExpectMembers(const json &actual, const char *expected) {
    const json members = json::parse(expected);
    for (const auto &[key, value] : members.items()) EXPECT_EQ(actual.value(key, json()), value) << key;
}

class Noxcam : public ::testing::Test {
protected:
    // Each topology of a test gets a shared simulator instance of its own, used by every command of
    // the test as by every program of a user, and removed at the end.
    void TearDown() override {
        for (const auto &[topology, instance] : instances_) {
            const ToolRun removed =
                RunTool({VEXOSIM_PROGRAM, {"remove"}, {{"VEXO_SIM_INSTANCE", instance}}, std::chrono::seconds(30)});
            // An instance no command built (a rejected topology) is not there to remove.
            if (removed.exitCode != 0) {
                EXPECT_NE(removed.err.find("there is no instance"), std::string::npos) << removed.err;
            }
        }
    }
    std::string Instance(const std::string &topology) {
        auto [found, added] = instances_.try_emplace(topology);
        if (added) {
            static int next = 0;
            found->second = "noxcam-" + std::to_string(::getpid()) + "-" + std::to_string(next++);
        }
        return found->second;
    }
    // Runs noxcam with --fast (waits 0) on the given topology, or the default one.
    ToolRun Run(std::vector<std::string> arguments, const char *topology = nullptr) {
        arguments.insert(arguments.begin(), "--fast");
        return RunRaw(std::move(arguments), topology);
    }
    ToolRun RunRaw(std::vector<std::string> arguments, const char *topology = nullptr) {
        return RunTool(Launch(std::move(arguments), topology));
    }
    ToolLaunch Launch(std::vector<std::string> arguments, const char *topology) {
        ToolLaunch launch{NOXCAM_PROGRAM, std::move(arguments), {}, std::chrono::seconds(60)};
        std::string config;
        if (topology) {
            config = (folder_ / "topology.json").string();
            WriteFile(config, topology);
        }
        launch.environment["VEXO_SIM_CONFIG"] = config;
        launch.environment["VEXO_SIM_INSTANCE"] = Instance(topology ? topology : "");
        // The layout noxcam remembers between runs stays with the test.
        launch.environment["XDG_RUNTIME_DIR"] = folder_.Path().string();
        // Sanitized builds: the relay's thread-locals confuse LeakSanitizer at exit (as in the tests' own programs).
        const char *asan = std::getenv("ASAN_OPTIONS");
        launch.environment["ASAN_OPTIONS"] = std::string(asan ? asan : "") + ":intercept_tls_get_addr=0";
        return launch;
    }
    // A run that must succeed, its stdout parsed as one JSON document.
    json RunJson(std::vector<std::string> arguments, const char *topology = nullptr) {
        arguments.push_back("--json");
        const ToolRun run = Run(std::move(arguments), topology);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.err, "");
        return json::parse(run.out);
    }
    // A run that must fail with one line on stderr naming the status.
    void ExpectFailure(const ToolRun &run, const std::string &what, const std::string &status, int exitCode = 1) {
        EXPECT_EQ(run.exitCode, exitCode) << run.out;
        if (exitCode != 2) {
            EXPECT_EQ(run.out, "");
        }
        EXPECT_EQ(run.err.rfind("noxcam: " + what, 0), 0u) << run.err;
        EXPECT_NE(run.err.find(": " + status + " ("), std::string::npos) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    }
    // A run that must succeed: what it printed.
    std::string Printed(std::vector<std::string> arguments, const char *topology = nullptr) {
        const ToolRun run = Run(std::move(arguments), topology);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        return run.out;
    }
    std::string Path(const std::string &name) const { return (folder_ / name).string(); }

    TempDirectory folder_;
    std::map<std::string, std::string> instances_;  // topology text -> simulator instance
};

// A board with one cable and one without: the boards listed, and unplugged ports hold no camera.
TEST_F(Noxcam, BoardsListsWhatTheBoardLibrariesOfferAndUnpluggedPortsHoldNoCamera) {
    const json boards = RunJson({"boards"}, kOneCableTopology)["boards"];
    ASSERT_EQ(boards.size(), 2u);
    ExpectMembers(boards[1], R"({"model": "cxp2-b", "ports": 2, "serial": 77})");

    EXPECT_EQ(Printed({"boards"}, kOneCableTopology), "BOARD  MODEL   SERIAL  PORTS  FIRMWARE\n"
                                                      "0      cxp4-c  1000    4      3.4\n"
                                                      "1      cxp2-b  77      2      3.4\n");

    // A topology the simulator rejects (it says why on stderr) serves no board: a failure that says
    // so, and a clear failure to open one. A number too large for any type is such a rejection.
    const char *rejected = R"({"boards": [{"model": "cxp4-c", "serial": 1e400}]})";
    const ToolRun none = Run({"boards", "--json"}, rejected), scan = Run({"scan"}, rejected);
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_EQ(none.out, "");
    EXPECT_NE(none.err.find(R"("error":"boards: the board libraries offer no board")"), std::string::npos) << none.err;
    EXPECT_EQ(scan.exitCode, 1);
    EXPECT_TRUE(scan.err.ends_with("\nnoxcam: board 0: the board libraries offer no such board: ERR_BOARD_INIT "
                                   "(-40018): Board initialization error\n")) << scan.err;

    const json oneCable = RunJson({"scan"}, kOneCableTopology);
    ASSERT_EQ(oneCable["cameras"].size(), 1u);
    EXPECT_EQ(oneCable["freeOperators"].size(), 3u);
    ExpectMembers(oneCable["cameras"][0], R"({"slot": 1, "masterPort": 1, "bitRate": 6250})");

    // The first discovered camera is the default; a slot without one is refused by name.
    EXPECT_EQ(Run({"get", "DeviceSerialNumber"}, kOneCableTopology).out, "DeviceSerialNumber = SN0042\n");
    ExpectFailure(Run({"-c", "0", "get", "Width"}, kOneCableTopology), "camera 0: no camera was discovered",
                  "ERR_NO_CAMERA_FOUND");
    // The second board has no cable on any port.
    ExpectFailure(Run({"-b", "1", "get", "Width"}, kOneCableTopology), "discovering cameras on board 1",
                  "ERR_NO_CAMERA_FOUND");
}

TEST_F(Noxcam, ScanListsCamerasLinksAndPlaceholdersOfTheDefaultTopology) {
    const json scan = RunJson({"scan"});
    EXPECT_EQ(scan["board"]["model"], "cxp4-c");
    const json cameras = scan["cameras"];
    ASSERT_EQ(cameras.size(), 2u);  // two cameras; the free operator of applet port 3 is listed apart
    EXPECT_EQ(scan["freeOperators"], json::parse(R"([{"slot": 2, "appletPorts": [3]}])"));
    ExpectMembers(cameras[0], R"({"links": [{"port": 0, "appletPort": 0}, {"port": 1, "appletPort": 1}],
                                  "bitRate": 12500, "controlPacketSize": 1024})");
    EXPECT_EQ(cameras[1]["bitRate"], 6250);

    // Text for people; with stdout a pipe, no progress line anywhere.
    const ToolRun text = Run({"scan"});
    EXPECT_EQ(text.exitCode, 0);
    EXPECT_EQ(text.err, "");
    EXPECT_EQ(text.out.find('\r'), std::string::npos);
    EXPECT_EQ(text.out.find("discovering"), std::string::npos);
    EXPECT_EQ(text.out.rfind("SLOT  MASTER  APPLET  LINKS(PORT>APPLET)", 0), 0u) << text.out;
    EXPECT_NE(text.out.find("0>0,1>1"), std::string::npos);
    EXPECT_NE(text.out.find("(free camera operator)"), std::string::npos);

    // A scan at a given bit rate; one that is no CoaXPress bit rate is a usage error.
    EXPECT_EQ(RunJson({"scan", "--speed", "3125"})["cameras"][0]["bitRate"], 3125);
    const ToolRun odd = Run({"scan", "--speed", "3000"});
    EXPECT_EQ(odd.exitCode, 64);
    EXPECT_NE(odd.err.find("--speed"), std::string::npos) << odd.err;

    // On a terminal the scan shows its progress.
    const ToolRun terminal = RunToolOnTerminal(Launch({"--fast", "scan"}, nullptr));
    EXPECT_EQ(terminal.exitCode, 0) << terminal.out;
    EXPECT_NE(terminal.out.find("discovering cameras on board 0 ... "), std::string::npos) << terminal.out;
    // The line is cleared before the table.
    EXPECT_NE(terminal.out.find("\r\033[KSLOT  MASTER  APPLET"), std::string::npos) << terminal.out;
    // JSON is for programs: no progress even on a terminal.
    const ToolRun program = RunToolOnTerminal(Launch({"--fast", "--json", "scan"}, nullptr));
    EXPECT_EQ(program.exitCode, 0);
    EXPECT_EQ(program.out.find("discovering"), std::string::npos) << program.out;
}

TEST_F(Noxcam, InfoCommonOptionsAndVerbosity) {
    const json info = RunJson({"info", "-c", "1"});
    ExpectMembers(info, R"({"serial": "SN0002", "firmwareVersion": "2.3.1", "links": [{"port": 2, "appletPort": 2}]})");
    const std::string text = Printed({"info"});
    EXPECT_NE(text.find("\nmodel              VX-12M\n"), std::string::npos) << text;
    // The family is the description's when the camera information lacks it.
    EXPECT_NE(text.find("\nfamily             VX\n"), std::string::npos) << text;

    EXPECT_EQ(Run({"-c", "1", "get", "-n", "DeviceModelName"}).out, "VX-4M\n");
    EXPECT_EQ(Run({"get", "DeviceModelName", "-c", "1", "--value-only"}).out, "VX-4M\n");
    EXPECT_EQ(RunJson({"reg", "read", "0", "-c", "1"})["value"], 0xC0A79AE5u);
    const ToolRun afterward = RunRaw({"get", "--json", "Width", "--fast", "-b", "0"});
    EXPECT_EQ(afterward.exitCode, 0) << afterward.err;
    EXPECT_EQ(json::parse(afterward.out), json::parse(R"({"Width": 4096})"));

    // -v turns on the library's log on stderr (without it stderr stays empty: RunJson checks that).
    const ToolRun informed = Run({"-v", "get", "-n", "Width"});
    EXPECT_EQ(informed.out, "4096\n");
    EXPECT_NE(informed.err.find("[info]"), std::string::npos);
    EXPECT_EQ(informed.err.find("Entering"), std::string::npos);  // the call trace is level 1
    const ToolRun traced = Run({"-vv", "get", "Width"});
    EXPECT_NE(traced.err.find("Nox_getIntegerValue"), std::string::npos);
}

// Finds a feature by name anywhere under a category of the JSON tree.
const json *FindFeature(const json &category, const std::string &name) {
    for (const json &member : category["features"]) {
        if (member["name"] == name) return &member;
        if (member["type"] == "Category")
            if (const json *found = FindFeature(member, name)) return found;
    }
    return nullptr;
}

// The feature tree with value, type and access; and the registers behind it, by address.
TEST_F(Noxcam, FeaturesShowTheTreeAndRegistersReadAndWrite) {
    const json tree = RunJson({"features"})["root"];
    const json *width = FindFeature(tree, "Width");
    ASSERT_NE(width, nullptr);
    EXPECT_EQ(*width, json::parse(R"({"name": "Width", "type": "Integer", "access": "RW", "value": 4096})"));
    EXPECT_EQ(FindFeature(tree, "PixelFormat")->at("value"), "Mono8");
    EXPECT_EQ(FindFeature(tree, "ExposureTime")->at("unit"), "us");
    const json *start = FindFeature(tree, "AcquisitionStart");
    EXPECT_EQ(start->at("access"), "WO");
    EXPECT_FALSE(start->contains("value"));
    EXPECT_EQ(FindFeature(tree, "TriggerSoftware")->at("access"), "WO");  // imposed on a read-write register
    // Guru features and their category appear with --all only; a failing read is shown, not fatal.
    EXPECT_EQ(FindFeature(tree, "TestWriteOnly"), nullptr);
    const json all = RunJson({"features", "--all"})["root"];
    EXPECT_EQ(FindFeature(all, "TestWriteOnly")->at("access"), "WO");
    const json *failing = FindFeature(all, "TestFailingRegister");
    ASSERT_NE(failing, nullptr);
    EXPECT_FALSE(failing->contains("value"));
    EXPECT_EQ(failing->at("error")["name"], "ERR_EXCEPTION");

    const std::string text = Printed({"features"});
    EXPECT_EQ(text.rfind("FEATURE", 0), 0u);
    EXPECT_NE(text.find("\n    Width                   4096            Integer      RW\n"), std::string::npos) << text;

    // Narrowed by name (any case) and by category; the categories on the way stay, empty ones go.
    const json filtered = RunJson({"features", "--filter", "offset"})["root"];
    ASSERT_EQ(filtered["features"].size(), 1u);
    EXPECT_EQ(filtered["features"][0]["name"], "ImageFormatControl");
    EXPECT_EQ(filtered["features"][0]["features"].size(), 2u);
    const json analog = RunJson({"features", "--category", "AnalogControl"})["root"];
    EXPECT_EQ(analog["name"], "AnalogControl");
    EXPECT_EQ(analog["features"][0]["name"], "Gain");
    ExpectFailure(Run({"features", "--category", "Nowhere"}), "Nowhere: no such category", "ERR_INVALID_FEATURE");

    // Registers read and written by address.
    EXPECT_EQ(Run({"reg", "read", "0"}).out, "0xc0a79ae5\n");
    EXPECT_EQ(RunJson({"reg", "read", "0x4"})["value"], 0x00020000);  // revision 2.0
    EXPECT_EQ(Printed({"reg", "read", "0x2000", "20"}),
              "0x00002000  56 65 78 6f 20 56 69 73 69 6f 6e 00 00 00 00 00  |Vexo Vision.....|\n"
              "0x00002010  00 00 00 00                                      |....|\n");
    EXPECT_EQ(RunJson({"reg", "read", "0x2020", "6"})["bytes"], "56582d31324d");  // "VX-12M"

    EXPECT_EQ(Printed({"reg", "write", "0x20C0", "0x41424344"}), "wrote 0x41424344 to 0x000020c0 on camera 0\n");
    EXPECT_EQ(Run({"get", "DeviceUserID"}).out, "DeviceUserID = ABCD\n");  // the next process reads it

    // The camera's refusals keep their status, and the line names the camera's answer.
    const std::pair<std::vector<std::string>, std::string> refusals[] = {
        {{"reg", "read", "0x6084"}, "invalid address (acknowledgment code 0x40) to the read of 4 bytes at 0x6084"},
        {{"reg", "write", "0x6000", "4096"}, "write to read-only (acknowledgment code 0x43) to the write"},
        {{"reg", "write", "0x6008", "1000"}, "invalid data (acknowledgment code 0x41) to the write"}};
    for (const auto &[command, answer] : refusals) {
        const ToolRun refused = Run(command);
        ExpectFailure(refused, command[0] + " " + command[1], "ERR_GENCP_TOO_FEW_DATA");
        EXPECT_NE(refused.err.find("Camera answered " + answer), std::string::npos) << refused.err;
    }
    ExpectFailure(Run({"reg", "read", "0x100000000"}), "reg read: '0x100000000' is not a 32-bit number",
                  "ERR_INVALID_ARGUMENT", 64);
    ExpectFailure(Run({"reg", "read", "0", "2000000"}), "reg read: at most 1048576 bytes", "ERR_VALUE_OUT_OF_RANGE", 64);
    ExpectFailure(Run({"reg", "read", "0", "0"}), "reg read 0x00000000", "ERR_INVALID_ARGUMENT");
}

// Access and availability as the camera's node map has them now: a feature locked by another
// register is read only, one whose availability register reads 0 is not available.
constexpr const char *kConditionsDescription = R"xml(<?xml version="1.0" encoding="utf-8"?>
<RegisterDescription ModelName="Conditions" VendorName="Nox" StandardNameSpace="None" SchemaMajorVersion="1"
    SchemaMinorVersion="1" SchemaSubMinorVersion="0" MajorVersion="1" MinorVersion="0" SubMinorVersion="0"
    ProductGuid="5A0B5C3E-1D7F-4E2A-9B8C-0F1E2D3C4B5A" VersionGuid="6B1C6D4F-2E80-4F3B-AC9D-1A2B3C4D5E6F"
    xmlns="http://www.genicam.org/GenApi/Version_1_1">
  <Category Name="Root"><pFeature>LockedWidth</pFeature><pFeature>OptionalGain</pFeature></Category>
  <Integer Name="LockedWidth"><pIsLocked>SensorWidthReg</pIsLocked><pValue>WidthReg</pValue><Min>16</Min>
    <Max>4096</Max><Inc>16</Inc></Integer>
  <Float Name="OptionalGain"><pIsAvailable>OffsetXReg</pIsAvailable><pValue>GainReg</pValue><Unit>dB</Unit></Float>
  <IntReg Name="SensorWidthReg"><Address>0x6000</Address><Length>4</Length><AccessMode>RO</AccessMode>
    <pPort>Device</pPort><Sign>Unsigned</Sign><Endianess>BigEndian</Endianess></IntReg>
  <IntReg Name="OffsetXReg"><Address>0x6010</Address><Length>4</Length><AccessMode>RW</AccessMode>
    <pPort>Device</pPort><Sign>Unsigned</Sign><Endianess>BigEndian</Endianess></IntReg>
  <IntReg Name="WidthReg"><Address>0x6008</Address><Length>4</Length><AccessMode>RW</AccessMode>
    <pPort>Device</pPort><Sign>Unsigned</Sign><Endianess>BigEndian</Endianess></IntReg>
  <FloatReg Name="GainReg"><Address>0x6024</Address><Length>4</Length><AccessMode>RW</AccessMode>
    <pPort>Device</pPort><Endianess>BigEndian</Endianess></FloatReg>
  <Port Name="Device"/>
</RegisterDescription>
)xml";

TEST_F(Noxcam, FeaturesAndDescribeShowWhatTheNodeMapSaysNow) {
    WriteFile(Path("conditions.xml"), kConditionsDescription);
    const std::string topology = R"({"boards": [{"model": "cxp4-c", "cameras": [{"links": [0],
        "xml": {"file": ")" + Path("conditions.xml") + R"(", "zip": false}}]}]})";
    const json tree = RunJson({"features"}, topology.c_str())["root"];
    EXPECT_EQ(*FindFeature(tree, "LockedWidth"),
              json::parse(R"({"name": "LockedWidth", "type": "Integer", "access": "RO", "value": 4096})"));
    EXPECT_EQ(*FindFeature(tree, "OptionalGain"),
              json::parse(R"({"name": "OptionalGain", "type": "Float", "access": "NA", "unit": "dB"})"));
    ExpectFailure(Run({"set", "LockedWidth=1024"}, topology.c_str()), "set LockedWidth=1024", "ERR_FEATURE_READ_ONLY");
    const json locked = RunJson({"describe", "LockedWidth"}, topology.c_str());
    ExpectMembers(locked, R"({"access": "RO", "categoryPath": "Root", "inc": 16, "value": 4096})");

    // The built-in description: texts, entries, selection; the text form for people.
    const json format = RunJson({"describe", "PixelFormat"});
    ExpectMembers(format, R"({"displayName": "Pixel Format", "categoryPath": "Root/ImageFormatControl"})");
    EXPECT_EQ(format["entries"][2], json::parse(R"({"name": "Mono12", "displayName": "Mono12", "value": 17825797,
                                                    "available": true})"));
    EXPECT_EQ(RunJson({"describe", "TriggerSelector"})["selects"], json::parse(R"(["TriggerMode", "TriggerSource"])"));
    const ToolRun text = Run({"describe", "ExposureTime"});
    EXPECT_NE(text.out.find("\nunit          us\n"), std::string::npos) << text.out;
    ExpectFailure(Run({"describe", "NoSuchFeature"}), "NoSuchFeature: no such feature", "ERR_INVALID_FEATURE");
    const ToolRun version = RunRaw({"--version"});
    EXPECT_EQ(version.out.rfind("noxcam ", 0), 0u) << version.out;
    EXPECT_NE(version.out.find(", library "), std::string::npos) << version.out;
}

TEST_F(Noxcam, CameraLinkBoardsShowTheirSerialPortsAndServeFeaturesAndRegisters) {
    const char *topology = R"({"boards": [{"model": "cl2-g1", "cameras": [
        {"links": [0], "serial": "CL0001", "bauds": [9600, 230400]}, {"links": [1], "serial": "CL0002"}]}]})";
    const json scan = RunJson({"scan"}, topology);
    EXPECT_EQ(scan["serialPorts"], json::parse(R"([{"port": 0, "baud": 230400, "configuration": "base"},
                                                  {"port": 1, "baud": 115200, "configuration": "base"}])"));
    ASSERT_EQ(scan["cameras"].size(), 2u);
    EXPECT_EQ(scan["cameras"][1]["serial"], "CL0002");
    EXPECT_EQ(scan["cameras"][1]["bitRate"], nullptr) << "a serial link has no link speed";
    const ToolRun text = Run({"scan"}, topology);
    EXPECT_NE(text.out.find("PORT  BAUD    CONFIGURATION\n0     230400  base\n1     115200  base\n"),
              std::string::npos) << text.out;

    EXPECT_EQ(RunJson({"set", "Width=1024", "PixelFormat=Mono10"}, topology),
              json::parse(R"({"Width": 1024, "PixelFormat": "Mono10"})"));
    EXPECT_EQ(Run({"reg", "read", "0x6008"}, topology).out, "0x00000400\n");  // the next process reads it
}

// Features got, set and executed, and the description printed or written, on one instance.
TEST_F(Noxcam, GetSetExecAndXml) {
    EXPECT_EQ(Run({"get", "Width"}).out, "Width = 4096\n");
    EXPECT_EQ(Run({"get", "Width", "PixelFormat", "Gain"}).out, "Width = 4096\nPixelFormat = Mono8\nGain = 0.0\n");
    // JSON keeps the order asked for, and floats look alike in text and JSON.
    const ToolRun ordered = Run({"get", "--json", "SensorHeight", "ReverseX", "DeviceVendorName", "ExposureTime"});
    EXPECT_EQ(ordered.out, R"({"SensorHeight":3072,"ReverseX":false,"DeviceVendorName":"Vexo Vision",)"
                           R"("ExposureTime":10000.0})" "\n");

    // Written in order, each read back from the camera: the offset fits only after the width shrank.
    EXPECT_EQ(RunJson({"set", "Width=1024", "OffsetX=3072", "PixelFormat=Mono12", "Gain=3.5", "ReverseX=on"}),
              json::parse(R"({"Width": 1024, "OffsetX": 3072, "PixelFormat": "Mono12", "Gain": 3.5,
                              "ReverseX": true})"));
    EXPECT_EQ(Printed({"set", "DeviceUserID=bench-3", "TriggerMode=On"}), "DeviceUserID = bench-3\nTriggerMode = On\n");

    // Refusals name the feature or the assignment.
    ExpectFailure(Run({"get", "NoSuchFeature"}), "NoSuchFeature: no such feature", "ERR_INVALID_FEATURE");
    ExpectFailure(Run({"set", "NoSuchFeature=1"}), "NoSuchFeature: no such feature", "ERR_INVALID_FEATURE");
    ExpectFailure(Run({"set", "Width=wide"}), "set Width=wide: Width takes an integer", "ERR_INVALID_ARGUMENT");
    ExpectFailure(Run({"set", "Gain=1e999"}), "set Gain=1e999: Gain takes a finite number", "ERR_INVALID_ARGUMENT");
    ExpectFailure(Run({"set", "ReverseX=maybe"}), "set ReverseX=maybe: ReverseX takes true or false", "ERR_INVALID_ARGUMENT");
    ExpectFailure(Run({"set", "SensorWidth=16"}), "set SensorWidth=16", "ERR_FEATURE_READ_ONLY");
    ExpectFailure(Run({"set", "AcquisitionStart=1"}), "set AcquisitionStart=1: AcquisitionStart is a command", "ERR_INVALID_FEATURE");
    ExpectFailure(Run({"get", "TestWriteOnly"}), "get TestWriteOnly", "ERR_FEATURE_WRITE_ONLY");
    // A bad assignment anywhere is a usage error, before anything is written or even connected.
    ExpectFailure(Run({"set", "Width=1024", "=5"}), "set: '=5' is not NAME=VALUE", "ERR_INVALID_ARGUMENT", 64);
    ExpectFailure(Run({"exec", "Width"}), "exec Width", "ERR_INVALID_FEATURE");
    ExpectFailure(Run({"exec", "NoSuchCommand"}), "exec NoSuchCommand", "ERR_INVALID_FEATURE");

    EXPECT_EQ(Printed({"exec", "TriggerSoftware"}), "executed TriggerSoftware on camera 0\n");
    EXPECT_EQ(RunJson({"exec", "TriggerSoftware"}), json::parse(R"({"executed": "TriggerSoftware", "camera": 0})"));
    EXPECT_EQ(Run({"get", "-n", "AcquisitionStop"}).out, "done\n");

    const std::string printed = Printed({"xml"});
    EXPECT_EQ(printed.rfind("<?xml", 0), 0u);
    EXPECT_NE(printed.find("<Category Name=\"Root\""), std::string::npos);

    const json written = RunJson({"xml", "-o", Path("camera.xml")});
    const std::string file = ReadFile(Path("camera.xml"));
    EXPECT_EQ(written["size"], file.size());
    EXPECT_EQ(file + (file.ends_with('\n') ? "" : "\n"), printed);
    EXPECT_EQ(RunJson({"xml"})["xml"], file);

    ExpectFailure(Run({"xml", "-o", Path("no/such/folder/camera.xml")}), "writing the description", "ERR_FILE_ACCESS");
}

// A refusal says why in the same line: the library's reason and what the feature takes; with
// --json the failure is one JSON object on stderr.
TEST_F(Noxcam, FailuresSayWhyAndPartWritesSaySo) {
    const ToolRun width = Run({"set", "Width=1000"});
    ExpectFailure(width, "set Width=1000", "ERR_EXCEPTION");
    EXPECT_NE(width.err.find(": Exception while setting feature Width: Value 1000 of node 'Width' must be 16 plus a "
                             "multiple of 16; Width takes 16 to 4096 in steps of 16\n"),
              std::string::npos) << width.err;
    const ToolRun name = Run({"set", "DeviceUserID=seventeen-letters"});
    EXPECT_NE(name.err.find("longer than the 16 characters node 'DeviceUserID' holds"), std::string::npos) << name.err;
    const ToolRun format = Run({"set", "PixelFormat=mono12", "--json"});
    EXPECT_EQ(format.exitCode, 1);
    EXPECT_EQ(format.out, "");
    const json error = json::parse(format.err);
    ExpectMembers(error, R"({"name": "ERR_INVALID_ARGUMENT", "status": -1991, "description": "Invalid function argument"})");
    EXPECT_NE(error["reason"].get<std::string>().find("PixelFormat takes Mono8, Mono10, Mono12, RGB8 (names are "
                                                      "case-sensitive)"), std::string::npos) << format.err;

    // Width is written, Height refused: both said, exit 2, and the next command reads the width.
    const ToolRun partly = Run({"set", "Width=1024", "Height=5000"});
    ExpectFailure(partly, "set Height=5000", "ERR_EXCEPTION", 2);
    EXPECT_EQ(partly.out, "Width = 1024\n");
    EXPECT_NE(partly.err.find("; written before it: Width; not written: 1 of 2\n"), std::string::npos) << partly.err;
    EXPECT_EQ(Run({"get", "Width", "Height"}).out, "Width = 1024\nHeight = 3072\n");
}

// A 2-link camera on an applet of 1-link operators: scan warns and names the cause, and the
// layout mismatch a later connect meets is explained the same way.
TEST_F(Noxcam, CablingProblemsAreNamed) {
    const char *narrow = R"({"boards": [{"model": "cxp4-c", "applet": {"operators": [[0], [1], [2], [3]]},
                              "cameras": [{"links": [1, 0], "serial": "SN0007"}]}]})";
    const ToolRun scan = Run({"scan"}, narrow);
    EXPECT_EQ(scan.exitCode, 0);
    EXPECT_NE(scan.out.find("\n1     1       1       1>1 "), std::string::npos) << scan.out;
    const std::string cause = "the camera is cabled with 2 links but its camera operator takes 1 link: load an applet "
                              "whose operators take 2 links, or cable fewer links";
    EXPECT_EQ(scan.err, "noxcam: warning: camera 1: " + cause + "\n");
    EXPECT_EQ(json::parse(Run({"scan", "--json"}, narrow).out)["cameras"][0]["warning"], cause);
    std::filesystem::remove_all(Path("noxcam"));  // no remembered layout: the next command connects anew
    const ToolRun get = Run({"get", "Width"}, narrow);
    ExpectFailure(get, "connecting the links of camera 1", "ERR_LINK_LAYOUT_MISMATCH");
    EXPECT_NE(get.err.find(cause), std::string::npos) << get.err;

    // MASTER is the cable of the master link (port 1), APPLET the operator port it is routed to.
    const char *crossed = R"({"boards": [{"model": "cxp4-c", "applet": {"operators": [[0, 1], [2], [3]]},
                               "cameras": [{"links": [1, 0]}]}]})";
    EXPECT_NE(Run({"scan"}, crossed).out.find("\n0     1       0       1>0,0>1 "), std::string::npos);
}

TEST_F(Noxcam, ParameterFilesSaveAndLoad) {
    const json save = RunJson({"params", "save", Path("camera.txt")});
    const std::string saved = ReadFile(Path("camera.txt"));
    EXPECT_EQ(save, json({{"file", Path("camera.txt")}, {"bytes", saved.size()}, {"camera", 0}}));
    EXPECT_NE(saved.find("\nWidth=4096\n"), std::string::npos) << saved;

    WriteFile(Path("smaller.txt"), "Width=512\nHeight=256\n");
    EXPECT_EQ(Printed({"params", "load", Path("smaller.txt"), "--strict"}), "applied 2 of 2 lines from " + Path("smaller.txt") + " to camera 0\n");

    // Each line that did not apply is named; the summary counts; partly applied exits 2.
    const std::string file = Path("bad.txt");
    WriteFile(file, "Width=1024\nNoSuchFeature=1\nHeight=abc\nGain=2.5\nPixelFormat=mono12\n");
    const ToolRun partly = Run({"params", "load", file});
    EXPECT_EQ(partly.exitCode, 2);
    EXPECT_EQ(partly.out, file + ":2: NoSuchFeature: no feature named 'NoSuchFeature'\n" + file +
                              ":3: Height: 'abc' is no integer value for Height\n" + file +
                              ":5: PixelFormat: 'mono12' is no enumeration value for PixelFormat\n"
                              "applied 2 of 5 lines from " + file + " to camera 0; 3 failed\n");
    EXPECT_NE(partly.err.find("line 2: no feature named 'NoSuchFeature'"), std::string::npos) << partly.err;
    EXPECT_EQ(Run({"get", "Width", "Gain"}).out, "Width = 1024\nGain = 2.5\n");  // the lines that applied stay

    const json strict = json::parse(Run({"params", "load", "--strict", "--json", file}).out);
    ExpectMembers(strict, R"({"applied": 1, "stopped": true, "failures": [{"line": 2, "feature": "NoSuchFeature",
                                              "reason": "no feature named 'NoSuchFeature'"}]})");
    ExpectFailure(Run({"params", "load", Path("missing.txt")}), "loading the parameters from", "ERR_INVALID_FILENAME");
    ExpectFailure(Run({"params", "save", Path("no/such/folder/p.txt")}), "saving the parameters to",
                  "ERR_INVALID_FILENAME");
}

TEST_F(Noxcam, PowerSwitchesAndReports) {
    const json status = RunJson({"power", "status"})["ports"];
    ASSERT_EQ(status.size(), 4u);
    // Ports 0 and 2 feed a camera (family C code 5), ports 1 and 3 are on without load (3).
    ExpectMembers(status[2], R"({"state": "on, camera powered", "stateCode": 5})");
    EXPECT_DOUBLE_EQ(status[2]["volts"].get<double>(), 24.0);
    EXPECT_GT(status[2]["milliamperes"].get<double>(), 0.0);
    EXPECT_EQ(Printed({"power", "status", "--ports", "0x3"}), "PORT  STATE               CODE  VOLTAGE  CURRENT\n"
                                                        "0     on, camera powered  5     24.0 V   500.0 mA\n"
                                                        "1     on, no load         3     24.0 V   0.0 mA\n");

    const json off = RunJson({"power", "off", "--ports", "0x4"})["ports"];
    ASSERT_EQ(off.size(), 1u);
    ExpectMembers(off[0], R"({"port": 2, "state": "off"})");
    EXPECT_DOUBLE_EQ(off[0]["volts"].get<double>(), 0.0);
    EXPECT_EQ(RunJson({"power", "cycle", "--ports", "1"})["ports"][0]["stateCode"], 5);
    EXPECT_EQ(RunJson({"power", "on"})["ports"].size(), 4u);

    ExpectFailure(Run({"power", "on", "--ports", "0x10"}), "power: '0x10' is no mask of the board's ports",
                  "ERR_INVALID_PORT");
    ExpectFailure(Run({"power", "status", "--ports", "0"}), "power: '0'", "ERR_INVALID_PORT");
}

TEST_F(Noxcam, LinkConfigurationFilesReplaceTheScan) {
    EXPECT_EQ(Printed({"config", "save", Path("links.xml")}), "saved the link layout of 2 cameras on board 0 to " + Path("links.xml") + "\n");
    const std::string saved = ReadFile(Path("links.xml"));
    EXPECT_NE(saved.find("speed=\"12500\" streampacketsize=\"8192\" serialNumber=\"SN0001\">"), std::string::npos)
        << saved;
    EXPECT_NE(saved.find("speed=\"6250\""), std::string::npos) << saved;
    // The scan behind it is remembered for the commands that follow, per board and instance.
    const std::string remembered = ReadFile(Path("noxcam/board0-" + Instance("") + ".xml"));
    EXPECT_NE(remembered.find("speed=\"12500\" streampacketsize=\"8192\">"), std::string::npos) << remembered;

    // A fresh process builds the cameras from the file, without a scan, and connects them.
    const json cameras = RunJson({"config", "load", Path("links.xml")})["cameras"];
    ASSERT_EQ(cameras.size(), 2u);
    EXPECT_EQ(cameras[0]["links"], json::parse(R"([{"port": 0, "appletPort": 0}, {"port": 1, "appletPort": 1}])"));
    const ToolRun fromFile = Run({"--config", Path("links.xml"), "-c", "1", "get", "DeviceModelName"});
    EXPECT_EQ(fromFile.out, "DeviceModelName = VX-4M\n");
    EXPECT_EQ(fromFile.err, "");

    // The file is checked before use and the line says what is wrong with it.
    const std::string missing = "link configuration " + Path("missing.xml") + ": no such file";
    ExpectFailure(Run({"config", "load", Path("missing.xml")}), missing, "ERR_INVALID_FILENAME");
    WriteFile(Path("broken.xml"), "<cxpconfiguration links=\"4\"");
    WriteFile(Path("other.xml"), "<RegisterDescription/>\n");
    for (const char *name : {"broken.xml", "other.xml"}) {
        const ToolRun refused = Run({"--config", Path(name), "get", "Width"});
        ExpectFailure(refused, "link configuration " + Path(name) + ": not a link configuration file", "ERR_INVALID_DATA");
        EXPECT_NE(refused.err.find(name == std::string("other.xml") ? "Illegal root node" : "Error parsing"),
                  std::string::npos) << refused.err;
    }
    // A file saved with another camera at the links still loads, with a warning naming both serials.
    std::string swapped = saved;
    swapped.replace(swapped.find("SN0001"), 6, "SN0777");
    WriteFile(Path("swapped.xml"), swapped);
    const ToolRun warned = Run({"--config", Path("swapped.xml"), "get", "Width"});
    EXPECT_EQ(warned.exitCode, 0);
    EXPECT_EQ(warned.err, "noxcam: warning: camera 0 answers with serial number 'SN0001', but " + Path("swapped.xml") +
                              " was saved with 'SN0777' at its links: the cabling or the cameras changed since\n");
    ExpectFailure(Run({"config", "save", Path("no/such/folder/links.xml")}), "saving the link configuration",
                  "ERR_FILE_ACCESS");
}

TEST_F(Noxcam, LowLevelLinkProfilesStoreAndRestore) {
    EXPECT_EQ(Printed({"profile", "store", Path("links.profile")}), "stored the routing and link speeds of board 0 to " + Path("links.profile") + "\n");
    EXPECT_EQ(ReadFile(Path("links.profile")).rfind("# low level link profile", 0), 0u);
    EXPECT_EQ(RunJson({"profile", "restore", Path("links.profile")}), json({{"file", Path("links.profile")}, {"board", 0}, {"restored", true}}));
    // Another applet (one operator per port) refuses the routing; a file that is no profile is refused.
    ExpectFailure(Run({"profile", "restore", Path("links.profile")}, kOneCableTopology), "restoring the link profile",
                  "ERR_LINK_LAYOUT_MISMATCH");
    WriteFile(Path("other.txt"), "Width=512\n");
    ExpectFailure(Run({"profile", "restore", Path("other.txt")}), "restoring the link profile", "ERR_INVALID_ARGUMENT");
}

// Commands after a scan attach to the links the scan brought up: no reset, no error counter cleared,
// as `vexosim status` shows for the ports that carry links.
TEST_F(Noxcam, CommandsAfterAScanLeaveTheLinksAlone) {
    const auto simulator = [&](std::vector<std::string> arguments) {
        return RunTool({VEXOSIM_PROGRAM, std::move(arguments), {{"VEXO_SIM_INSTANCE", Instance("")}, {"VEXO_SIM_CONFIG", ""}},
                        std::chrono::seconds(30)});
    };
    const auto linkPorts = [&] {
        const std::string status = simulator({"status"}).out;
        std::string lines;
        for (const char *port : {"  port 0:", "  port 1:", "  port 2:"})
            if (const size_t at = status.find(port); at != std::string::npos)
                lines += status.substr(at, status.find('\n', at) - at + 1);
        return lines;
    };
    ASSERT_EQ(Run({"scan"}).exitCode, 0);
    // Errors that a link reset would clear: noise for a moment, then the count holds still.
    ASSERT_EQ(simulator({"noise", "0", "0", "50"}).exitCode, 0);
    const std::string quiet = "  port 0: cable plugged, power on, link locked, errors 0,";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (linkPorts().find(quiet) != std::string::npos && std::chrono::steady_clock::now() < deadline) {
    }
    ASSERT_EQ(simulator({"noise", "0", "0", "0"}).exitCode, 0);
    const std::string before = linkPorts();
    ASSERT_EQ(before.find(quiet), std::string::npos) << before;

    EXPECT_EQ(Run({"set", "Width=1024"}).exitCode, 0);
    EXPECT_EQ(Run({"get", "-n", "Width"}).out, "1024\n");
    EXPECT_EQ(linkPorts(), before);
}

TEST_F(Noxcam, MonitorReportsACablePulledByAnotherProgramAndSumsUp) {
    ExpectMembers(json::parse(Run({"monitor", "--seconds", "0.1", "--json"}).out)["summary"],
                  R"({"events": 0, "ended": "time up"})");

    // The monitor's stdout goes to a file, so the test sees when it watches and pulls a cable then.
    const std::string output = Path("monitor.txt");
    ToolLaunch monitor = Launch({"--fast", "monitor", "--seconds", "3"}, nullptr);
    monitor.environment["NOXCAM"] = NOXCAM_PROGRAM;
    monitor.environment["OUTPUT"] = output;
    monitor.arguments.insert(monitor.arguments.begin(), {"-c", "exec \"$NOXCAM\" \"$@\" > \"$OUTPUT\"", "noxcam"});
    monitor.program = "/bin/sh";
    auto watching = std::async(std::launch::async, [monitor] { return RunTool(monitor); });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (ReadFile(output).find("watching") == std::string::npos && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ToolLaunch plug{VEXOSIM_PROGRAM, {"plug", "0", "2", "off"}, {{"VEXO_SIM_INSTANCE", Instance("")}},
                    std::chrono::seconds(30)};
    EXPECT_EQ(RunTool(plug).exitCode, 0);
    const ToolRun run = watching.get();
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const std::string text = ReadFile(output);
    EXPECT_EQ(text.rfind("watching board 0 for 3.0 s\n", 0), 0u) << text;
    EXPECT_NE(text.find("  camera 1: link lost\n"), std::string::npos) << text;
    EXPECT_NE(text.find("(time up): 1 event, 1 link lost\n"), std::string::npos) << text;
}

TEST_F(Noxcam, EverySubcommandHasHelp) {
    for (const char *command : {"", "boards", "scan", "info", "features", "describe", "get", "set", "exec", "xml",
                                "params", "params save", "params load", "reg", "reg read", "reg write", "power",
                                "power on", "power off", "power cycle", "power status", "monitor", "config",
                                "config save", "config load", "profile", "profile store", "profile restore"}) {
        std::vector<std::string> words;
        for (std::istringstream in(command); in >> words.emplace_back();) {
        }
        words.back() = "--help";
        const ToolRun run = RunRaw(words);
        EXPECT_EQ(run.exitCode, 0) << command;
        EXPECT_NE(run.out.find("Usage:"), std::string::npos) << command;
    }
    EXPECT_NE(RunRaw({"--help"}).out.find("Exit codes:\n  0   success\n"), std::string::npos);
    // No subcommand, or an unknown one, is a usage error that says what was meant.
    EXPECT_EQ(RunRaw({}).exitCode, 64);
    EXPECT_EQ(RunRaw({"reg"}).exitCode, 64);
    const ToolRun typo = RunRaw({"-b", "0", "scna"});
    EXPECT_EQ(typo.exitCode, 64);
    EXPECT_EQ(typo.err, "noxcam: unknown subcommand 'scna'; did you mean 'scan'?\nRun with --help for more information.\n");
    EXPECT_NE(RunRaw({"reg", "wirte", "0", "1"}).err.find("'wirte' of 'reg'; did you mean 'write'?"), std::string::npos);
    EXPECT_EQ(RunRaw({"frobnicate"}).err.find("did you mean"), std::string::npos);
    ExpectMembers(json::parse(RunRaw({"--json", "scna"}).err),
                  R"({"error": "unknown subcommand 'scna'; did you mean 'scan'?", "name": "ERR_INVALID_ARGUMENT"})");
}

// A Camera Link HS board: both ports are master ports, scan shows each port's link, and the board's
// properties are read and set by name.
TEST_F(Noxcam, CameraLinkHsLinkStatesAndBoardProperties) {
    const char *topology = R"({"boards": [{"model": "clhs2-c", "cameras": [{"links": [0, 1]}]}]})";
    const json scan = RunJson({"scan"}, topology);
    ASSERT_EQ(scan["cameras"].size(), 1u);
    EXPECT_EQ(scan["cameras"][0]["links"].size(), 2u);
    EXPECT_EQ(scan["linkStates"], json::parse(R"([{"port": 0, "state": 1, "up": true},
                                                   {"port": 1, "state": 1, "up": true}])"));
    const ToolRun text = Run({"scan"}, topology);
    EXPECT_NE(text.out.find("PORT  LINK\n0     up\n1     up\n"), std::string::npos) << text.out;

    EXPECT_EQ(Run({"board-property", "CLHSLinkState", "--index", "1"}, topology).out,
              "PROPERTY       INDEX  VALUE\nCLHSLinkState  1      1\n");
    EXPECT_EQ(Run({"board-property", "CLHSWriteMDIO", "0xbeef", "--index", "0x00010020"}, topology).out,
              "CLHSWriteMDIO = 48879\n");
    // Opening the board starts the physical layer chips: register 0 of device 1 selects 10 Gbit/s.
    EXPECT_EQ(RunJson({"board-property", "CLHSReadMDIO", "--index", "0x00010000"}, topology)["value"], 0x2040);
    ExpectFailure(Run({"board-property", "CLHSReadMDIO", "1"}, topology), "setting board property CLHSReadMDIO",
                  "ERR_UNKNOWN_PROPERTY");
}

}  // namespace
}  // namespace nox_test
