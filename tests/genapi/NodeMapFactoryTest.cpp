#include <gtest/gtest.h>

#include <cstring>

#include "MemoryPort.h"
#include "TestDescription.h"
#include "ZipBuilder.h"
#include "genapi/GenApi.h"

using namespace GenApi;
using nox_test::kTestDescription;
using nox_test::MemoryPort;
using nox_test::ZipBuilder;

namespace {

int64_t ReadWidth(INodeMap &map, MemoryPort &port) {
    EXPECT_TRUE(map.Connect(&port));
    return CIntegerPtr(map.GetNode("Width"))->GetValue();
}

// The library hands its descriptions over in memory (the road tests load zipped and plain ones
// from cameras and files); only tests build from a file name, so that path is not tested here.
TEST(NodeMapFactory, BuildsFromPlainOrZippedBytes) {
    MemoryPort port;
    port.PutBig32(0x100, 800);
    const std::string xml = kTestDescription;
    const auto zipped = ZipBuilder().Add("camera.xml", xml).Build();
    EXPECT_EQ(ReadWidth(*CNodeMapFactory(ContentType_Auto, zipped.data(), zipped.size()).CreateNodeMap(), port), 800);
    EXPECT_EQ(ReadWidth(*CNodeMapFactory(ContentType_Xml, xml.data(), xml.size()).CreateNodeMap(), port), 800);
    EXPECT_THROW(CNodeMapFactory(ContentType_Auto, nullptr, 10), GenICam::RuntimeException);
    EXPECT_THROW(CNodeMapFactory(ContentType_ZippedXml, xml.data(), xml.size()), GenICam::RuntimeException);
    // A zip whose entry is no description is refused when the map is made.
    const auto wrongEntry = ZipBuilder().Add("readme.txt", "no description").Build();
    CNodeMapFactory factory(ContentType_Auto, wrongEntry.data(), wrongEntry.size());
    EXPECT_THROW(factory.CreateNodeMap(), GenICam::RuntimeException);
}

TEST(NodeMapFactory, ReleasesItsDescriptionOnlyWhenAsked) {
    CNodeMapFactory factory(ContentType_Auto, kTestDescription, std::strlen(kTestDescription));
    auto first = factory.CreateNodeMap("Device", false);
    auto second = factory.CreateNodeMap("Camera2", true);
    EXPECT_THROW(factory.CreateNodeMap(), GenICam::LogicalErrorException);
    EXPECT_EQ(second->GetDeviceName(), "Camera2");

    // Two maps of one description are independent.
    MemoryPort firstPort;
    MemoryPort secondPort;
    firstPort.PutBig32(0x100, 64);
    secondPort.PutBig32(0x100, 128);
    EXPECT_EQ(ReadWidth(*first, firstPort), 64);
    EXPECT_EQ(ReadWidth(*second, secondPort), 128);
}

TEST(NodeMapRef, OwnsOneNodeMapAndConnectsItsPort) {
    CNodeMapRef reference("Device");
    EXPECT_THROW(reference._GetNode("Width"), GenICam::LogicalErrorException);
    MemoryPort port;
    EXPECT_THROW(reference._Initialize(nullptr), GenICam::LogicalErrorException);

    CNodeMapFactory factory(ContentType_Auto, kTestDescription, std::strlen(kTestDescription));
    reference._Initialize(factory.CreateNodeMap("Device", false));
    EXPECT_THROW(reference._Initialize(factory.CreateNodeMap("Device", false)), GenICam::RuntimeException);
    EXPECT_FALSE(reference._Connect(&port, "Camera"));
    EXPECT_TRUE(reference._Connect(&port, "Device"));
    port.PutBig32(0x100, 96);
    EXPECT_EQ(CIntegerPtr(reference._GetNode("Width"))->GetValue(), 96);
}

TEST(GenericException, FormatsItsDescriptionAndCutsItAt256Characters) {
    const GenICam::AccessException formatted = ACCESS_EXCEPTION("Feature %s at 0x%x", "Width", 0x100);
    EXPECT_STREQ(formatted.what(), "Feature Width at 0x100");
    EXPECT_STREQ(formatted.GetDescription(), formatted.what());
    const std::string longText(400, 'x');
    const GenICam::RuntimeException cut = RUNTIME_EXCEPTION("%s", longText.c_str());
    EXPECT_EQ(std::string(cut.what()), longText.substr(0, 256));
}

}  // namespace
