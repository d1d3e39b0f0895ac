// Nox_connectCamera and the feature functions against the virtual frame
// grabber, through the exported interface.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "GenICamRoad.h"
#include "ZipBuilder.h"
#include "nox_genicam_ext.h"
#include "protocol/CxpBootstrap.h"

using nox_test::CameraRegister;
using nox_test::FloatBits;
using nox_test::IntegerFeature;
using nox_test::LoggedRoad;
using nox_test::StringFeature;

namespace {

// Registers of the simulated camera's features.
constexpr uint32_t kWidth = 0x6008;
constexpr uint32_t kPixelFormat = 0x6018;
constexpr uint32_t kExposureTime = 0x6020;
constexpr uint32_t kReverseX = 0x602C;
constexpr uint32_t kStreamPacketSizeMax = vexo::protocol::cxp::bootstrap::kStreamPacketSizeMax;

std::string OneCameraTopology(const std::string &xml) {
    return R"({ "boards": [ { "model": "cxp4-c", "cameras": [ { "links": [0], "xml": )" + xml + " } ] } ] }";
}

std::string Quoted(const std::filesystem::path &path) { return "\"" + path.string() + "\""; }

void WriteBytes(const std::filesystem::path &path, const std::vector<uint8_t> &bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char *>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
}

uint32_t GenICamConnected(NoxCameraHandle *camera) { return nox_test::CameraProperty(camera, "ISGENICAMCONNECTED"); }

// A description in which a feature lies on the camera's link configuration register.
constexpr char kLinkRegisterDescription[] = R"xml(<?xml version="1.0" encoding="utf-8"?>
<RegisterDescription ModelName="LinkRegister" VendorName="Nox" ToolTip="t"
    StandardNameSpace="None" SchemaMajorVersion="1" SchemaMinorVersion="1" SchemaSubMinorVersion="0"
    MajorVersion="1" MinorVersion="0" SubMinorVersion="0"
    ProductGuid="3A0B5C3E-1D7F-4E2A-9B8C-0F1E2D3C4B5A" VersionGuid="4B1C6D4F-2E80-4F3B-AC9D-1A2B3C4D5E6F"
    xmlns="http://www.genicam.org/GenApi/Version_1_1">
  <Category Name="Root"><pFeature>StreamPacketSizeMax</pFeature><pFeature>Width</pFeature></Category>
  <IntReg Name="StreamPacketSizeMax">
    <Address>0x4010</Address><Length>4</Length><AccessMode>RW</AccessMode><pPort>Device</pPort>
    <Sign>Unsigned</Sign><Endianess>BigEndian</Endianess>
  </IntReg>
  <IntReg Name="Width">
    <Address>0x6008</Address><Length>4</Length><AccessMode>RW</AccessMode><pPort>Device</pPort>
    <Sign>Unsigned</Sign><Endianess>BigEndian</Endianess>
  </IntReg>
  <Port Name="Device"/>
</RegisterDescription>
)xml";

TEST(ConnectCamera, EveryCameraOfTheDefaultTopologyLoadsItsZippedDescription) {
    LoggedRoad road;
    for (uint32_t slot : {0u, 1u}) {
        SCOPED_TRACE(slot);
        NoxCameraHandle *camera = road.Connected(slot);
        EXPECT_EQ(GenICamConnected(camera), 1u);
        EXPECT_EQ(StringFeature(camera, "DeviceVendorName"), "Vexo Vision");
        // The copy is the unzipped description.
        size_t size = 0;
        ASSERT_EQ(Nox_getGenICamXML(camera, nullptr, &size), ERR_NONE);
        std::string xml(size, '\0');
        ASSERT_EQ(Nox_getGenICamXML(camera, xml.data(), &size), ERR_NONE);
        EXPECT_NE(xml.find("<RegisterDescription"), std::string::npos);
    }
    EXPECT_EQ(StringFeature(road.Camera(1), "DeviceModelName"), "VX-4M");
    EXPECT_TRUE(road.Errors().empty()) << ::testing::PrintToString(road.Errors());
}

