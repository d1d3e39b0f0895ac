#include <gtest/gtest.h>

#include <array>

#include "genicam/XmlUrl.h"
#include "nox_genicam.h"

using vexo::genicam::XmlUrl;

namespace {

void ExpectUrl(const char *text, const std::string &fileName, uint32_t address, uint32_t length) {
    const auto result = XmlUrl::Parse(text);
    ASSERT_TRUE(result.Ok()) << text << ": " << result.message;
    EXPECT_EQ(result.url.fileName, fileName) << text;
    EXPECT_EQ(result.url.address, address) << text;
    EXPECT_EQ(result.url.length, length) << text;
}

void ExpectRefused(const char *text, const char *message) {
    const auto result = XmlUrl::Parse(text);
    EXPECT_EQ(result.status, ERR_EXCEPTION) << text;
    EXPECT_EQ(result.message, message) << text;
}

TEST(XmlUrl, AcceptsLocalUrlsInTheirVariants) {
    ExpectUrl("Local:camera.zip;8000;1A3F", "camera.zip", 0x8000, 0x1A3F);
    ExpectUrl("local:Camera_v1.xml;0x10000;0X200", "Camera_v1.xml", 0x10000, 0x200);
    ExpectUrl("LOCAL:c.xml;0xfffff000;0x1000", "c.xml", 0xFFFFF000, 0x1000);  // ends at 2^32
    ExpectUrl("Local:c.zip;000000008000;00ff", "c.zip", 0x8000, 0xFF);
    ExpectUrl("Local:c.zip;8000;1A3F?SchemaVersion=1.1.0", "c.zip", 0x8000, 0x1A3F);
    ExpectUrl("Local:c.zip; 8000 ; 1A3F ", "c.zip", 0x8000, 0x1A3F);
    ExpectUrl("Local:;0;4000000", "", 0, 64u << 20);
    EXPECT_TRUE(XmlUrl::IsLocal("lOcAl:x"));
    EXPECT_FALSE(XmlUrl::IsLocal("Local"));
}

TEST(XmlUrl, RefusesMalformedAndForeignUrls) {
    const char *const invalid = "Invalid format of XML URL";
    ExpectRefused("Local:camera.zip;8000", invalid);
    ExpectRefused("Local:camera.zip;;100", invalid);
    ExpectRefused("Local:camera.zip;0x;100", invalid);
    ExpectRefused("Local:camera.zip;10G0;100", invalid);
    ExpectRefused("Local:camera.zip;100;-5", invalid);
    ExpectRefused("Local:camera.zip;100;10;20", invalid);
    ExpectRefused("Local:camera.zip;100000000;10", invalid);
    ExpectRefused("Local:camera.zip;100;0", invalid);
    ExpectRefused("Local:camera.zip;FFFFFF00;101", invalid);
    ExpectRefused("Local:camera.zip;0;4000001", invalid);  // above 64 MiB

    const char *const notFound = "No valid XML URL found";
    ExpectRefused("", notFound);
    ExpectRefused("http://www.example.com/camera.zip", notFound);
    ExpectRefused(" Local:camera.zip;8000;100", notFound);
}

TEST(XmlUrl, ManifestEntryBecomesALocalUrl) {
    std::array<uint8_t, XmlUrl::kManifestEntrySize> entry{};
    const uint8_t head[24] = {0x01, 0x02, 0x00, 0x03,  // version 1.2.3
                              0x00, 0x00, 0x04, 0x00,  // file type 1: zip
                              0, 0, 0, 0, 0, 0, 0x80, 0x00, 0, 0, 0, 0, 0, 0, 0x1A, 0x3F};
    std::copy(std::begin(head), std::end(head), entry.begin());
    const std::string url = XmlUrl::FromManifestEntry(entry);
    EXPECT_EQ(url, "Local:ManifestXmlFile_1.2.3.zip;8000;1a3f");
    ExpectUrl(url.c_str(), "ManifestXmlFile_1.2.3.zip", 0x8000, 0x1A3F);

    entry[6] = 0x08;  // file type 2: anything but 1 is plain XML
    entry[8] = 0x01;  // an address beyond 32 bits cannot be read
    const std::string high = XmlUrl::FromManifestEntry(entry);
    EXPECT_EQ(high, "Local:ManifestXmlFile_1.2.3.xml;100000000008000;1a3f");
    ExpectRefused(high.c_str(), "Invalid format of XML URL");
}

}  // namespace
