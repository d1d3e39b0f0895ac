// The link configuration file: what the road test through the exported functions does not reach,
// and every way a file is refused.
#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <stdexcept>
#include <string>

#include "TempDirectory.h"
#include "plex/CxpLinkConfiguration.h"

using vexo::core::plex::CxpLinkConfiguration;

namespace {

constexpr uint32_t kNo = CxpLinkConfiguration::kNoIndex;

std::string Text(const CxpLinkConfiguration &configuration) {
    std::ostringstream out;
    configuration.Write(out);
    return out.str();
}

// The message of the error `call` raises; empty when it raises none.
std::string ErrorOf(const std::function<void()> &call) {
    try {
        call();
    } catch (const std::runtime_error &error) {
        return error.what();
    }
    return {};
}

std::string ReadError(const std::string &text, CxpLinkConfiguration configuration = CxpLinkConfiguration("cxp")) {
    return ErrorOf([&] { configuration.ReadText(text); });
}

std::string Root(const std::string &attributes, const std::string &body = "") {
    return "<cxpconfiguration " + attributes + ">" + body + "</cxpconfiguration>";
}

}  // namespace

// The layout of cxp files is written and read back byte for byte by the link file road test.
TEST(CxpLinkConfiguration, OtherTechnologiesChangeOnlyTheRootElement) {
    CxpLinkConfiguration clhs("clhs"), unknown("gige");
    clhs.SetLinkCount(1);
    unknown.SetLinkGroupCount(0);
    EXPECT_EQ(Text(clhs), "<clhsconfiguration links=\"1\" linkgroups=\"0\">\n</clhsconfiguration>\n");
    EXPECT_EQ(Text(unknown), "");  // an unknown technology writes none
    // Without a root check, any root element carries the counts.
    unknown.ReadText("<anything links=\"2\" linkgroups=\"0\"/>");
    EXPECT_EQ(unknown.GetLinkCount(), 2u);
}

TEST(CxpLinkConfiguration, SkipsUnsetLinksAndMarksTheLinkOnTheMasterPort) {
    CxpLinkConfiguration configuration("cxp");
    configuration.SetLinkGroupCount(1);
    configuration.SetGroupLinkCount(0, 2);
    configuration.SetLinkPhyIndex(0, 1, 3);
    configuration.SetLinkApIndex(0, 1, 1);
    configuration.SetLinkPhyIndex(0, 2, 2);  // index 2 has no applet port: skipped
    configuration.SetLinkPhyIndex(0, 3, 0);
    configuration.SetLinkApIndex(0, 3, 0);
    configuration.SetGroupMasterPort(0, 0);
    EXPECT_EQ(Text(configuration),
              "<cxpconfiguration links=\"0\" linkgroups=\"1\">\n"
              "\t<linkgroup masterId=\"0\" speed=\"1250\" streampacketsize=\"4096\">\n"
              "\t\t<link phyIndex=\"3\" apIndex=\"1\" linkIndex=\"1\"/>\n"
              "\t\t<link phyIndex=\"0\" apIndex=\"0\" linkIndex=\"3\" isMaster=\"true\"/>\n"
              "\t</linkgroup>\n"
              "</cxpconfiguration>\n");
}

TEST(CxpLinkConfiguration, UnsupportedSpeedIsWrittenEmptyAndReadAsLeaveUnchanged) {
    CxpLinkConfiguration configuration("cxp");
    configuration.SetLinkGroupCount(1);
    configuration.SetGroupSpeed(0, 3000);
    const std::string text = Text(configuration);
    EXPECT_NE(text.find("speed=\"\""), std::string::npos);

    CxpLinkConfiguration read("cxp");
    read.SetLinkGroupCount(1);
    read.SetGroupSpeed(0, 5000);
    read.ReadText(text);
    EXPECT_EQ(read.GetGroupSpeed(0), 5000u);
    EXPECT_EQ(CxpLinkConfiguration::SpeedFromText("10000"), 10000u);
    EXPECT_EQ(CxpLinkConfiguration::SpeedFromText("03125"), 0u);
}

