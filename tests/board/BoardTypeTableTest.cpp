#include <gtest/gtest.h>

#include "board/BoardTypeTable.h"
#include "protocol/BoardTypes.h"

using namespace vexo::genicam;

TEST(BoardTypeTable, UnknownCodesAnswerNothing) {
    for (int32_t code : {0, -1, -2130, 0x0A42, 0x7FFFFFFF}) {
        EXPECT_EQ(vexo::protocol::FindBoardType(code), nullptr);
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
