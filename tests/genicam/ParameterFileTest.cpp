#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "LogFile.h"
#include "MemoryPort.h"
#include "ParameterDescription.h"
#include "TempDirectory.h"
#include "genapi/GenApi.h"
#include "genicam/ParameterDump.h"
#include "genicam/ParameterLoader.h"
#include "platform/Environment.h"

using vexo::genicam::ParameterDump;
using vexo::genicam::ParameterLoader;

namespace {

uint32_t FloatBits(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// The parameter camera on an in-memory register space.
struct Camera {
    explicit Camera(const char *description = nox_test::kParameterDescription) {
        port.PutBig32(0x100, 640);
        port.PutBig32(0x104, 480);
        port.PutBig32(0x108, 1);
        port.PutBig32(0x110, 2);  // GainSelector
        for (int set = 0; set < 4; ++set) port.PutBig32(0x200 + 4 * set, FloatBits(1.5f + set));
        port.PutBig32(0x114, 0);  // LineSelector
        port.PutBig32(0x224, 1);  // LineInverter of Line1
        std::memcpy(port.bytes.data() + 0x300, "hello", 5);
        map = GenApi::CNodeMapFactory(GenApi::ContentType_Auto, description, std::strlen(description)).CreateNodeMap();
        map->Connect(&port);
    }

    std::string Dump() {
        std::ostringstream out;
        EXPECT_TRUE(ParameterDump(*map).Write(out));
        return out.str();
    }
    ParameterLoader::Result Load(const std::string &text, bool stopAtFirstFailure = false) {
        std::istringstream in(text);
        return ParameterLoader(*map).Load(in, stopAtFirstFailure);
    }

    nox_test::MemoryPort port;
    std::unique_ptr<GenApi::INodeMap> map;
};

std::vector<std::string> Lines(const std::string &text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

TEST(ParameterDump, WritesEveryFeatureInCategoryOrderWithSelectorsExpanded) {
    Camera camera;
    const std::vector<std::string> lines = Lines(camera.Dump());
    ASSERT_EQ(lines.size(), 22u);
    const std::vector<std::string> expected = {
        "# --- GenICam parameter dump",
        "",
        "Width=640",
        "# Height=480",
        "PixelFormat=Mono8",
        "GainSelector=0",
        "Gain=1.5",
        "GainSelector=1",
        "Gain=2.5",
        "GainSelector=2",
        "Gain=3.5",
        "GainSelector=3",
        "Gain=4.5",
        "LineSelector=Line0",
        "LineInverter=0",
        "LineSelector=Line1",
        "LineInverter=1",
        "UserName=\"hello\"",
        "# TriggerSoftware=1",
    };
    ASSERT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + expected.size()), expected);
    EXPECT_EQ(lines[19].rfind("# FailingValue: genicam exception - ", 0), 0u) << lines[19];
    EXPECT_EQ(lines[20], "# RawBlock: not supported");
    EXPECT_EQ(lines[21].rfind("# WriteOnlyKey: genicam exception - ", 0), 0u) << lines[21];
    // The selectors are back where they were.
    EXPECT_EQ(camera.port.Big32(0x110), 2u);
    EXPECT_EQ(camera.port.Big32(0x114), 0u);
}

TEST(ParameterDump, KeepsEveryLineOneLineAndRefusesAMapWithoutRoot) {
    Camera camera;
    std::memcpy(camera.port.bytes.data() + 0x300, "ab\nWidth=16\r", 12);
    const std::string dump = camera.Dump();
    EXPECT_EQ(dump.find("Width=16"), std::string::npos);
    EXPECT_NE(dump.find("# UserName: genicam exception - "), std::string::npos);

    std::string noRoot = nox_test::kParameterDescription;
    noRoot.replace(noRoot.find("Name=\"Root\""), 11, "Name=\"Top\"");
    Camera rootless(noRoot.c_str());
    std::ostringstream out;
    EXPECT_FALSE(ParameterDump(*rootless.map).Write(out));
    EXPECT_TRUE(out.str().empty());
}

TEST(ParameterDump, FloatsReadBackToTheSameValue) {
    Camera camera;
    camera.port.PutBig32(0x110, 0);
    camera.map->InvalidateNodes();
    GenApi::CFloatPtr gain = camera.map->GetNode("Gain");
    gain->SetValue(0.1f);
    const double before = gain->GetValue();
    const std::string dump = camera.Dump();
    gain->SetValue(50);
    const auto result = camera.Load(dump);
    EXPECT_EQ(result.failed, 0u);
    camera.port.PutBig32(0x110, 0);
    camera.map->InvalidateNodes();
    EXPECT_EQ(gain->GetValue(), before);
}

// The register space of data/LutCamera.xml: selectors at 0x0, 0x4, 0x8; 4096 entries of 16 bits from 0x1000.
class LutPort : public GenApi::IPort {
public:
    GenApi::EAccessMode GetAccessMode() const override { return GenApi::RW; }
    void Read(void *buffer, int64_t address, int64_t length) override {
        std::memcpy(buffer, At(address, length), static_cast<size_t>(length));
    }
    void Write(const void *buffer, int64_t address, int64_t length) override {
        std::memcpy(At(address, length), buffer, static_cast<size_t>(length));
    }
    uint32_t Entry(uint32_t entry) {
        const uint8_t *bytes = At(0x1000 + 2 * entry, 2);
        return uint32_t{bytes[0]} << 8 | bytes[1];
    }
    void PutEntry(uint32_t entry, uint32_t value) {
        uint8_t *bytes = At(0x1000 + 2 * entry, 2);
        bytes[0] = static_cast<uint8_t>(value >> 8);
        bytes[1] = static_cast<uint8_t>(value);
    }

private:
    uint8_t *At(int64_t address, int64_t length) {
        if (address < 0 || length < 0 || address + length > static_cast<int64_t>(bytes_.size()))
            throw std::runtime_error("outside the register space");
        return bytes_.data() + address;
    }
    std::vector<uint8_t> bytes_ = std::vector<uint8_t>(0x3000);
};

uint32_t LutPattern(uint32_t entry) { return (entry * 37 + 11) & 0xFFFF; }

TEST(ParameterDump, NestedLookUpTablesAreWrittenWholeAndLoadBack) {
    const std::string description = nox_test::ReadFile(std::string(PARAMETER_DATA) + "/LutCamera.xml");
    LutPort port;
    for (uint32_t entry = 0; entry < 4096; ++entry) port.PutEntry(entry, LutPattern(entry));
    auto map = GenApi::CNodeMapFactory(GenApi::ContentType_Auto, description.data(), description.size()).CreateNodeMap();
    map->Connect(&port);
    GenApi::CIntegerPtr index = map->GetNode("LUTIndex");
    index->SetValue(5);
    std::ostringstream out;
    ASSERT_TRUE(ParameterDump(*map).Write(out));
    const std::vector<std::string> lines = Lines(out.str());

    // 2 banks x 2 channels x 1024 entries, each an index and a value line, under their selector lines.
    ASSERT_EQ(lines.size(), 2u + 2 * (1 + 2 * (1 + 1024 * 2)));
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 2, lines.begin() + 6),
              (std::vector<std::string>{"LUTBank=0", "LUTSelector=Red", "LUTIndex=0", "LUTValue=11"}));
    EXPECT_EQ(lines[6151], "LUTSelector=Blue");
    EXPECT_EQ(lines[8198], "LUTIndex=1023");
    EXPECT_EQ(lines[8199], "LUTValue=" + std::to_string(LutPattern(4095)));
    EXPECT_EQ(index->GetValue(), 5);

    for (uint32_t entry = 0; entry < 4096; ++entry) port.PutEntry(entry, 0);
    std::istringstream in(out.str());
    const auto result = ParameterLoader(*map).Load(in, true);
    EXPECT_EQ(result.failed, 0u);
    uint32_t restored = 0;
    for (uint32_t entry = 0; entry < 4096; ++entry) restored += port.Entry(entry) == LutPattern(entry);
    EXPECT_EQ(restored, 4096u);

    // A file bound leaves the rest out, and says so.
    nox_test::TempDirectory directory;
    const std::filesystem::path log = directory / "dump.log";
    vexo::templates::platform::SetEnvironment("VEXO_LOG", "vexo.genicam.lib=4");
    vexo::templates::platform::SetEnvironment("VEXO_LOG_FILE", log.string());
    std::ostringstream bounded;
    ASSERT_TRUE(ParameterDump(*map, 100).Write(bounded));
    EXPECT_EQ(Lines(bounded.str()).size(), 100u);
    const std::vector<nox_test::LogLine> records = nox_test::ReadLogLines(log);
    ASSERT_EQ(records.size(), 3u) << "one record per selector left out";
    EXPECT_TRUE(records[0].text.ends_with("|Parameter dump left out selector LUTIndex from value 48 on (976 of 1024 "
                                          "values): the file holds 100 lines"))
        << records[0].text;
}