TEST(ConnectCamera, ACameraWhoseLinksWereNeverSetUpIsRefused) {
    LoggedRoad road(nullptr, false);
    NoxCameraHandle *camera = nullptr;
    ASSERT_EQ(Nox_getCamera(road.Board(), 0, &camera), ERR_NONE);
    EXPECT_EQ(Nox_connectCamera(camera), ERR_NO_PHYSICAL_CONNECTION);
    EXPECT_TRUE(road.Logged("Camera has no physical layer connection; Call Nox_LinkConnect first"));
}

TEST(Features, ValuesLandInTheCameraRegisters) {
    LoggedRoad road;
    NoxCameraHandle *camera = road.Connected(0);

    ASSERT_EQ(Nox_setIntegerValue(camera, "Width", 1024), ERR_NONE);
    EXPECT_EQ(CameraRegister(camera, kWidth), 1024u);
    ASSERT_EQ(Nox_setFloatValue(camera, "ExposureTime", 5000.5), ERR_NONE);
    EXPECT_EQ(CameraRegister(camera, kExposureTime), FloatBits(5000.5f));
    ASSERT_EQ(Nox_setBooleanValue(camera, "ReverseX", 7), ERR_NONE);
    EXPECT_EQ(CameraRegister(camera, kReverseX), 1u);
    ASSERT_EQ(Nox_setEnumerationValue(camera, "PixelFormat", "Mono12"), ERR_NONE);
    EXPECT_EQ(CameraRegister(camera, kPixelFormat), 0x01100005u);
    int64_t format = 0;
    EXPECT_EQ(Nox_getEnumerationValue(camera, "PixelFormat", &format), ERR_NONE);
    EXPECT_EQ(format, 0x01100005);
    EXPECT_EQ(IntegerFeature(camera, "PayloadSize"), 1024 * 3072 * 2);  // Height keeps its power-on value

    ASSERT_EQ(Nox_setStringValue(camera, "DeviceUserID", "line-3"), ERR_NONE);
    EXPECT_EQ(StringFeature(camera, "DeviceUserID"), "line-3");

    EXPECT_EQ(Nox_startAcquisition(camera), ERR_NONE);
    EXPECT_EQ(Nox_stopAcquisition(camera), ERR_NONE);
    EXPECT_TRUE(road.Errors().empty());
}

// A register is read once and kept until a write, a command or a raw write
// through the exported functions may have changed it.
TEST(Features, ARegisterIsReadOnceUntilSomethingMayHaveChangedIt) {
    LoggedRoad road;
    NoxCameraHandle *camera = road.Connected(0);
    IntegerFeature(camera, "Width");
    const uint64_t commands = nox_test::CommandsReceived(0);
    IntegerFeature(camera, "Width");
    EXPECT_EQ(nox_test::CommandsReceived(0), commands);

    ASSERT_EQ(Nox_registerWriteToCamera(camera, 2048, kWidth), ERR_NONE);
    EXPECT_EQ(IntegerFeature(camera, "Width"), 2048);
    const uint32_t bytes = 0x00020000;  // 512, big-endian on the wire
    ASSERT_EQ(Nox_memoryWriteToCamera(camera, &bytes, kWidth, 4), ERR_NONE);
    EXPECT_EQ(IntegerFeature(camera, "Width"), 512);
    ASSERT_EQ(Nox_DirectRegisterWrite(road.Board(), 0, kWidth, 256, 1), ERR_NONE);
    EXPECT_EQ(IntegerFeature(camera, "Width"), 256);

    const uint64_t beforeCommand = nox_test::CommandsReceived(0);
    ASSERT_EQ(Nox_executeCommand(camera, "AcquisitionStop"), ERR_NONE);
    IntegerFeature(camera, "Width");
    EXPECT_EQ(nox_test::CommandsReceived(0), beforeCommand + 2) << "the command and one read";
}

