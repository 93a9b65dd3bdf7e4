#include "engine/offset_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Shown(uint64_t offset)
{
    char out[24];
    const size_t len = FormatOffset(offset, out);
    EXPECT_EQ(len, std::string(out).size());
    return out;
}

TEST(OffsetText, BelowFourGiBHasEightUpperCaseDigits)
{
    EXPECT_EQ(Shown(0), "0x00000000");
    EXPECT_EQ(Shown(0x10), "0x00000010");
    EXPECT_EQ(Shown(0xABCDEF), "0x00ABCDEF");
    EXPECT_EQ(Shown(0xFFFFFFFFu), "0xFFFFFFFF");
}

TEST(OffsetText, LargerOffsetsTakeTheDigitsTheyNeed)
{
    EXPECT_EQ(Shown(0x100000000ull), "0x100000000");
    EXPECT_EQ(Shown(0x140000010ull), "0x140000010");
    EXPECT_EQ(Shown(~0ull), "0xFFFFFFFFFFFFFFFF");
}

}  // namespace
