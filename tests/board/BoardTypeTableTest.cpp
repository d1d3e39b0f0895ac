#include <gtest/gtest.h>

#include <set>
#include <string>

#include "board/BoardTypeTable.h"

using namespace vexo::genicam;

namespace {

struct ExpectedModel {
    int32_t code;
    const char *model;
    ControllerKind technology;
    uint32_t ports;
    BoardFamily family;
    uint32_t partlyUsedFirmware;
    CameraLinkGroup group;
};

// The boards the system serves, as the product documentation lists them.
const ExpectedModel kServedBoards[] = {
    {0x0A41, "cxp4-a", ControllerKind::kCoaXPress, 4, BoardFamily::kA, 523, CameraLinkGroup::kNone},
    {0x0B41, "cxp4-b", ControllerKind::kCoaXPress, 4, BoardFamily::kB, 258, CameraLinkGroup::kNone},
    {0x0B21, "cxp2-b", ControllerKind::kCoaXPress, 2, BoardFamily::kB, 0, CameraLinkGroup::kNone},
    {0x0C41, "cxp4-c", ControllerKind::kCoaXPress, 4, BoardFamily::kC, 771, CameraLinkGroup::kNone},
    {0x0C21, "cxp2-c", ControllerKind::kCoaXPress, 2, BoardFamily::kC, 0, CameraLinkGroup::kNone},
    {0x0C22, "clhs2-c", ControllerKind::kCameraLinkHs, 2, BoardFamily::kC, 0, CameraLinkGroup::kNone},
    {0x0D21, "cl2-g1", ControllerKind::kCameraLink, 2, BoardFamily::kNone, 0, CameraLinkGroup::kPortConfigRegister},
    {0x0D22, "cl2-g2", ControllerKind::kCameraLink, 2, BoardFamily::kNone, 0, CameraLinkGroup::kNamedModeRegisters},
    {0x0E41, "gige4", ControllerKind::kNone, 4, BoardFamily::kNone, 0, CameraLinkGroup::kNone},
};

}  // namespace

TEST(BoardTypeTable, EveryServedModelMapsToItsColumns) {
    EXPECT_EQ(BoardTypeRows().size(), std::size(kServedBoards));
    std::set<int32_t> codes;
    for (const BoardTypeRow &row : BoardTypeRows()) EXPECT_TRUE(codes.insert(row.code).second) << row.code;
    for (const ExpectedModel &expected : kServedBoards) {
        SCOPED_TRACE(expected.model);
        const BoardTypeRow *row = FindBoardType(expected.code);
        ASSERT_NE(row, nullptr);
        EXPECT_STREQ(row->modelName, expected.model);
        EXPECT_EQ(BoardTechnology(expected.code), expected.technology);
        EXPECT_EQ(BoardPortCount(expected.code), expected.ports);
        EXPECT_EQ(BoardFamilyOf(expected.code), expected.family);
        EXPECT_EQ(PartlyUsedOperatorsMinimumFirmware(expected.code), expected.partlyUsedFirmware);
        EXPECT_EQ(BoardCameraLinkGroup(expected.code), expected.group);
    }
}

TEST(BoardTypeTable, UnknownCodesHaveNothing) {
    for (int32_t code : {0, -1, -2130, 0x0A42, 0x7FFFFFFF}) {
        EXPECT_EQ(FindBoardType(code), nullptr);
        EXPECT_EQ(BoardTechnology(code), ControllerKind::kNone);
        EXPECT_EQ(BoardPortCount(code), 0u);
        EXPECT_EQ(BoardFamilyOf(code), BoardFamily::kNone);
        EXPECT_EQ(BoardCameraLinkGroup(code), CameraLinkGroup::kNone);
        EXPECT_FALSE(AcceptsPartlyUsedOperators(code, 0xFFFF));
    }
    // A board with ports but no technology opens no controller.
    EXPECT_EQ(BoardTechnology(0x0E41), ControllerKind::kNone);
    EXPECT_EQ(BoardPortCount(0x0E41), 4u);
}

TEST(BoardTypeTable, PartlyUsedOperatorsNeedACoaXPressBoardAndItsFirmware) {
    EXPECT_FALSE(AcceptsPartlyUsedOperators(0x0A41, 522));
    EXPECT_TRUE(AcceptsPartlyUsedOperators(0x0A41, 523));
    EXPECT_FALSE(AcceptsPartlyUsedOperators(0x0B41, 257));
    EXPECT_TRUE(AcceptsPartlyUsedOperators(0x0B41, 258));
    EXPECT_FALSE(AcceptsPartlyUsedOperators(0x0C41, 770));
    EXPECT_TRUE(AcceptsPartlyUsedOperators(0x0C41, 0x0304));
    // Boards without a minimum never accept them, whatever their firmware.
    for (int32_t code : {0x0B21, 0x0C21, 0x0C22, 0x0D21, 0x0E41})
        EXPECT_FALSE(AcceptsPartlyUsedOperators(code, 0xFFFF)) << code;
    // The Camera Link HS board shares family C but not the CoaXPress technology.
    EXPECT_EQ(BoardFamilyOf(0x0C22), BoardFamily::kC);
    EXPECT_EQ(BoardTechnology(0x0C22), ControllerKind::kCameraLinkHs);
}
