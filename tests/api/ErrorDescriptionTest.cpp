#include <gtest/gtest.h>

#include <set>
#include <string>

#include "nox_genicam.h"

// Every status the library describes has a text of its own, and any other number is unknown. Callers
// match on the texts, so those of each family are pinned.
TEST(ErrorDescription, DescribedCodesHaveTextsOfTheirOwnAndOthersAreUnknown) {
    const std::string unknown = "Unknown Error.";
    std::set<std::string> texts;
    int described = 0;
    for (int32_t code = -41000; code <= 1; ++code) {
        const std::string text = Nox_getErrorDescription(code);
        if (text == unknown) continue;
        ++described;
        texts.insert(text);
    }
    EXPECT_EQ(described, 84);
    EXPECT_EQ(texts.size(), 84u) << "two codes share a text";
    const std::pair<int32_t, const char *> pinned[] = {
        {0, "No error"},
        {-1000, "Invalid camera handle"},
        {-1991, "Invalid function argument"},
        {-40018, "Board initialization error"},
        {ERR_GENCP_NOT_IMPLEMENTED, "GenCP: Command not implemented in the device"},
        {-1505, "XCore failed Sending a message 10 times (CLHS) (no Acknowledge received 10 times)"},
        {-128, "CXP: Failed CRC test in last received command"},
    };
    for (const auto &[code, text] : pinned) EXPECT_STREQ(Nox_getErrorDescription(code), text) << code;
    for (int32_t code : std::initializer_list<int32_t>{ERR_INVALID_DATA, LibraryNotLoaded, ERR_CAMERA_LIST_FULL, -1, 1,
                                                       -1007, INT32_MIN, INT32_MAX})
        EXPECT_EQ(Nox_getErrorDescription(code), unknown) << code;
}