TEST(CxpLinkConfiguration, MasterPortAndIdKeepTheirMeaningThroughWriteAndRead) {
    // The hand-written files of the data folder go through load and save in the link file road test.
    CxpLinkConfiguration configuration("cxp");
    configuration.ReadText(Root("links=\"4\" linkgroups=\"2\"",
                                "<linkgroup streampacketsize=\"junk\">"
                                "<link phyIndex=\"2\" apIndex=\"0\" isMaster=\"yes\"/></linkgroup>"
                                "<linkgroup masterId=\"7\"><link phyIndex=\"3\" apIndex=\"1\" linkIndex=\"1\"/>"
                                "<link phyIndex=\"1\" apIndex=\"3\" linkIndex=\"0\"/></linkgroup>"));
    EXPECT_EQ(configuration.GetGroupMasterId(0), 3u);
    EXPECT_EQ(configuration.GetGroupMasterPort(0), 2u);
    EXPECT_EQ(configuration.GetGroupStreamPacketSize(0), 4096u);  // a bad size leaves the default
    EXPECT_EQ(configuration.GetGroupLinkCount(0), 1u);
    // Without a master link, the link at index 0 names the master port; a given id stays.
    EXPECT_EQ(configuration.GetGroupMasterId(1), 7u);
    EXPECT_EQ(configuration.GetGroupMasterPort(1), 1u);
    EXPECT_EQ(configuration.GetLinkApIndex(1, 1), 1u);
}

TEST(CxpLinkConfiguration, LimitsOfGroupsAndLinks) {
    CxpLinkConfiguration configuration("cxp");
    configuration.SetLinkGroupCount(5);
    EXPECT_EQ(configuration.GetLinkGroupCount(), 0u);
    configuration.SetLinkCount(9);  // the physical link count has no limit of its own
    EXPECT_EQ(configuration.GetLinkCount(), 9u);
    EXPECT_THROW(configuration.GetGroupSpeed(0), std::runtime_error);
    configuration.SetLinkGroupCount(1);
    configuration.SetGroupLinkCount(0, 5);
    EXPECT_EQ(configuration.GetGroupLinkCount(0), 0u);
    EXPECT_EQ(ErrorOf([&] { configuration.SetLinkPhyIndex(0, 4, 1); }), "link index out of bounds.");
    EXPECT_EQ(ErrorOf([&] { configuration.SetGroupMasterId(1, 1); }), "link group index out of bounds.");
    EXPECT_EQ(configuration.GetLinkPhyIndex(0, 0), kNo);
}