TEST(Features, SoftwareTriggerIsNotDoneUntilTheCameraClearsIt) {
    LoggedRoad road;
    NoxCameraHandle *camera = road.Connected(1);
    uint32_t done = 7;
    ASSERT_EQ(Nox_isCommandDone(camera, "TriggerSoftware", &done), ERR_NONE);
    EXPECT_EQ(done, 1u);
    ASSERT_EQ(Nox_executeCommand(camera, "TriggerSoftware"), ERR_NONE);
    ASSERT_EQ(Nox_isCommandDone(camera, "TriggerSoftware", &done), ERR_NONE);
    EXPECT_EQ(done, 0u);
    // The camera clears it 50 ms after execution; wait for that, bounded.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (done == 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ASSERT_EQ(Nox_isCommandDone(camera, "TriggerSoftware", &done), ERR_NONE);
    }
    EXPECT_EQ(done, 1u);
}

TEST(Features, RefusalsComeWithTheirStatusAndLeaveTheCameraAlone) {
    LoggedRoad road;
    NoxCameraHandle *camera = road.Camera(0);
    int64_t value = 42;
    EXPECT_EQ(Nox_getIntegerValue(camera, "Width", &value), ERR_NO_GENICAM_CONNECTION);
    EXPECT_TRUE(road.Logged("Failed to get camera node map"));
    EXPECT_EQ(Nox_executeCommand(camera, "TriggerSoftware"), ERR_NO_GENICAM_CONNECTION);
    road.Connected(0);

    EXPECT_EQ(Nox_getIntegerValue(camera, "ExposureTime", &value), ERR_INVALID_FEATURE);
    EXPECT_TRUE(road.Logged("Failed to get feature"));
    EXPECT_EQ(Nox_getIntegerValue(camera, "NoSuchFeature", &value), ERR_INVALID_FEATURE);
    EXPECT_EQ(Nox_getIntegerValue(camera, nullptr, &value), ERR_INVALID_FEATURE);
    EXPECT_EQ(Nox_getIntegerValue(camera, "Width", nullptr), ERR_INVALID_ARGUMENT);
    EXPECT_EQ(Nox_getIntegerValue(camera, "TestWriteOnly", &value), ERR_FEATURE_WRITE_ONLY);
    EXPECT_TRUE(road.Logged("Feature TestWriteOnly is write only"));
    EXPECT_EQ(Nox_setFloatValue(camera, "DeviceTemperature", 20.0), ERR_FEATURE_READ_ONLY);
    EXPECT_TRUE(road.Logged("Feature DeviceTemperature is read only"));
    EXPECT_EQ(value, 42);  // written only on success

    const uint32_t width = CameraRegister(camera, kWidth);
    const uint64_t commands = nox_test::CommandsReceived(0);
    EXPECT_EQ(Nox_setIntegerValue(camera, "Width", -1), ERR_INVALID_ARGUMENT);
    EXPECT_TRUE(road.Logged("Invalid value"));
    EXPECT_EQ(nox_test::CommandsReceived(0), commands);
    EXPECT_EQ(CameraRegister(camera, kWidth), width);

    EXPECT_EQ(Nox_setEnumerationValue(camera, "PixelFormat", "Mono99"), ERR_INVALID_ARGUMENT);
    EXPECT_TRUE(road.Logged("Invalid enum value"));
    EXPECT_EQ(Nox_setStringValue(camera, "DeviceUserID", nullptr), ERR_INVALID_ARGUMENT);
    EXPECT_EQ(Nox_executeCommand(camera, ""), ERR_INVALID_FEATURE);
    EXPECT_TRUE(road.Logged("Invalid feature Name"));
    // The placeholder of a free camera operator has no camera to read from.
    NoxCameraHandle *placeholder = road.Camera(2);
    EXPECT_LT(Nox_connectCamera(placeholder), 0);
    EXPECT_TRUE(road.Logged("Failed to read register: XML Manifest Size BSR"));
    // The camera's own refusal of a value arrives as an exception.
    EXPECT_EQ(Nox_setFloatValue(camera, "Gain", 99.0), ERR_EXCEPTION);
    EXPECT_TRUE(road.Logged("Exception while setting feature Gain: "));
}

