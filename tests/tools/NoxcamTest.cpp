// noxcam run as a process against the virtual frame grabber: what it prints, in text and JSON,
// and how it exits.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>

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

class Noxcam : public ::testing::Test {
protected:
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
    void ExpectFailure(const ToolRun &run, const std::string &what, const std::string &status) {
        EXPECT_EQ(run.exitCode, 1) << run.out;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err.rfind("noxcam: " + what, 0), 0u) << run.err;
        EXPECT_NE(run.err.find(": " + status + " ("), std::string::npos) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    }
    std::string Path(const std::string &name) const { return (folder_ / name).string(); }

    TempDirectory folder_;
};

TEST_F(Noxcam, BoardsListsWhatTheBoardLibrariesOffer) {
    const json boards = RunJson({"boards"}, kOneCableTopology)["boards"];
    ASSERT_EQ(boards.size(), 2u);
    EXPECT_EQ(boards[0]["model"], "cxp4-c");
    EXPECT_EQ(boards[0]["ports"], 4);
    EXPECT_EQ(boards[0]["serial"], 1000);
    EXPECT_EQ(boards[1]["model"], "cxp2-b");
    EXPECT_EQ(boards[1]["ports"], 2);
    EXPECT_EQ(boards[1]["serial"], 77);

    const ToolRun text = Run({"boards"}, kOneCableTopology);
    EXPECT_EQ(text.exitCode, 0);
    EXPECT_EQ(text.out, "BOARD  MODEL   SERIAL  PORTS  FIRMWARE\n"
                        "0      cxp4-c  1000    4      3.4\n"
                        "1      cxp2-b  77      2      3.4\n");

    // A topology the simulator rejects (it says why on stderr) serves no board: an empty list, and a
    // clear failure to open one. A number too large for any type is such a rejection, not an abort.
    const char *rejected = R"({"boards": [{"model": "cxp4-c", "serial": 1e400}]})";
    const ToolRun none = Run({"boards", "--json"}, rejected);
    ASSERT_EQ(none.exitCode, 0) << none.err;
    EXPECT_TRUE(json::parse(none.out)["boards"].empty());
    const ToolRun scan = Run({"scan"}, rejected);
    EXPECT_EQ(scan.exitCode, 1);
    EXPECT_TRUE(scan.err.ends_with("\nnoxcam: board 0: the board libraries offer no such board: ERR_BOARD_INIT "
                                   "(-40018): Board initialization error\n"))
        << scan.err;
}

TEST_F(Noxcam, ScanListsCamerasLinksAndPlaceholdersOfTheDefaultTopology) {
    const json scan = RunJson({"scan"});
    EXPECT_EQ(scan["board"]["model"], "cxp4-c");
    const json cameras = scan["cameras"];
    ASSERT_EQ(cameras.size(), 3u);  // two cameras, and the free operator of applet port 3
    EXPECT_EQ(cameras[0]["placeholder"], false);
    EXPECT_EQ(cameras[0]["masterPort"], 0);
    EXPECT_EQ(cameras[0]["links"], json::parse(R"([{"port": 0, "appletPort": 0}, {"port": 1, "appletPort": 1}])"));
    EXPECT_EQ(cameras[0]["bitRate"], 12500);
    EXPECT_EQ(cameras[0]["controlPacketSize"], 1024);
    EXPECT_EQ(cameras[0]["model"], "VX-12M");
    EXPECT_EQ(cameras[0]["serial"], "SN0001");
    EXPECT_EQ(cameras[1]["masterPort"], 2);
    EXPECT_EQ(cameras[1]["bitRate"], 6250);
    EXPECT_EQ(cameras[1]["model"], "VX-4M");
    EXPECT_EQ(cameras[2]["placeholder"], true);
    EXPECT_TRUE(cameras[2]["model"].is_null());

    // Text for people; with stdout a pipe, no progress line anywhere.
    const ToolRun text = Run({"scan"});
    EXPECT_EQ(text.exitCode, 0);
    EXPECT_EQ(text.err, "");
    EXPECT_EQ(text.out.find('\r'), std::string::npos);
    EXPECT_EQ(text.out.find("discovering"), std::string::npos);
    EXPECT_EQ(text.out.rfind("SLOT  MASTER  LINKS(PORT>APPLET)", 0), 0u) << text.out;
    EXPECT_NE(text.out.find("0>0,1>1"), std::string::npos);
    EXPECT_NE(text.out.find("(free camera operator)"), std::string::npos);

    // A scan at a given bit rate; one that is no CoaXPress bit rate is a usage error.
    EXPECT_EQ(RunJson({"scan", "--speed", "3125"})["cameras"][0]["bitRate"], 3125);
    const ToolRun odd = Run({"scan", "--speed", "3000"});
    EXPECT_NE(odd.exitCode, 0);
    EXPECT_NE(odd.exitCode, 1);
    EXPECT_NE(odd.err.find("--speed"), std::string::npos) << odd.err;
}

