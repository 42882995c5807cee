// The yEnc keyword lines: what counts as a header, the numbers' bounds, and names kept as
// posted.
#include "message/YEncHeader.h"

#include <gtest/gtest.h>

using namespace vexil;

TEST(YEncHeaderTest, SingleAndMultiPartBegin) {
    const auto single = ParseYEncBegin("=ybegin line=128 size=123456 name=picture one.jpg\r\n");
    ASSERT_TRUE(single);
    EXPECT_FALSE(single->part);
    EXPECT_FALSE(single->total);
    EXPECT_EQ(single->line, 128u);
    EXPECT_EQ(single->size, 123456u);
    EXPECT_EQ(single->name, "picture one.jpg");

    const auto multi = ParseYEncBegin("=ybegin part=2 total=7 line=128 size=900000 name=b.gif");
    ASSERT_TRUE(multi);
    EXPECT_EQ(multi->part, 2u);
    EXPECT_EQ(multi->total, 7u);
    EXPECT_EQ(multi->size, 900000u);
    EXPECT_EQ(multi->name, "b.gif");

    // No line=, unknown keywords, and keywords in any order before the name.
    const auto loose = ParseYEncBegin("=ybegin size=5 crc=1 part=1 name=x");
    ASSERT_TRUE(loose);
    EXPECT_FALSE(loose->line);
    EXPECT_EQ(loose->part, 1u);
    // line= is advisory: a broken one does not make the line text.
    const auto badLine = ParseYEncBegin("=ybegin line=12x size=5 name=x");
    ASSERT_TRUE(badLine);
    EXPECT_FALSE(badLine->line);
}

TEST(YEncHeaderTest, NameIsTheRestOfTheLineKeptAsBytes) {
    EXPECT_EQ(ParseYEncBegin("=ybegin line=128 size=1 name=a size=2 part=3.jpg")->name,
              "a size=2 part=3.jpg");
    EXPECT_EQ(ParseYEncBegin("=ybegin size=1 name=\"quoted name.jpg\"")->name, "quoted name.jpg");
    EXPECT_EQ(ParseYEncBegin("=ybegin size=1 name=\"half.jpg")->name, "\"half.jpg");
    const std::string hostile = "../../etc/passwd\x01\xff/\\:*?<>|  .";
    EXPECT_EQ(ParseYEncBegin("=ybegin size=1 name=" + hostile + "\r\n")->name, hostile);
    // "filename=" is not "name=".
    EXPECT_FALSE(ParseYEncBegin("=ybegin size=1 filename=x.jpg"));
}

TEST(YEncHeaderTest, LinesThatAreNotYEnc) {
    for (const char *line : {"=ybegin2 line=128 size=1 name=x",         // a later version
                             "=ybeginx size=1 name=x", "=ybegin",       // keyword only
                             "=ybegin line=128 name=x.jpg",             // no size
                             "=ybegin line=128 size=12",                // no name
                             "=ybegin size=12 part=0 name=x",           // parts count from 1
                             "=ybegin size=12 part=1 total=0 name=x",   //
                             "=ybegin size=12 size=13 name=x",          // given twice
                             "=ybegin size=-1 name=x",                  // not decimal
                             "=ybegin size=12k name=x",                 //
                             "=ybegin size= name=x",                    //
                             "=ybegin size=9223372036854775808 name=x", // past 2^63 - 1
                             "=ybegin size=1 part=4294967296 name=x",   // past 32 bits
                             " =ybegin size=1 name=x", "begin 644 x.jpg"}) {
        EXPECT_FALSE(ParseYEncBegin(line)) << line;
    }
    EXPECT_EQ(ParseYEncBegin("=ybegin size=9223372036854775807 name=x")->size,
              9223372036854775807u);
    EXPECT_EQ(ParseYEncBegin("=ybegin size=1 part=4294967295 name=x")->part, 4294967295u);
}

TEST(YEncHeaderTest, PartRange) {
    const auto p = ParseYEncPart("=ypart begin=384001 end=768000\r\n");
    ASSERT_TRUE(p);
    EXPECT_EQ(p->begin, 384001u);
    EXPECT_EQ(p->end, 768000u);
    EXPECT_EQ(p->Size(), 384000u);
    EXPECT_EQ(ParseYEncPart("=ypart begin=5 end=5")->Size(), 1u);
    for (const char *line : {"=ypart begin=0 end=10", "=ypart begin=11 end=10", "=ypart end=10",
                             "=ypart begin=1", "=ypart begin=1 end=x", "=yparty begin=1 end=2",
                             "=ypart begin=1 end=99999999999999999999"})
        EXPECT_FALSE(ParseYEncPart(line)) << line;
}

TEST(YEncHeaderTest, EndWithAndWithoutCrcs) {
    const auto multi = ParseYEncEnd("=yend size=384000 part=2 pcrc32=0A1B2C3D crc32=ffffffff\r\n");
    ASSERT_TRUE(multi);
    EXPECT_EQ(multi->size, 384000u);
    EXPECT_EQ(multi->part, 2u);
    EXPECT_EQ(multi->pcrc32, 0x0A1B2C3Du);
    EXPECT_EQ(multi->crc32, 0xFFFFFFFFu);

    const auto bare = ParseYEncEnd("=yend size=10");
    ASSERT_TRUE(bare);
    EXPECT_FALSE(bare->crc32);
    EXPECT_FALSE(bare->pcrc32);
    EXPECT_TRUE(ParseYEncEnd("=yend"));
    EXPECT_FALSE(ParseYEncEnd("=yendx size=1"));
}

TEST(YEncHeaderTest, CrcsAsSeenInTheWild) {
    EXPECT_EQ(ParseYEncEnd("=yend crc32=1a2b")->crc32, 0x1A2Bu);
    EXPECT_EQ(ParseYEncEnd("=yend crc32=ffffffff8badf00d")->crc32, 0x8BADF00Du);
    EXPECT_EQ(ParseYEncEnd("=yend crc32=000000001234abcd")->crc32, 0x1234ABCDu);
    for (const char *line :
         {"=yend crc32=123456789abcdef0", "=yend crc32=12345678901234567", "=yend crc32=xyz",
          "=yend crc32=", "=yend pcrc32=1 pcrc32=2", "=yend size=1x"})
        EXPECT_FALSE(ParseYEncEnd(line)) << line;
}

TEST(YEncHeaderTest, KeywordLines) {
    EXPECT_TRUE(IsYEncKeywordLine("=yend size=1"));
    EXPECT_TRUE(IsYEncKeywordLine("=ypart begin=1 end=2"));
    EXPECT_FALSE(IsYEncKeywordLine("=}=y"));
    EXPECT_FALSE(IsYEncKeywordLine("="));
}