TEST(Features, AFailedReadCarriesTheDescriptionOfItsStatus) {
    LoggedRoad road;
    NoxCameraHandle *camera = road.Connected(0);
    int64_t value = 0;
    EXPECT_EQ(Nox_getIntegerValue(camera, "TestFailingRegister", &value), ERR_EXCEPTION);
    // The status the camera's register path answers for that register.
    uint32_t raw = 0;
    const int32_t status = Nox_registerReadFromCamera(camera, &raw, 0x6084);
    ASSERT_LT(status, 0);
    // The port's own text, without the interpreter's node names in front of it.
    const std::vector<std::string> errors = road.Errors();
    ASSERT_FALSE(errors.empty());
    EXPECT_EQ(errors.back(), std::string("Exception while getting feature TestFailingRegister: ") +
                                 Nox_getErrorDescription(status));
}

TEST(Features, TextsStayValidUntilTheSameFeatureIsReadAgain) {
    LoggedRoad road;
    NoxCameraHandle *camera = road.Connected(0);
    const char *vendor = nullptr, *model = nullptr, *format = nullptr;
    ASSERT_EQ(Nox_getStringValue(camera, "DeviceVendorName", &vendor), ERR_NONE);
    ASSERT_EQ(Nox_getStringValue(camera, "DeviceModelName", &model), ERR_NONE);
    ASSERT_EQ(Nox_getEnumerationValueAsString(camera, "PixelFormat", &format), ERR_NONE);
    EXPECT_STREQ(vendor, "Vexo Vision");
    EXPECT_STREQ(model, "VX-12M");
    EXPECT_STREQ(format, "Mono8");
    ASSERT_EQ(Nox_setEnumerationValue(camera, "PixelFormat", "RGB8"), ERR_NONE);
    ASSERT_EQ(Nox_getEnumerationValueAsString(camera, "PixelFormat", &format), ERR_NONE);
    EXPECT_STREQ(format, "RGB8");
    EXPECT_STREQ(vendor, "Vexo Vision");
    EXPECT_STREQ(model, "VX-12M");
    // They outlive the GenICam connection, too.
    EXPECT_EQ(Nox_disconnectCamera(camera), ERR_NONE);
    EXPECT_STREQ(model, "VX-12M");
    EXPECT_EQ(Nox_getStringValue(camera, "DeviceModelName", &model), ERR_NO_GENICAM_CONNECTION);
}