TEST_F(Noxcam, ScanShowsItsProgressOnATerminal) {
    const ToolRun run = RunToolOnTerminal(Launch({"--fast", "scan"}, nullptr));
    EXPECT_EQ(run.exitCode, 0) << run.out;
    EXPECT_NE(run.out.find("discovering cameras on board 0 ... "), std::string::npos) << run.out;
    // The line is cleared before the table.
    EXPECT_NE(run.out.find("\r\033[KSLOT  MASTER"), std::string::npos) << run.out;
    // JSON is for programs: no progress even on a terminal.
    const ToolRun json = RunToolOnTerminal(Launch({"--fast", "--json", "scan"}, nullptr));
    EXPECT_EQ(json.exitCode, 0);
    EXPECT_EQ(json.out.find("discovering"), std::string::npos) << json.out;
}

TEST_F(Noxcam, UnpluggedPortsHoldNoCamera) {
    const json cameras = RunJson({"scan"}, kOneCableTopology)["cameras"];
    ASSERT_EQ(cameras.size(), 4u);
    for (int slot : {0, 2, 3}) EXPECT_EQ(cameras[slot]["placeholder"], true) << slot;
    EXPECT_EQ(cameras[1]["masterPort"], 1);
    EXPECT_EQ(cameras[1]["bitRate"], 6250);
    EXPECT_EQ(cameras[1]["serial"], "SN0042");

    // The first discovered camera is the default; a slot without one is refused by name.
    EXPECT_EQ(Run({"get", "DeviceSerialNumber"}, kOneCableTopology).out, "SN0042\n");
    ExpectFailure(Run({"-c", "0", "get", "Width"}, kOneCableTopology), "camera 0: no camera was discovered",
                  "ERR_NO_CAMERA_FOUND");
    // The second board has no cable on any port.
    ExpectFailure(Run({"-b", "1", "get", "Width"}, kOneCableTopology), "discovering cameras on board 1",
                  "ERR_NO_CAMERA_FOUND");
    // Power off at start: no camera runs, so none is found.
    ExpectFailure(Run({"info"}, R"({"boards": [{"model": "cxp4-c", "power_on_at_start": false,
                                               "cameras": [{"links": [0]}]}]})"),
                  "discovering cameras on board 0", "ERR_NO_CAMERA_FOUND");
}

TEST_F(Noxcam, CommonOptionsGoBeforeOrAfterTheSubcommand) {
    EXPECT_EQ(Run({"-c", "1", "get", "DeviceModelName"}).out, "VX-4M\n");
    EXPECT_EQ(Run({"get", "DeviceModelName", "-c", "1"}).out, "VX-4M\n");
    EXPECT_EQ(Run({"get", "DeviceModelName"}).out, "VX-12M\n");
    EXPECT_EQ(RunJson({"reg", "read", "0", "-c", "1"})["value"], 0xC0A79AE5u);
    const ToolRun afterward = RunRaw({"get", "--json", "Width", "--fast", "-b", "0"});
    EXPECT_EQ(afterward.exitCode, 0) << afterward.err;
    EXPECT_EQ(json::parse(afterward.out), json::parse(R"({"Width": 4096})"));
}

