#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ZipBuilder.h"
#include "genicam/DescriptionReader.h"
#include "nox_genicam.h"
#include "protocol/CxpBootstrap.h"

using nox_test::ZipBuilder;
using vexo::genicam::DescriptionReader;
namespace bootstrap = vexo::protocol::cxp::bootstrap;
using vexo::genicam::RetrievedDescription;

namespace {

constexpr uint32_t kUrlAddress = 0x1000;
constexpr uint32_t kFileAddress = 0x2000;

// A description that does not shrink much when zipped, so that its file takes several reads.
std::string Description() {
    std::string body;
    for (uint32_t i = 0; body.size() < 3000; ++i) body += "<Node Name=\"N" + std::to_string(i * 2654435761u) + "\"/>";
    return "<?xml version=\"1.0\"?><RegisterDescription>" + body + "</RegisterDescription>";
}
const std::string kXml = Description();

// A camera's register space: 32-bit registers by address and a byte area
// from 0 on. Every access is recorded; `refuse` makes chosen reads fail.
class FakeRegisters : public vexo::genicam::CameraRegisterAccess {
public:
    struct Read {
        uint32_t address;
        uint32_t length;
    };

    FakeRegisters() : bytes(0x40000, 0) {
        registers[bootstrap::kXmlManifestSize] = 1;
        registers[bootstrap::kXmlUrlAddress] = kUrlAddress;
    }

    int32_t ReadRegister(uint32_t address, uint32_t &value) override {
        registerReads.push_back(address);
        auto found = registers.find(address);
        if (found == registers.end()) return ERR_CXP_INVALID_ADDRESS;
        value = found->second;
        return 0;
    }
    int32_t WriteRegister(uint32_t address, uint32_t value) override {
        writes[address] = value;
        return 0;
    }
    int32_t ReadBytes(uint32_t address, uint8_t *buffer, uint32_t length) override {
        reads.push_back({address, length});
        if (refuse && refuse(address, length)) return ERR_CXP_INVALID_ADDRESS;
        if (uint64_t{address} + length > bytes.size()) return ERR_CXP_INVALID_ADDRESS;
        std::copy_n(bytes.begin() + address, length, buffer);
        return 0;
    }

    void Put(uint32_t address, const std::string &text) { std::copy(text.begin(), text.end(), bytes.begin() + address); }
    void Put(uint32_t address, const std::vector<uint8_t> &data) {
        std::copy(data.begin(), data.end(), bytes.begin() + address);
    }
    // The URL text (zero-terminated) and the file it names.
    void Serve(const std::string &url, const std::vector<uint8_t> &file) {
        Put(kUrlAddress, url + std::string(1, '\0'));
        Put(kFileAddress, file);
    }
    uint32_t LargestRead(uint32_t from, uint32_t to) const {
        uint32_t largest = 0;
        for (const Read &read : reads)
            if (read.address >= from && read.address < to) largest = std::max(largest, read.length);
        return largest;
    }

    std::map<uint32_t, uint32_t> registers;
    std::map<uint32_t, uint32_t> writes;
    std::vector<uint8_t> bytes;
    std::vector<uint32_t> registerReads;
    std::vector<Read> reads;
    std::function<bool(uint32_t address, uint32_t length)> refuse;
};

struct RecordingLog : vexo::genicam::DescriptionLog {
    void Trace(const std::string &line) override { traces.push_back(line); }
    void Info(const std::string &message) override { infos.push_back(message); }
    void Error(const std::string &message) override { errors.push_back(message); }
    bool Traced(const std::string &line) const { return std::count(traces.begin(), traces.end(), line) == 1; }