TEST(CxpLinkConfiguration, EveryReadErrorNamesWhatIsWrong) {
    const auto withLink = [](const std::string &link) {
        return Root("links=\"4\" linkgroups=\"1\"", "<linkgroup>" + link + "</linkgroup>");
    };
    const std::string illegal = "Illegal value of attribute ", missing = "Attribute ";
    const std::string inRoot = " in <cxpconfiguration> of XML file '<buffer>'", inLink = " in <link> of XML file '<buffer>'";
    const std::string tooMany = "No more than 4 physical links and linkgroups allowed!";
    const std::pair<std::string, std::string> cases[] = {
        {"", "XML file is empty: '<buffer>'"},
        {"<cxpconfiguration links=\"4\"", "Error parsing XML file '<buffer>': expected >"},
        {"<cxpconfiguration links=\"4\" linkgroups=\"1\"><linkgroup>", "Error parsing XML file '<buffer>': unexpected end of data"},
        {"<clhsconfiguration links=\"1\" linkgroups=\"0\"/>", "Illegal root node found in XML file '<buffer>': clhsconfiguration"},
        {"<cxpconfiguration linkgroups=\"1\"/>", missing + "'links' not found" + inRoot},
        {Root("links=\"-4\" linkgroups=\"1\""), illegal + "'links'" + inRoot + ": -4"},
        {Root("links=\"4\" linkgroups=\"one\""), illegal + "'linkgroups'" + inRoot + ": one"},
        {Root("links=\"5\" linkgroups=\"1\""), tooMany},
        {Root("links=\"4\" linkgroups=\"1\"", "<linkgroup masterId=\"x1\"/>"),
         illegal + "'masterId' in <linkgroup> of XML file '<buffer>': x1"},
        {withLink("<link phyIndex=\"0\" apIndex=\"0\"/><link phyIndex=\"1\" apIndex=\"1\"/><link phyIndex=\"2\" apIndex=\"2\"/>"
                  "<link phyIndex=\"3\" apIndex=\"3\"/><link phyIndex=\"0\" apIndex=\"0\"/>"),
         "No more than 4 links per linkgroup allowed!"},
        {withLink("<link apIndex=\"0\"/>"), missing + "'phyIndex' not found" + inLink},
        {withLink("<link phyIndex=\"1\" apIndex=\"0\" linkIndex=\"+1\"/>"), illegal + "'linkIndex'" + inLink + ": +1"},
        {withLink("<link phyIndex=\"1\" apIndex=\"0\" linkIndex=\"4\"/>"), "link index out of bounds."},
        // Named twice, the later link would replace the master and leave three links on two ports.
        {withLink("<link phyIndex=\"0\" apIndex=\"0\" linkIndex=\"1\" isMaster=\"true\"/>"
                  "<link phyIndex=\"1\" apIndex=\"1\" linkIndex=\"1\"/><link phyIndex=\"2\" apIndex=\"2\"/>"),
         "Link index 1 given twice in <linkgroup> of XML file '<buffer>'"},
        // A second group where one is declared.
        {Root("links=\"4\" linkgroups=\"1\"", "<linkgroup/><other/><linkgroup/>"), "link group index out of bounds."},
    };
    for (const auto &[text, error] : cases) EXPECT_EQ(ReadError(text), error) << text;
}

// A damaged group leaves the groups read before it: the link file road test.
TEST(CxpLinkConfiguration, CountsRefusedInTheRootLeaveNoGroup) {
    CxpLinkConfiguration configuration("cxp");
    configuration.SetLinkGroupCount(2);
    EXPECT_FALSE(ReadError(Root("links=\"5\" linkgroups=\"2\""), configuration).empty());
    EXPECT_EQ(configuration.GetLinkGroupCount(), 0u);
}

TEST(CxpLinkConfiguration, HostileFilesAreRefusedWithBoundedWork) {
    // Deep nesting would drive the parser's recursion; it never gets there.
    std::string nested;
    for (int i = 0; i < 10000; ++i) nested += "<a>";
    EXPECT_EQ(ReadError(Root("links=\"4\" linkgroups=\"1\"", nested)), "XML file is nested too deeply: '<buffer>'");
    // Many repeated elements parse, then stop at the first group too many.
    std::string repeated;
    for (int i = 0; i < 10000; ++i) repeated += "<linkgroup/>";
    EXPECT_EQ(ReadError(Root("links=\"4\" linkgroups=\"4\"", repeated)), "link group index out of bounds.");
    std::string links;
    for (int i = 0; i < 10000; ++i) links += "<link phyIndex=\"0\" apIndex=\"0\"/>";
    EXPECT_EQ(ReadError(Root("links=\"4\" linkgroups=\"1\"", "<linkgroup>" + links + "</linkgroup>")),
              "No more than 4 links per linkgroup allowed!");

    // A 100 MB attribute, from a buffer and from a file.
    const std::string huge = Root("links=\"" + std::string(100u << 20, '7') + "\" linkgroups=\"1\"");
    EXPECT_EQ(ReadError(huge), "XML file is too large: '<buffer>'");
    nox_test::TempDirectory directory;
    const std::string path = (directory.Path() / "huge.xml").string();
    nox_test::WriteFile(path, huge);
    CxpLinkConfiguration configuration("cxp");
    EXPECT_EQ(ErrorOf([&] { configuration.ReadFile(path); }), "XML file is too large: '" + path + "'");
}