// Access is settled before the wire: a write-only enumeration refuses reads,
// a feature is no more available than the node it hands its value to, and an
// enumeration takes an entry by name whether or not the entry is available now.
// A write to the link configuration register succeeds without reaching the camera.
TEST(Features, AccessIsSettledBeforeTheWireAndEnumerationWritesGoThrough) {
    LoggedRoad road;
    std::string description = kLinkRegisterDescription;
    description.insert(description.find("  <Port Name"), R"xml(  <Enumeration Name="TestMode">
    <EnumEntry Name="Off"><Value>0</Value></EnumEntry>
    <EnumEntry Name="On"><Value>1</Value></EnumEntry>
    <pValue>TestModeReg</pValue>
  </Enumeration>
  <IntReg Name="TestModeReg">
    <Address>0x6080</Address><Length>4</Length><AccessMode>WO</AccessMode><pPort>Device</pPort>
    <Sign>Unsigned</Sign><Endianess>BigEndian</Endianess>
  </IntReg>
  <Integer Name="Never"><Value>0</Value></Integer>
  <Integer Name="Hidden"><pValue>HiddenReg</pValue></Integer>
  <IntReg Name="HiddenReg">
    <pIsAvailable>Never</pIsAvailable>
    <Address>0x6008</Address><Length>4</Length><AccessMode>RW</AccessMode><pPort>Device</pPort>
    <Sign>Unsigned</Sign><Endianess>BigEndian</Endianess>
  </IntReg>
  <Enumeration Name="Mode">
    <EnumEntry Name="Continuous"><Value>0</Value></EnumEntry>
    <EnumEntry Name="SingleFrame"><pIsAvailable>Never</pIsAvailable><Value>1</Value></EnumEntry>
    <pValue>ModeReg</pValue>
  </Enumeration>
  <IntReg Name="ModeReg">
    <Address>0x6030</Address><Length>4</Length><AccessMode>RW</AccessMode><pPort>Device</pPort>
    <Sign>Unsigned</Sign><Endianess>BigEndian</Endianess>
  </IntReg>
)xml");
    const auto file = road.Directory() / "access.xml";
    nox_test::WriteFile(file, description);
    NoxCameraHandle *camera = road.Camera(0);
    ASSERT_EQ(Nox_LinkConnect(road.Board(), camera), ERR_NONE);
    ASSERT_EQ(Nox_connectCameraWithExternalXml(camera, file.c_str()), ERR_NONE);

    const uint64_t commands = nox_test::CommandsReceived(0);
    int64_t value = 42;
    const char *text = "untouched";
    EXPECT_EQ(Nox_getEnumerationValue(camera, "TestMode", &value), ERR_FEATURE_WRITE_ONLY);
    EXPECT_EQ(Nox_getEnumerationValueAsString(camera, "TestMode", &text), ERR_FEATURE_WRITE_ONLY);
    EXPECT_TRUE(road.Logged("Value is write only"));
    EXPECT_EQ(value, 42);
    EXPECT_STREQ(text, "untouched");
    EXPECT_EQ(Nox_getIntegerValue(camera, "Hidden", &value), ERR_EXCEPTION);
    EXPECT_EQ(Nox_setIntegerValue(camera, "Hidden", 64), ERR_EXCEPTION);
    EXPECT_TRUE(road.Logged("Exception while setting feature Hidden: Node 'Hidden' is not writable (access mode NA)"));
    EXPECT_EQ(value, 42);
    EXPECT_EQ(nox_test::CommandsReceived(0), commands) << "a refused access reached the camera";
    EXPECT_EQ(Nox_setEnumerationValue(camera, "TestMode", "On"), ERR_NONE);
    EXPECT_EQ(nox_test::CommandsReceived(0), commands + 1);

    ASSERT_EQ(Nox_setEnumerationValue(camera, "Mode", "SingleFrame"), ERR_NONE);
    EXPECT_EQ(CameraRegister(camera, 0x6030), 1u);
    EXPECT_EQ(Nox_getEnumerationValueAsString(camera, "Mode", &text), ERR_NONE);
    EXPECT_STREQ(text, "SingleFrame");
    // The feature information says the same: the entry unavailable, the feature not accessible.
    NoxFeatureInfo *info = nullptr;
    ASSERT_EQ(Nox_getFeatureInfo(camera, "Mode", &info), ERR_NONE);
    EXPECT_EQ(info->entries[1].available, 0u);
    EXPECT_EQ(Nox_freeFeatureInfo(info), ERR_NONE);
    ASSERT_EQ(Nox_getFeatureInfo(camera, "Hidden", &info), ERR_NONE);
    EXPECT_EQ(info->access, NOX_ACCESS_NA);
    EXPECT_EQ(Nox_freeFeatureInfo(info), ERR_NONE);

    const uint32_t packetSize = CameraRegister(camera, kStreamPacketSizeMax);
    EXPECT_EQ(Nox_setIntegerValue(camera, "StreamPacketSizeMax", packetSize / 2), ERR_NONE);
    EXPECT_EQ(CameraRegister(camera, kStreamPacketSizeMax), packetSize);
}

