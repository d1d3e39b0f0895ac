// The camera's GenICam description as the system retrieves it, and the
// feature registers it describes.
#include <gtest/gtest.h>

#include <bit>
#include <fstream>
#include <set>

#include "SimHarness.h"

using namespace simtest;
using SimDescription = SimTest;

namespace {

struct Url {
    std::string name;
    uint32_t address = 0;
    uint32_t length = 0;
};

Url ReadUrl(const Session &board, uint32_t appletPort) {
    const std::optional<uint32_t> where = board.ReadCamera(appletPort, bootstrap::kXmlUrlAddress);
    EXPECT_TRUE(where && *where);
    const std::vector<uint8_t> bytes = board.ReadCameraBytes(appletPort, where.value_or(0), 256);
    const std::string text(bytes.begin(), std::find(bytes.begin(), bytes.end(), 0));
    EXPECT_TRUE(text.starts_with("Local:")) << text;
    const size_t first = text.find(';'), second = text.find(';', first + 1);
    EXPECT_NE(second, std::string::npos) << text;
    if (second == std::string::npos) return {};
    return {text.substr(6, first - 6), uint32_t(std::stoul(text.substr(first + 1, second - first - 1), nullptr, 16)),
            uint32_t(std::stoul(text.substr(second + 1), nullptr, 16))};
}

std::vector<uint8_t> ReadDescription(const Session &board, uint32_t appletPort, Url *url = nullptr) {
    const Url found = ReadUrl(board, appletPort);
    if (url) *url = found;
    return board.ReadCameraBytes(appletPort, found.address, found.length);
}

// Names reachable from the category Root through the <pFeature> links of categories.
std::set<std::string> UnderRoot(const std::string &xml) {
    std::set<std::string> found;
    for (std::vector<std::string> open{"Root"}; !open.empty();) {
        const size_t start = xml.find("<Category Name=\"" + open.back() + "\"");
        open.pop_back();
        const size_t end = start == std::string::npos ? start : xml.find("</Category>", start);
        for (size_t at = xml.find("<pFeature>", start); at < end; at = xml.find("<pFeature>", at + 1)) {
            const std::string feature = xml.substr(at + 10, xml.find('<', at + 10) - at - 10);
            if (found.insert(feature).second) open.push_back(feature);
        }
    }
    return found;
}

void ExpectDescribesTheCamera(const std::string &xml) {
    ASSERT_TRUE(xml.starts_with("<?xml")) << xml.substr(0, 64);
    EXPECT_NE(xml.find("http://www.genicam.org/GenApi/Version_1_1"), std::string::npos);
    const std::set<std::string> underRoot = UnderRoot(xml);
    // Kinds, access and values are driven through the library by the GenICam,
    // parameter-file and Camera Link road tests, which parse the description;
    // here: each feature has its node and is reachable from Root.
    for (const char *name : {"DeviceVendorName", "DeviceModelName", "DeviceManufacturerInfo", "DeviceVersion",
                             "DeviceFirmwareVersion", "DeviceSerialNumber", "DeviceUserID", "SensorWidth",
                             "SensorHeight", "Width", "Height", "OffsetX", "OffsetY", "PixelFormat", "PayloadSize",
                             "ExposureTime", "Gain", "DeviceTemperature", "ReverseX", "AcquisitionMode",
                             "AcquisitionStart", "AcquisitionStop", "TriggerSelector", "TriggerMode", "TriggerSource",
                             "TriggerSoftware", "SequencerSetSelector", "SequencerExposureTime", "TestWriteOnly",
                             "TestFailingRegister"}) {
        EXPECT_NE(xml.find(std::string(" Name=\"") + name + "\""), std::string::npos) << name;
        EXPECT_TRUE(underRoot.count(name)) << name << " is not reachable from the category Root";
    }
}

std::string Text(const std::vector<uint8_t> &bytes) { return {bytes.begin(), bytes.end()}; }

float AsFloat(uint32_t bits) { return std::bit_cast<float>(bits); }

}  // namespace