    std::vector<std::string> traces, infos, errors;
};

std::vector<uint8_t> Bytes(const std::string &text) { return {text.begin(), text.end()}; }

std::string Hex(size_t value) {
    char text[32];
    std::snprintf(text, sizeof text, "%zx", value);
    return text;
}

std::string UrlFor(const std::string &name, size_t length, const std::string &prefix = "Local:") {
    return prefix + name + ";0x" + Hex(kFileAddress) + ";0x" + Hex(length);
}

struct Road {
    RetrievedDescription Read(uint32_t controlPacketSize = 512) {
        return DescriptionReader(camera, log).ReadCoaXPress(controlPacketSize);
    }
    std::string Text(const RetrievedDescription &description) const {
        return {description.bytes.begin(), description.bytes.end()};
    }
    FakeRegisters camera;
    RecordingLog log;
};

// Files are read in chunks of the control packet size less 24, after manifest entry 0 is selected. (Zipped
// descriptions from the simulated camera are the road's.)
TEST(DescriptionReader, ChunkSizeFollowsTheControlPacketSize) {
    const auto largestFileRead = [](uint32_t controlPacketSize, std::optional<uint32_t> cameraPacketSize) {
        Road road;
        if (cameraPacketSize) road.camera.registers[bootstrap::kControlPacketSizeMax] = *cameraPacketSize;
        road.camera.Serve(UrlFor("camera.xml", kXml.size()), Bytes(kXml));
        const RetrievedDescription description = road.Read(controlPacketSize);
        EXPECT_TRUE(description.Ok());
        EXPECT_EQ(road.Text(description), kXml);
        EXPECT_EQ(road.camera.writes.at(bootstrap::kXmlManifestSelector), 0u);
        // The camera's own size is asked only when none is known.
        const bool asked = std::count(road.camera.registerReads.begin(), road.camera.registerReads.end(),
                                      bootstrap::kControlPacketSizeMax) > 0;
        EXPECT_EQ(asked, controlPacketSize == 0);
        return road.camera.LargestRead(kFileAddress, 0x40000);
    };
    EXPECT_EQ(largestFileRead(0, std::nullopt), 104u);  // unreadable: 128
    EXPECT_EQ(largestFileRead(0, 300), 276u);
    EXPECT_EQ(largestFileRead(0, 4096), 488u);
    EXPECT_EQ(largestFileRead(2000, std::nullopt), 488u);
    EXPECT_EQ(largestFileRead(64, std::nullopt), 104u);
}

// The URL forms themselves are the XML URL suite's; here, that a refusal ends the read with its record.
TEST(DescriptionReader, RefusesAMalformedUrl) {
    Road road;
    road.camera.Serve("Local:camera.xml;2000", Bytes(kXml));
    EXPECT_EQ(road.Read().status, ERR_EXCEPTION);
    EXPECT_EQ(road.log.errors, std::vector<std::string>{"Invalid format of XML URL"});
}

TEST(DescriptionReader, RefusesALengthAbove64MiBBeforeReadingTheFile) {
    // The second length + 1 would overflow 32 bits.
    for (const char *url : {"Local:camera.xml;0x2000;0x4000001", "Local:camera.xml;0x0;0xFFFFFFFF"}) {
        Road road;
        road.camera.Serve(url, Bytes(kXml));
        EXPECT_EQ(road.Read().status, ERR_EXCEPTION) << url;
        EXPECT_EQ(road.log.errors, std::vector<std::string>{"Invalid format of XML URL"}) << url;
        EXPECT_EQ(road.camera.LargestRead(kFileAddress, 0x40000), 0u) << url;
    }
}

TEST(DescriptionReader, FindsAUrlReadableOnlyInFourByteOrSingleByteReads) {
    for (const uint32_t readable : {4u, 1u}) {
        SCOPED_TRACE(readable);
        Road road;
        road.camera.Serve(UrlFor("camera.xml", kXml.size()), Bytes(kXml));
        road.camera.refuse = [readable](uint32_t address, uint32_t length) {
            return address >= kUrlAddress && address < kUrlAddress + 0x100 && length != readable;
        };
        const RetrievedDescription description = road.Read();
        ASSERT_TRUE(description.Ok()) << description.status;
        EXPECT_EQ(road.Text(description), kXml);
        EXPECT_EQ(road.log.infos.front(), "Camera XML URL: " + UrlFor("camera.xml", kXml.size()));
    }
}

TEST(DescriptionReader, UrlTextKeepsPrintableBytesOnlyAndStopsAtTheArea) {
    Road road;
    // Control bytes inside the text are dropped; a text without terminator
    // ends with the 256-byte area.
    const std::string url = UrlFor("camera.xml", kXml.size());
    road.camera.Put(kUrlAddress, url.substr(0, 10) + "\x01" + url.substr(10) + std::string(1, '\0'));
    road.camera.Put(kFileAddress, Bytes(kXml));
    ASSERT_TRUE(road.Read().Ok());
    EXPECT_EQ(road.log.infos.front(), "Camera XML URL: " + url);

    Road endless;
    endless.camera.Put(kUrlAddress, "Local:" + std::string(400, 'a'));
    EXPECT_EQ(endless.Read().status, ERR_EXCEPTION);
    EXPECT_EQ(endless.camera.LargestRead(kUrlAddress + 0x100, kFileAddress), 0u);
}

TEST(DescriptionReader, DetectsZipByItsFirstBytesWhateverTheName) {
    Road zippedAsXml;
    const std::vector<uint8_t> zip = ZipBuilder().Add("a.txt", kXml, ZipBuilder::kStored).Build();
    zippedAsXml.camera.Serve(UrlFor("camera.xml", zip.size()), zip);
    RetrievedDescription description = zippedAsXml.Read();
    ASSERT_TRUE(description.Ok());
    EXPECT_EQ(zippedAsXml.Text(description), kXml);

    Road plainAsZip;
    plainAsZip.camera.Serve(UrlFor("camera.zip", kXml.size()), Bytes(kXml));
    description = plainAsZip.Read();
    ASSERT_TRUE(description.Ok());
    EXPECT_EQ(plainAsZip.Text(description), kXml);
    EXPECT_FALSE(plainAsZip.log.Traced("[ConnectCamera     ] GenICam file unzipped."));
}

TEST(DescriptionReader, RegisterFailuresReturnTheReadsStatus) {
    // (An unreadable manifest size is the road's placeholder case.)
    Road missing;
    missing.camera.registers.erase(bootstrap::kXmlUrlAddress);
    EXPECT_EQ(missing.Read().status, ERR_CXP_INVALID_ADDRESS);
    EXPECT_EQ(missing.log.errors, std::vector<std::string>{"Failed to read register: XML URL Address BSR"});

    Road zeroUrl;
    zeroUrl.camera.registers[bootstrap::kXmlUrlAddress] = 0;
    EXPECT_EQ(zeroUrl.Read().status, ERR_EXCEPTION);
    EXPECT_EQ(zeroUrl.log.errors, std::vector<std::string>{"Invalid XML URL address"});
    EXPECT_TRUE(zeroUrl.camera.reads.empty());

    Road brokenFile;
    brokenFile.camera.Serve(UrlFor("camera.xml", kXml.size()), Bytes(kXml));
    brokenFile.camera.refuse = [](uint32_t address, uint32_t) { return address >= kFileAddress + 200; };
    EXPECT_EQ(brokenFile.Read(128).status, ERR_CXP_INVALID_ADDRESS);
    EXPECT_EQ(brokenFile.log.errors,
              std::vector<std::string>{"Failed to read register: XML file content at offset 208"});
}

}  // namespace