TEST(ParameterLoader, CountsLinesThatCannotBeAppliedAndStopsWhenAsked) {
    const std::string file =
        "Width=12abc\n"           // not an integer
        "NoSuchFeature=1\n"       // unknown
        "LineInverter=2\n"        // not a boolean
        "UserName=hello\n"        // not quoted
        "PixelFormat=RGB8\n"      // no such entry
        "Width=4097\n"            // out of range
        "Height=10\n"             // read only
        "RawBlock=1\n"            // no value form
        "TriggerSoftware=1\n"     // accepted, not executed
        "Width=32\n";
    Camera camera;
    auto result = camera.Load(file);
    EXPECT_EQ(result.failed, 8u);
    EXPECT_EQ(result.applied, 2u);
    EXPECT_FALSE(result.stopped);
    EXPECT_EQ(result.failures.front().line, 1u);
    EXPECT_EQ(camera.port.Big32(0x100), 32u);
    EXPECT_EQ(camera.port.Big32(0x118), 0u);

    Camera stopping;
    result = stopping.Load("Width=48\nNoSuchFeature=1\nWidth=32\n", true);
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(result.failed, 1u);
    EXPECT_EQ(stopping.port.Big32(0x100), 48u);

    // A line too long fails alone.
    const std::string longLine = "UserName=\"" + std::string(ParameterLoader::kMaxLineLength, 'x') + "\"\n";
    result = camera.Load(longLine + "Width=48");
    EXPECT_EQ(result.failed, 1u);
    EXPECT_EQ(result.applied, 1u);
    EXPECT_EQ(camera.port.Big32(0x100), 48u);
}

}  // namespace