TEST(ConnectCamera, BadDescriptionsFromTheCameraFailClearly) {
    nox_test::TempDirectory directory;
    const std::string xml = "<html><body/></html>";
    std::vector<uint8_t> truncated = nox_test::ZipBuilder().Add("camera.xml", std::string(4000, 'x')).Build();
    truncated.resize(truncated.size() - 30);
    std::vector<uint8_t> wrongSize = nox_test::ZipBuilder().Add("camera.xml", std::string(4000, 'x')).Build();
    nox_test::ZipBuilder::Patch32(wrongSize, nox_test::ZipBuilder::FirstCentralHeader(wrongSize) + 24, 5000);
    WriteBytes(directory / "truncated.zip", truncated);
    WriteBytes(directory / "wrong-size.zip", wrongSize);
    nox_test::WriteFile(directory / "page.xml", xml);
    // A negative register length used to pass and abort the process at the first read.
    std::string negativeLength = kLinkRegisterDescription;
    negativeLength.replace(negativeLength.find("<Length>4</Length>"), 18, "<Length>-2</Length>");
    nox_test::WriteFile(directory / "negative-length.xml", negativeLength);
    const struct {
        const char *file;
        int32_t status;
        const char *message;
    } cases[] = {{"truncated.zip", ERR_EXCEPTION, "Failed to unzip XML from camera"},
                 {"wrong-size.zip", ERR_EXCEPTION, "Failed to unzip XML from camera"},
                 {"page.xml", ERR_INVALID_DATA,
                  "Exception while interpreting camera XML; Exception: Camera description refused: the root element"},
                 {"negative-length.xml", ERR_INVALID_DATA, "Length of 'StreamPacketSizeMax' is -2"}};
    for (const auto &badCase : cases) {
        LoggedRoad road(
            OneCameraTopology(R"({ "file": )" + Quoted(directory / badCase.file) + R"(, "zip": false })").c_str());
        NoxCameraHandle *camera = road.Camera(0);
        ASSERT_EQ(Nox_LinkConnect(road.Board(), camera), ERR_NONE);
        EXPECT_EQ(Nox_connectCamera(camera), badCase.status) << badCase.file;
        EXPECT_TRUE(road.Logged(badCase.message)) << badCase.file;
        EXPECT_EQ(GenICamConnected(camera), 0u);
        int64_t value = 0;
        EXPECT_EQ(Nox_getIntegerValue(camera, "Width", &value), ERR_NO_GENICAM_CONNECTION);
    }
}

TEST(ConnectCameraWithExternalXml, RefusesFilesThatCannotConnectAndDropsTheEarlierConnection) {
    LoggedRoad road;
    NoxCameraHandle *camera = road.Camera(0);
    const auto empty = road.Directory() / "empty.xml";
    nox_test::WriteFile(empty, "");
    // 100 MB without writing them: the size alone must refuse it.
    const auto huge = road.Directory() / "huge.xml";
    nox_test::WriteFile(huge, "<");
    std::filesystem::resize_file(huge, 100u << 20);

    EXPECT_EQ(Nox_connectCameraWithExternalXml(camera, ""), ERR_INVALID_FILENAME);
    EXPECT_TRUE(road.Logged("Invalid file name"));
    EXPECT_EQ(Nox_connectCameraWithExternalXml(camera, (road.Directory() / "none.xml").c_str()), ERR_FILE_NOT_FOUND);
    EXPECT_TRUE(road.Logged("File not found"));
    EXPECT_EQ(Nox_connectCameraWithExternalXml(camera, empty.c_str()), ERR_FILE_ACCESS);
    EXPECT_EQ(Nox_connectCameraWithExternalXml(camera, huge.c_str()), ERR_FILE_ACCESS);
    EXPECT_TRUE(road.Logged("Failed to load file"));
    EXPECT_EQ(GenICamConnected(camera), 0u);

    // A description whose registers hang on another port than "Device".
    std::string otherPort = kLinkRegisterDescription;
    for (size_t at; (at = otherPort.find("Device")) != std::string::npos;) otherPort.replace(at, 6, "Other");
    const auto file = road.Directory() / "other-port.xml";
    nox_test::WriteFile(file, otherPort);
    EXPECT_EQ(Nox_connectCameraWithExternalXml(camera, file.c_str()), ERR_EXCEPTION);
    EXPECT_TRUE(road.Logged("Failed to connect node map to transport layer"));
    EXPECT_EQ(GenICamConnected(camera), 0u);

    // A failed connect drops the earlier connection.
    road.Connected(0);
    const auto bad = road.Directory() / "bad.xml";
    nox_test::WriteFile(bad, "<RegisterDescription/>");
    EXPECT_EQ(Nox_connectCameraWithExternalXml(camera, bad.c_str()), ERR_EXCEPTION);
    EXPECT_EQ(GenICamConnected(camera), 0u);
    int64_t value = 0;
    EXPECT_EQ(Nox_getIntegerValue(camera, "Width", &value), ERR_NO_GENICAM_CONNECTION);
    // The file's copy stays.
    size_t size = 0;
    ASSERT_EQ(Nox_getGenICamXML(camera, nullptr, &size), ERR_NONE);
    EXPECT_EQ(size, std::strlen("<RegisterDescription/>") + 1);
    EXPECT_EQ(Nox_connectCamera(camera), ERR_NONE);
    IntegerFeature(camera, "Width");
}

