// The description parser noxcam lists features with: kinds, access, visibility, and bounds on
// descriptions it should not trust.
#include <gtest/gtest.h>

#include "FeatureTree.h"

namespace noxcam {
namespace {

FeatureTree Parsed(const std::string &body) {
    auto parsed = FeatureTree::Parse("<?xml version=\"1.0\"?>\n<RegisterDescription xmlns=\"x\">" + body +
                                     "</RegisterDescription>");
    if (auto *error = std::get_if<std::string>(&parsed)) ADD_FAILURE() << *error;
    return std::get<FeatureTree>(std::move(parsed));
}

std::string ParseError(const std::string &text) {
    auto parsed = FeatureTree::Parse(text);
    return std::holds_alternative<std::string>(parsed) ? std::get<std::string>(parsed) : "";
}

TEST(FeatureTree, AccessFollowsTheValueDownToItsRegister) {
    const FeatureTree tree = Parsed(R"(
      <Category Name="Top"><pFeature>A</pFeature><pFeature>B</pFeature></Category>
      <Integer Name="A"><Visibility>Expert</Visibility><pValue>AConv</pValue></Integer>
      <IntConverter Name="AConv"><pValue>AReg</pValue></IntConverter>
      <IntReg Name="AReg"><Address>0</Address><Length>4</Length><AccessMode>WO</AccessMode></IntReg>
      <Float Name="B"><pValue>BReg</pValue><Unit>us</Unit></Float>
      <FloatReg Name="BReg"><Address>4</Address><Length>4</Length></FloatReg>
      <Command Name="Go"><ImposedAccessMode>WO</ImposedAccessMode><pValue>GoReg</pValue></Command>
      <IntReg Name="GoReg"><AccessMode>RW</AccessMode></IntReg>
      <Boolean Name="Fixed"><ImposedAccessMode>RO</ImposedAccessMode><Value>1</Value></Boolean>
      <Integer Name="Free"><Value>5</Value></Integer>
      <IntSwissKnife Name="Sum"><Formula>1</Formula></IntSwissKnife>
      <Integer Name="Dangling"><pValue>Nowhere</pValue></Integer>
      <Integer Name="Loop1"><pValue>Loop2</pValue></Integer>
      <Integer Name="Loop2"><pValue>Loop1</pValue></Integer>
      <Enumeration Name="Mode"><Visibility>Guru</Visibility><EnumEntry Name="Off"/><EnumEntry Name="On"/>
        <pValue>GoReg</pValue></Enumeration>)");
    EXPECT_EQ(tree.RootCategory(), "Top");  // no "Root": the category nobody lists
    EXPECT_EQ(tree.Find("Top")->features, (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(tree.Find("A")->kind, FeatureKind::kInteger);
    EXPECT_EQ(tree.Find("A")->access, Access::kWriteOnly);
    EXPECT_EQ(tree.Find("A")->visibility, Visibility::kExpert);
    EXPECT_EQ(tree.Find("B")->access, Access::kReadOnly);  // a register without AccessMode is read-only
    EXPECT_EQ(tree.Find("B")->unit, "us");
    EXPECT_EQ(tree.Find("Go")->access, Access::kWriteOnly);
    EXPECT_EQ(tree.Find("Fixed")->access, Access::kReadOnly);
    EXPECT_EQ(tree.Find("Free")->access, Access::kReadWrite);
    EXPECT_EQ(tree.Find("Sum")->access, Access::kReadOnly);
    EXPECT_EQ(tree.Find("Dangling")->access, Access::kNotImplemented);
    EXPECT_EQ(tree.Find("Loop1")->access, Access::kNotImplemented);  // a pointer loop ends, unresolved
    EXPECT_EQ(tree.Find("Mode")->entries, (std::vector<std::string>{"Off", "On"}));
    EXPECT_EQ(tree.Find("Mode")->visibility, Visibility::kGuru);
    EXPECT_EQ(tree.Find("Nowhere"), nullptr);
}

TEST(FeatureTree, GroupsAndStructuresHoldFeaturesToo) {
    const FeatureTree tree = Parsed(R"(
      <Category Name="Root"><pFeature>Inner</pFeature><pFeature>Bit</pFeature></Category>
      <Group Comment="outer"><Group Comment="inner"><StringReg Name="Inner"><AccessMode>RW</AccessMode></StringReg></Group></Group>
      <StructReg Comment="bits"><AccessMode>RW</AccessMode>
        <StructEntry Name="Bit"><Bit>0</Bit></StructEntry>
        <StructEntry Name="Flag"><Bit>1</Bit><AccessMode>RO</AccessMode></StructEntry></StructReg>)");
    EXPECT_EQ(tree.RootCategory(), "Root");
    EXPECT_EQ(tree.Find("Inner")->kind, FeatureKind::kString);
    EXPECT_EQ(tree.Find("Inner")->access, Access::kReadWrite);
    EXPECT_EQ(tree.Find("Bit")->kind, FeatureKind::kInteger);
    EXPECT_EQ(tree.Find("Bit")->access, Access::kReadWrite);
    EXPECT_EQ(tree.Find("Flag")->access, Access::kReadOnly);
}

TEST(FeatureTree, RefusesWhatIsNoDescription) {
    EXPECT_NE(ParseError("not xml <"), "");
    EXPECT_NE(ParseError("<Other/>"), "");
    EXPECT_EQ(ParseError("<RegisterDescription><Integer Name=\"A\"/></RegisterDescription>"), "no category");
    // Deep nesting is refused before the recursive parser could exhaust the stack.
    std::string deep = "<RegisterDescription>";
    for (int i = 0; i < 100000; ++i) deep += "<Group>";
    EXPECT_EQ(ParseError(deep), "elements nested too deeply");
    // Markup inside comments, CDATA and quoted attributes does not count as nesting.
    std::string quoted = "<RegisterDescription><!-- ";
    for (int i = 0; i < 100; ++i) quoted += "<a>";
    quoted += " --><Category Name=\"R\" Comment=\"";
    for (int i = 0; i < 100; ++i) quoted += "&lt;b&gt;";
    quoted += "\"><ToolTip><![CDATA[";
    for (int i = 0; i < 100; ++i) quoted += "<c>";
    quoted += "]]></ToolTip></Category></RegisterDescription>";
    EXPECT_EQ(ParseError(quoted), "");
}

}  // namespace
}  // namespace noxcam