TEST_F(SimDescription, BuiltInDescriptionIsServedZippedAndReachesEveryFeatureFromRoot) {
    Session board;
    Url url;
    const std::vector<uint8_t> zip = ReadDescription(board, 0, &url);
    EXPECT_EQ(url.name, "VexoVision_VirtualCxpCamera.zip");
    std::string entry;
    const std::string xml = FirstEntry(zip, &entry);
    EXPECT_EQ(entry, "VexoVision_VirtualCxpCamera.xml");
    ExpectDescribesTheCamera(xml);
    EXPECT_EQ(Text(ReadDescription(board, 2)), Text(zip)) << "both cameras serve the same description";

    // The tool writes the same description as plain XML.
    const auto [status, written] = RunCommand(VEXOSIM_TOOL " xml");
    EXPECT_EQ(status, 0);
    EXPECT_EQ(written, xml);
}

TEST_F(SimDescription, TopologyChoosesPlainXmlOrAnotherFile) {
    const std::string custom = testing::TempDir() + "/custom-description.xml";
    const std::string content = "<?xml version=\"1.0\"?><RegisterDescription/>";
    std::ofstream(custom, std::ios::binary) << content;
    LoadTopology(R"({"boards": [{"model": "cxp4-c", "cameras": [
        {"links": [0], "xml": {"zip": false}},
        {"links": [1], "xml": {"file": ")" + custom + R"("}},
        {"links": [2], "xml": {"file": ")" + custom + R"(", "zip": false}}]}]})");
    Session board;
    Url url;
    const std::string plain = Text(ReadDescription(board, 0, &url));
    EXPECT_EQ(url.name, "VexoVision_VirtualCxpCamera.xml");
    ExpectDescribesTheCamera(plain);

    std::string entry;
    EXPECT_EQ(FirstEntry(ReadDescription(board, 1, &url), &entry), content);
    EXPECT_EQ(url.name, "custom-description.zip");
    EXPECT_EQ(entry, "custom-description.xml");
    EXPECT_EQ(Text(ReadDescription(board, 2, &url)), content);
    EXPECT_EQ(url.name, "custom-description.xml");

    ExpectRejected(R"({"boards": [{"model": "cxp2-c", "cameras": [
        {"links": [0], "xml": {"file": "/nonexistent/description.xml"}}]}]})", "/nonexistent/description.xml");
}

// The software trigger's 50 ms, write-only and failing registers, the selectors and
// the camera's refusal of a gain out of range are driven through the library by
// GenICamRoadTest, WireFormatTest and ParameterFileRoadTest.
TEST_F(SimDescription, FeatureRegistersBehaveAsDescribed) {
    Session board;
    EXPECT_EQ(board.WriteCamera(0, 0x6000, 2048), AckWord(AckCode::kWriteToReadOnly));  // SensorWidth
    EXPECT_EQ(board.WriteCamera(0, 0x6020, std::bit_cast<uint32_t>(5.0f)), AckWord(AckCode::kInvalidData))
        << "below 10 us";

    // Image size: steps of 16 inside the sensor, payload from size and format.
    EXPECT_EQ(board.WriteCamera(0, 0x6008, 17), AckWord(AckCode::kInvalidData));
    EXPECT_EQ(board.WriteCamera(0, 0x6010, 16), AckWord(AckCode::kInvalidData))
        << "full width leaves no room for an offset";
    EXPECT_EQ(board.WriteCamera(0, 0x6008, 4080), kAckSuccess);
    EXPECT_EQ(board.WriteCamera(0, 0x6010, 16), kAckSuccess);
    EXPECT_EQ(board.WriteCamera(0, 0x6018, 0x02180014), kAckSuccess);  // RGB8
    EXPECT_EQ(board.ReadCamera(0, 0x601C), 4080u * 3072u * 3u);
    EXPECT_EQ(board.WriteCamera(0, 0x6018, 0x01080002), AckWord(AckCode::kInvalidData));
    EXPECT_EQ(AsFloat(board.ReadCamera(0, 0x6028).value()), 42.5f);
}
