#include <gtest/gtest.h>

#include "board/BoardTypeTable.h"
#include "protocol/BoardTypes.h"

using namespace vexo::genicam;

TEST(BoardTypeTable, UnknownCodesAnswerNothing) {
    for (int32_t code : {0, -1, 0x0A42}) {
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

// Family C's firmware minimum is driven through link connect by LinkConnect's cases.
TEST(BoardTypeTable, PartlyUsedOperatorsNeedACoaXPressBoardAndItsFirmware) {
    EXPECT_FALSE(AcceptsPartlyUsedOperators(0x0A41, 522));
    EXPECT_TRUE(AcceptsPartlyUsedOperators(0x0A41, 523));
    EXPECT_FALSE(AcceptsPartlyUsedOperators(0x0B41, 257));
    EXPECT_TRUE(AcceptsPartlyUsedOperators(0x0B41, 258));
    // Boards without a minimum never accept them, whatever their firmware; the
    // Camera Link HS board shares family C but not the CoaXPress technology.
    for (int32_t code : {0x0B21, 0x0C22}) EXPECT_FALSE(AcceptsPartlyUsedOperators(code, 0xFFFF)) << code;
    EXPECT_EQ(BoardFamilyOf(0x0C22), BoardFamily::kC);
    EXPECT_EQ(BoardTechnology(0x0C22), ControllerKind::kCameraLinkHs);
}
