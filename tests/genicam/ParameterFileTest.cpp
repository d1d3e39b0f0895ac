#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "MemoryPort.h"
#include "ParameterDescription.h"
#include "genapi/GenApi.h"
#include "genicam/ParameterDump.h"
#include "genicam/ParameterLoader.h"

using vexo::genicam::ParameterDump;
using vexo::genicam::ParameterLine;
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
    EXPECT_EQ(lines.size(), 22u);
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

TEST(ParameterLine, DropsBlanksCommentsAndLinesWithoutAssignment) {
    const auto line = ParameterLine::Parse("  Width \t=  640  \r");
    ASSERT_TRUE(line);
    EXPECT_EQ(line->name, "Width");
    EXPECT_EQ(line->value, "640");
    const auto text = ParameterLine::Parse("UserName=\"a=b\"");
    ASSERT_TRUE(text);
    EXPECT_EQ(text->name, "UserName");
    EXPECT_EQ(text->value, "\"a=b\"");
    EXPECT_FALSE(ParameterLine::Parse(""));
    EXPECT_FALSE(ParameterLine::Parse("   \r"));
    EXPECT_FALSE(ParameterLine::Parse("# Height=480"));
    EXPECT_FALSE(ParameterLine::Parse("  # Height=480"));
    EXPECT_FALSE(ParameterLine::Parse("no assignment here"));
}

TEST(ParameterLoader, ASavedDumpRestoresChangedValues) {
    Camera camera;
    const std::string dump = camera.Dump();
    camera.port.PutBig32(0x100, 1024);
    camera.port.PutBig32(0x108, 2);
    for (int set = 0; set < 4; ++set) camera.port.PutBig32(0x200 + 4 * set, FloatBits(9.0f));
    camera.port.PutBig32(0x220, 1);
    camera.port.PutBig32(0x224, 0);
    std::memcpy(camera.port.bytes.data() + 0x300, "other", 5);
    camera.map->InvalidateNodes();  // the camera changed behind the node map
    const size_t writesBefore = camera.port.Writes();

    const auto result = camera.Load(dump, true);
    EXPECT_EQ(result.failed, 0u) << (result.failures.empty() ? "" : result.failures.front());
    EXPECT_FALSE(result.stopped);
    EXPECT_EQ(camera.port.Big32(0x100), 640u);
    EXPECT_EQ(camera.port.Big32(0x108), 1u);
    for (int set = 0; set < 4; ++set) EXPECT_EQ(camera.port.Big32(0x200 + 4 * set), FloatBits(1.5f + set)) << set;
    EXPECT_EQ(camera.port.Big32(0x220), 0u);
    EXPECT_EQ(camera.port.Big32(0x224), 1u);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(camera.port.bytes.data() + 0x300), 5), "hello");
    // Read-only, commented and command lines wrote nothing of their own.
    EXPECT_EQ(camera.port.Big32(0x104), 480u);
    EXPECT_EQ(camera.port.Big32(0x118), 0u);
    EXPECT_GT(camera.port.Writes(), writesBefore);
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
    EXPECT_EQ(result.failures.front().rfind("line 1: ", 0), 0u);
    EXPECT_EQ(camera.port.Big32(0x100), 32u);
    EXPECT_EQ(camera.port.Big32(0x118), 0u);

    Camera stopping;
    result = stopping.Load("Width=48\nNoSuchFeature=1\nWidth=32\n", true);
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(result.failed, 1u);
    EXPECT_EQ(stopping.port.Big32(0x100), 48u);
}

TEST(ParameterLoader, OnlyCommentsLoadWithoutFailureAndLongLinesAreRefused) {
    Camera camera;
    auto result = camera.Load("# --- GenICam parameter dump\n\n# Height=480\n   \n# x");
    EXPECT_EQ(result.applied, 0u);
    EXPECT_EQ(result.failed, 0u);

    const std::string longLine = "UserName=\"" + std::string(ParameterLoader::kMaxLineLength, 'x') + "\"\n";
    result = camera.Load(longLine + "Width=48");
    EXPECT_EQ(result.failed, 1u);
    EXPECT_EQ(result.applied, 1u);
    EXPECT_EQ(camera.port.Big32(0x100), 48u);
}

}  // namespace
