#include "base/ReplyWords.h"

#include <gtest/gtest.h>

namespace vexil {
namespace {

TEST(GetWord, GroupReplyGivesItsFigures) {
    const std::string reply = "211 1234 3000 4233 alt.binaries.pictures.test";
    EXPECT_EQ(GetWordAsInt(reply, 0), 211);
    EXPECT_EQ(GetWordAsInt(reply, 1), 1234);
    EXPECT_EQ(GetWordAsInt(reply, 2), 3000);
    EXPECT_EQ(GetWordAsInt(reply, 3), 4233);
    EXPECT_EQ(GetWord(reply, 4, true), "alt.binaries.pictures.test");
    EXPECT_EQ(GetWordAsInt(reply, 4), -1);
    EXPECT_EQ(GetWordAsInt(reply, 5), -1);
}

TEST(GetWord, SingleOrTheWholeRest) {
    EXPECT_EQ(GetWord("223 17 <id@x> status text", 2, true), "<id@x>");
    EXPECT_EQ(GetWord("223 17 <id@x> status text", 2, false), "<id@x> status text");
    EXPECT_EQ(GetWord("  lead and trail  ", 0, false), "lead and trail");
    EXPECT_EQ(GetWord("", 0, true), "");
}

TEST(GetWord, MoreWordsThanBlanksGiveNothing) {
    EXPECT_EQ(GetWord("one two", 2, true), "");
    EXPECT_EQ(GetWord("one two", 7, false), "");
    EXPECT_EQ(GetWord("single", 1, true), "");
}

TEST(GetWord, RunsOfBlanksCountOnce) {
    // The rest is trimmed after every removal, so several blanks separate one word.
    EXPECT_EQ(GetWord("a    b   c", 2, true), "c");
    EXPECT_EQ(GetWord("a\tb c", 1, true), "c");
}

TEST(GetWordAsInt, OnlyDecimalNumbersThatFit) {
    EXPECT_EQ(GetWordAsInt("x -5", 1), -5);
    EXPECT_EQ(GetWordAsInt("x +7", 1), 7);
    EXPECT_EQ(GetWordAsInt("x 2147483647", 1), 2147483647);
    EXPECT_EQ(GetWordAsInt("x 2147483648", 1), -1);
    EXPECT_EQ(GetWordAsInt("x 12a", 1), -1);
    EXPECT_EQ(GetWordAsInt("x +", 1), -1);
    EXPECT_EQ(GetWordAsInt("x ++1", 1), -1);
    EXPECT_EQ(GetWordAsInt("x 0x10", 1), -1);
}

} // namespace
} // namespace vexil