TEST(ConnectCameraWithExternalXml, ASchemaOneDescriptionLoadsAndItsRomNodesRead) {
    LoggedRoad road;
    NoxCameraHandle *camera = road.Camera(0);
    ASSERT_EQ(Nox_LinkConnect(road.Board(), camera), ERR_NONE);
    ASSERT_EQ(Nox_connectCameraWithExternalXml(camera, NOX_TEST_DATA "/SchemaOneCamera.xml"), ERR_NONE);
    EXPECT_EQ(IntegerFeature(camera, "SensorWidthKey"), 4096);
    EXPECT_EQ(IntegerFeature(camera, "ExposureBlock"), 3072);
    EXPECT_EQ(StringFeature(camera, "VendorText"), "Vexo Vision");
    EXPECT_EQ(Nox_setIntegerValue(camera, "Width", 1024), ERR_NONE);
    EXPECT_EQ(CameraRegister(camera, kWidth), 1024u);
    EXPECT_EQ(Nox_setIntegerValue(camera, "SensorWidthKey", 1), ERR_FEATURE_READ_ONLY);
    EXPECT_EQ(Nox_SaveCameraParameters(camera, (road.Directory() / "schema-one.txt").c_str()), ERR_NONE);
    EXPECT_TRUE(road.Errors().size() == 1) << ::testing::PrintToString(road.Errors());
}

TEST(GenICamXml, CopyIsReportedReplacedAndSizedSafely) {
    LoggedRoad road;
    NoxCameraHandle *camera = road.Camera(0);
    // (The refusals of a missing size, an empty copy and a stale camera are the stale handles case's.)
    // No copy yet: size 0, and a zero byte only where there is room for it.
    size_t size = 7;
    ASSERT_EQ(Nox_getGenICamXML(camera, nullptr, &size), ERR_NONE);
    EXPECT_EQ(size, 0u);
    char buffer[32] = "unchanged";
    ASSERT_EQ(Nox_getGenICamXML(camera, buffer, &size), ERR_NONE);
    EXPECT_STREQ(buffer, "unchanged");
    size = sizeof buffer;
    ASSERT_EQ(Nox_getGenICamXML(camera, buffer, &size), ERR_NONE);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(buffer[0], '\0');

    EXPECT_EQ(Nox_setGenICamXML(camera, nullptr, 4), ERR_INVALID_DATA);
    EXPECT_EQ(Nox_setGenICamXML(camera, "<a/>", 0), ERR_INVALID_DATA);
    ASSERT_EQ(Nox_setGenICamXML(camera, "<a/>", 4), ERR_NONE);
    size = 3;
    EXPECT_EQ(Nox_getGenICamXML(camera, buffer, &size), ERR_INVALID_ARGUMENT);
    size = sizeof buffer;
    ASSERT_EQ(Nox_getGenICamXML(camera, buffer, &size), ERR_NONE);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(std::string(buffer, 4), "<a/>");
    // The node map is not touched by a new copy.
    EXPECT_EQ(GenICamConnected(camera), 0u);
}

}  // namespace