TEST_F(Noxcam, InfoShowsIdentityAndLinkLayout) {
    const json info = RunJson({"info", "-c", "1"});
    EXPECT_EQ(info["vendor"], "Vexo Vision");
    EXPECT_EQ(info["model"], "VX-4M");
    EXPECT_EQ(info["serial"], "SN0002");
    EXPECT_EQ(info["firmwareVersion"], "2.3.1");
    EXPECT_EQ(info["slot"], 1);
    EXPECT_EQ(info["masterPort"], 2);
    EXPECT_EQ(info["links"], json::parse(R"([{"port": 2, "appletPort": 2}])"));
    EXPECT_EQ(info["board"]["model"], "cxp4-c");
    const ToolRun text = Run({"info"});
    EXPECT_EQ(text.exitCode, 0);
    EXPECT_NE(text.out.find("\nmodel              VX-12M\n"), std::string::npos) << text.out;
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

TEST_F(Noxcam, FeaturesShowTheTreeWithValueTypeAndAccess) {
    const json tree = RunJson({"features"})["root"];
    EXPECT_EQ(tree["name"], "Root");
    EXPECT_EQ(tree["features"][0]["name"], "DeviceControl");
    const json *width = FindFeature(tree, "Width");
    ASSERT_NE(width, nullptr);
    EXPECT_EQ(*width, json::parse(R"({"name": "Width", "type": "Integer", "access": "RW", "value": 4096})"));
    EXPECT_EQ(FindFeature(tree, "PixelFormat")->at("value"), "Mono8");
    EXPECT_EQ(FindFeature(tree, "ExposureTime")->at("unit"), "us");
    EXPECT_EQ(FindFeature(tree, "ReverseX")->at("value"), false);
    EXPECT_EQ(FindFeature(tree, "SensorWidth")->at("access"), "RO");
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

    const ToolRun text = Run({"features"});
    EXPECT_EQ(text.exitCode, 0);
    EXPECT_EQ(text.out.rfind("FEATURE", 0), 0u);
    EXPECT_NE(text.out.find("\n    Width                   4096            Integer      RW\n"), std::string::npos)
        << text.out;

    // Narrowed by name (any case) and by category; the categories on the way stay, empty ones go.
    const json filtered = RunJson({"features", "--filter", "offset"})["root"];
    ASSERT_EQ(filtered["features"].size(), 1u);
    EXPECT_EQ(filtered["features"][0]["name"], "ImageFormatControl");
    EXPECT_EQ(filtered["features"][0]["features"].size(), 2u);
    const json analog = RunJson({"features", "--category", "AnalogControl"})["root"];
    EXPECT_EQ(analog["name"], "AnalogControl");
    EXPECT_EQ(analog["features"][0]["name"], "Gain");
    ExpectFailure(Run({"features", "--category", "Nowhere"}), "Nowhere: no such category", "ERR_INVALID_FEATURE");
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
    EXPECT_EQ(locked["access"], "RO");
    EXPECT_EQ(locked["categoryPath"], "Root");
    EXPECT_EQ(locked["inc"], 16);
    EXPECT_EQ(locked["value"], 4096);

    // The built-in description: texts, entries, selection; the text form for people.
    const json format = RunJson({"describe", "PixelFormat"});
    EXPECT_EQ(format["displayName"], "Pixel Format");
    EXPECT_EQ(format["categoryPath"], "Root/ImageFormatControl");
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

TEST_F(Noxcam, GetAndSetFeatures) {
    EXPECT_EQ(Run({"get", "Width"}).out, "4096\n");
    EXPECT_EQ(Run({"get", "Width", "PixelFormat", "Gain"}).out, "Width = 4096\nPixelFormat = Mono8\nGain = 0\n");
    EXPECT_EQ(RunJson({"get", "SensorHeight", "ReverseX", "DeviceVendorName", "ExposureTime"}),
              json::parse(R"({"SensorHeight": 3072, "ReverseX": false, "DeviceVendorName": "Vexo Vision",
                              "ExposureTime": 10000.0})"));

    // Written in order, each read back from the camera: the offset fits only after the width shrank.
    EXPECT_EQ(RunJson({"set", "Width=1024", "OffsetX=3072", "PixelFormat=Mono12", "Gain=3.5", "ReverseX=on"}),
              json::parse(R"({"Width": 1024, "OffsetX": 3072, "PixelFormat": "Mono12", "Gain": 3.5,
                              "ReverseX": true})"));
    const ToolRun text = Run({"set", "DeviceUserID=bench-3", "TriggerMode=On"});
    EXPECT_EQ(text.exitCode, 0) << text.err;
    EXPECT_EQ(text.out, "DeviceUserID = bench-3\nTriggerMode = On\n");

    // Refusals name the feature or the assignment.
    ExpectFailure(Run({"get", "NoSuchFeature"}), "NoSuchFeature: no such feature", "ERR_INVALID_FEATURE");
    ExpectFailure(Run({"set", "NoSuchFeature=1"}), "NoSuchFeature: no such feature", "ERR_INVALID_FEATURE");
    ExpectFailure(Run({"set", "Width"}), "set: 'Width' is not NAME=VALUE", "ERR_INVALID_ARGUMENT");
    ExpectFailure(Run({"set", "=5"}), "set: '=5' is not NAME=VALUE", "ERR_INVALID_ARGUMENT");
    ExpectFailure(Run({"set", "Width=wide"}), "set Width=wide: Width takes an integer", "ERR_INVALID_ARGUMENT");
    ExpectFailure(Run({"set", "Gain=1e999"}), "set Gain=1e999: Gain takes a finite number", "ERR_INVALID_ARGUMENT");
    ExpectFailure(Run({"set", "ReverseX=maybe"}), "set ReverseX=maybe: ReverseX takes true or false",
                  "ERR_INVALID_ARGUMENT");
    ExpectFailure(Run({"set", "PixelFormat=Mono7"}), "set PixelFormat=Mono7", "ERR_INVALID_ARGUMENT");
    ExpectFailure(Run({"set", "Width=-16"}), "set Width=-16", "ERR_INVALID_ARGUMENT");
    ExpectFailure(Run({"set", "SensorWidth=16"}), "set SensorWidth=16", "ERR_FEATURE_READ_ONLY");
    ExpectFailure(Run({"set", "AcquisitionStart=1"}), "set AcquisitionStart=1: AcquisitionStart is a command",
                  "ERR_INVALID_FEATURE");
    ExpectFailure(Run({"get", "TestWriteOnly"}), "get TestWriteOnly", "ERR_FEATURE_WRITE_ONLY");
    // A bad assignment anywhere stops the command before anything is written or even connected.
    const ToolRun mixed = Run({"set", "Width=1024", "Height"});
    ExpectFailure(mixed, "set: 'Height' is not NAME=VALUE", "ERR_INVALID_ARGUMENT");
}

TEST_F(Noxcam, ExecRunsCommands) {
    const ToolRun run = Run({"exec", "TriggerSoftware"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(Run({"get", "AcquisitionStop"}).out, "done\n");
    ExpectFailure(Run({"exec", "Width"}), "exec Width", "ERR_INVALID_FEATURE");
    ExpectFailure(Run({"exec", "NoSuchCommand"}), "exec NoSuchCommand", "ERR_INVALID_FEATURE");
}

TEST_F(Noxcam, XmlPrintsOrWritesTheDescription) {
    const ToolRun printed = Run({"xml"});
    EXPECT_EQ(printed.exitCode, 0);
    EXPECT_EQ(printed.out.rfind("<?xml", 0), 0u);
    EXPECT_NE(printed.out.find("<Category Name=\"Root\""), std::string::npos);

    const json written = RunJson({"xml", "-o", Path("camera.xml")});
    const std::string file = ReadFile(Path("camera.xml"));
    EXPECT_EQ(written["size"], file.size());
    EXPECT_EQ(file + (file.ends_with('\n') ? "" : "\n"), printed.out);
    EXPECT_EQ(RunJson({"xml"})["xml"], file);

    ExpectFailure(Run({"xml", "-o", Path("no/such/folder/camera.xml")}), "writing the description", "ERR_FILE_ACCESS");
}

TEST_F(Noxcam, ParameterFilesSaveAndLoad) {
    const ToolRun save = Run({"params", "save", Path("camera.txt")});
    EXPECT_EQ(save.exitCode, 0) << save.err;
    const std::string saved = ReadFile(Path("camera.txt"));
    EXPECT_NE(saved.find("\nWidth=4096\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("\nPixelFormat=Mono8\n"), std::string::npos) << saved;

    WriteFile(Path("smaller.txt"), "Width=512\nHeight=256\n");
    EXPECT_EQ(Run({"params", "load", Path("smaller.txt"), "--strict"}).exitCode, 0);
    // Without --strict a line that cannot be applied is skipped; with it, the load fails.
    WriteFile(Path("bad.txt"), "Width=512\nNoSuchFeature=1\n");
    EXPECT_EQ(Run({"params", "load", Path("bad.txt")}).exitCode, 0);
    ExpectFailure(Run({"params", "load", "--strict", Path("bad.txt")}), "loading the parameters from",
                  "ERR_INVALID_FEATURE");
    ExpectFailure(Run({"params", "load", Path("missing.txt")}), "loading the parameters from", "ERR_INVALID_FILENAME");
    ExpectFailure(Run({"params", "save", Path("no/such/folder/p.txt")}), "saving the parameters to",
                  "ERR_INVALID_FILENAME");
}

TEST_F(Noxcam, RegistersReadAndWrite) {
    EXPECT_EQ(Run({"reg", "read", "0"}).out, "0xc0a79ae5\n");
    EXPECT_EQ(RunJson({"reg", "read", "0x4"})["value"], 0x00020000);  // revision 2.0
    const ToolRun dump = Run({"reg", "read", "0x2000", "20"});
    EXPECT_EQ(dump.exitCode, 0) << dump.err;
    EXPECT_EQ(dump.out,
              "0x00002000  56 65 78 6f 20 56 69 73 69 6f 6e 00 00 00 00 00  |Vexo Vision.....|\n"
              "0x00002010  00 00 00 00                                      |....|\n");
    EXPECT_EQ(RunJson({"reg", "read", "0x2020", "6"})["bytes"], "56582d31324d");  // "VX-12M"

    const ToolRun write = Run({"reg", "write", "0x20C0", "0x41424344"});
    EXPECT_EQ(write.exitCode, 0) << write.err;
    EXPECT_EQ(write.out, "");

    ExpectFailure(Run({"reg", "read", "0x6084"}), "reg read 0x00006084", "ERR_GENCP_TOO_FEW_DATA");
    ExpectFailure(Run({"reg", "write", "0x0", "1"}), "reg write 0x00000000", "ERR_GENCP_TOO_FEW_DATA");
    ExpectFailure(Run({"reg", "read", "0x100000000"}), "reg read: '0x100000000' is not a 32-bit number",
                  "ERR_INVALID_ARGUMENT");
    ExpectFailure(Run({"reg", "read", "0", "2000000"}), "reg read: at most 1048576 bytes", "ERR_VALUE_OUT_OF_RANGE");
    ExpectFailure(Run({"reg", "read", "0", "0"}), "reg read 0x00000000", "ERR_INVALID_ARGUMENT");
}

TEST_F(Noxcam, PowerSwitchesAndReports) {
    const json status = RunJson({"power", "status"})["ports"];
    ASSERT_EQ(status.size(), 4u);
    // Ports 0 and 2 feed a camera (family C code 5), ports 1 and 3 are on without load (3).
    EXPECT_EQ(status[0]["state"], 5);
    EXPECT_EQ(status[1]["state"], 3);
    EXPECT_EQ(status[2]["state"], 5);
    EXPECT_DOUBLE_EQ(status[0]["volts"].get<double>(), 24.0);
    EXPECT_GT(status[0]["current"].get<double>(), 0.0);
    EXPECT_DOUBLE_EQ(status[1]["current"].get<double>(), 0.0);

    const json off = RunJson({"power", "off", "--ports", "0x4"})["ports"];
    ASSERT_EQ(off.size(), 1u);
    EXPECT_EQ(off[0]["port"], 2);
    EXPECT_EQ(off[0]["state"], 0);
    EXPECT_DOUBLE_EQ(off[0]["volts"].get<double>(), 0.0);
    EXPECT_EQ(RunJson({"power", "cycle", "--ports", "1"})["ports"][0]["state"], 5);
    EXPECT_EQ(RunJson({"power", "on"})["ports"].size(), 4u);

    ExpectFailure(Run({"power", "on", "--ports", "0x10"}), "power: '0x10' is no mask of the board's ports",
                  "ERR_INVALID_PORT");
    ExpectFailure(Run({"power", "status", "--ports", "0"}), "power: '0'", "ERR_INVALID_PORT");
}

TEST_F(Noxcam, LinkConfigurationFilesReplaceTheScan) {
    const ToolRun save = Run({"config", "save", Path("links.xml")});
    EXPECT_EQ(save.exitCode, 0) << save.err;
    EXPECT_EQ(save.out, "");
    const std::string saved = ReadFile(Path("links.xml"));
    EXPECT_NE(saved.find("speed=\"12500\""), std::string::npos) << saved;
    EXPECT_NE(saved.find("speed=\"6250\""), std::string::npos) << saved;
    // The scan behind it is remembered for the commands that follow, per board and instance.
    const char *instance = std::getenv("VEXO_SIM_INSTANCE");
    const std::string instanceName = instance != nullptr && *instance != '\0' ? instance : "default";
    EXPECT_EQ(ReadFile(Path("noxcam/board0-" + instanceName + ".xml")), saved);

    // A fresh process builds the cameras from the file, without a scan, and connects them.
    const json cameras = RunJson({"config", "load", Path("links.xml")})["cameras"];
    ASSERT_EQ(cameras.size(), 2u);
    EXPECT_EQ(cameras[0]["placeholder"], false);
    EXPECT_EQ(cameras[0]["links"], json::parse(R"([{"port": 0, "appletPort": 0}, {"port": 1, "appletPort": 1}])"));
    EXPECT_EQ(cameras[0]["bitRate"], 12500);
    EXPECT_EQ(cameras[1]["model"], "VX-4M");
    EXPECT_EQ(Run({"--config", Path("links.xml"), "-c", "1", "get", "DeviceModelName"}).out, "VX-4M\n");
    EXPECT_EQ(Run({"get", "Width", "--config", Path("links.xml")}).out, "4096\n");

    ExpectFailure(Run({"config", "load", Path("missing.xml")}), "loading the link configuration", "ERR_INVALID_FILENAME");
    ExpectFailure(Run({"--config", Path("missing.xml"), "get", "Width"}), "loading the link configuration",
                  "ERR_INVALID_FILENAME");
    ExpectFailure(Run({"config", "save", Path("no/such/folder/links.xml")}), "saving the link configuration",
                  "ERR_FILE_ACCESS");
}

TEST_F(Noxcam, LowLevelLinkProfilesStoreAndRestore) {
    const ToolRun store = Run({"profile", "store", Path("links.profile")});
    EXPECT_EQ(store.exitCode, 0) << store.err;
    EXPECT_EQ(ReadFile(Path("links.profile")).rfind("# low level link profile", 0), 0u);

    const ToolRun restore = Run({"profile", "restore", Path("links.profile")});
    EXPECT_EQ(restore.exitCode, 0) << restore.err;
    EXPECT_EQ(restore.out, "");
    // Another applet (one operator per port) refuses the routing; a file that is no profile is refused.
    ExpectFailure(Run({"profile", "restore", Path("links.profile")}, kOneCableTopology), "restoring the link profile",
                  "ERR_LINK_LAYOUT_MISMATCH");
    WriteFile(Path("other.txt"), "Width=512\n");
    ExpectFailure(Run({"profile", "restore", Path("other.txt")}), "restoring the link profile", "ERR_INVALID_ARGUMENT");
}

TEST_F(Noxcam, MonitorWatchesForTheTimeGivenAndReportsNoEventOnSteadyLinks) {
    const ToolRun run = Run({"monitor", "--seconds", "0.3"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "watching board 0 for 0.3 s\n");
    EXPECT_EQ(run.err, "");
    const ToolRun json = Run({"monitor", "--seconds", "0.1", "--json"});
    EXPECT_EQ(json.exitCode, 0);
    EXPECT_EQ(json.out, "");  // one JSON line per event, and there is none
}

TEST_F(Noxcam, VerboseTurnsOnTheLibrarysLogOnStderr) {
    const ToolRun quiet = Run({"get", "Width"});
    EXPECT_EQ(quiet.err, "");
    const ToolRun informed = Run({"-v", "get", "Width"});
    EXPECT_EQ(informed.out, "4096\n");
    EXPECT_NE(informed.err.find("[info]"), std::string::npos);
    EXPECT_EQ(informed.err.find("Entering"), std::string::npos);  // the call trace is level 1
    const ToolRun traced = Run({"-vv", "get", "Width"});
    EXPECT_NE(traced.err.find("Nox_getIntegerValue"), std::string::npos);
}

TEST_F(Noxcam, EverySubcommandHasHelp) {
    for (std::vector<std::string> command :
         {std::vector<std::string>{}, {"boards"}, {"scan"}, {"info"}, {"features"}, {"describe"}, {"get"}, {"set"},
          {"exec"}, {"xml"}, {"params"}, {"params", "save"}, {"params", "load"}, {"reg"}, {"reg", "read"},
          {"reg", "write"}, {"power"}, {"power", "on"}, {"power", "off"}, {"power", "cycle"}, {"power", "status"}, {"monitor"}, {"config"},
          {"config", "save"}, {"config", "load"}, {"profile"}, {"profile", "store"}, {"profile", "restore"}}) {
        command.push_back("--help");
        const ToolRun run = RunRaw(command);
        EXPECT_EQ(run.exitCode, 0) << command[0];
        EXPECT_NE(run.out.find("Usage:"), std::string::npos) << command[0];
    }
    // No subcommand, or an unknown one, is a usage error.
    EXPECT_NE(RunRaw({}).exitCode, 0);
    EXPECT_NE(RunRaw({"frobnicate"}).exitCode, 0);
    EXPECT_NE(RunRaw({"reg"}).exitCode, 0);
}

}  // namespace
}  // namespace nox_test
