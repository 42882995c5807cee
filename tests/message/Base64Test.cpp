#include "message/Base64.h"
#include "platform/Exception.h"

#include <gtest/gtest.h>

#include <random>

using namespace vexil;

namespace {

std::string RandomBytes(std::mt19937 &rng, std::size_t n) {
    std::string s(n, '\0');
    for (auto &c : s)
        c = static_cast<char>(rng() & 0xFF);
    return s;
}

std::string Decode(std::string_view text) {
    std::string out(Base64DecodedMax(text.size()), '\0');
    out.resize(Base64Decode(text, out.data(), out.size()));
    return out;
}

} // namespace

TEST(Base64, DecodesTheStandardVectorsAndHonoursTheFill) {
    EXPECT_EQ(Base64DecodeLine(""), "");
    EXPECT_EQ(Base64DecodeLine("Zg=="), "f");
    EXPECT_EQ(Base64DecodeLine("Zm8="), "fo");
    EXPECT_EQ(Base64DecodeLine("Zm9v"), "foo");
    EXPECT_EQ(Base64DecodeLine("Zm9vYmFy"), "foobar");
    EXPECT_EQ(Base64DecodeLine("+/+/"), "\xfb\xff\xbf");
    // Unpadded last groups give what their bits hold.
    EXPECT_EQ(Base64DecodeLine("Zm8"), "fo");
    EXPECT_EQ(Base64DecodeLine("Zg"), "f");
    EXPECT_EQ(Base64DecodeLine("Z"), "");
    // More fill characters than bytes never underflows.
    EXPECT_EQ(Base64DecodeLine("===="), "");
    EXPECT_EQ(Base64DecodeLine("Zg========"), "");
}

TEST(Base64, RefusesCharactersOutsideTheAlphabet) {
    for (const char *bad : {"Zm9v YmFy", "Zm9v\t", "Zm9v\r", "Zm-v", "Zm9v.", "\xc3\xa9xx"}) {
        try {
            Base64DecodeLine(bad);
            ADD_FAILURE() << "accepted " << bad;
        } catch (const EInOutError &e) {
            EXPECT_EQ(e.Message(), "Invalid Character");
        }
    }
    // In the short last group too.
    EXPECT_THROW(Base64DecodeLine("Zm9vY!"), EInOutError);
}

TEST(Base64, EncodesBlocksIntoPaddedLines) {
    EXPECT_EQ(Base64EncodeBlock(""), "");
    EXPECT_EQ(Base64EncodeBlock("f"), "Zg==");
    EXPECT_EQ(Base64EncodeBlock("fo"), "Zm8=");
    EXPECT_EQ(Base64EncodeBlock("foobar"), "Zm9vYmFy");
    EXPECT_EQ(Base64EncodeBlock(std::string(57, 'x')).size(), 76u);
}

TEST(Base64, RoundTripsRandomDataOfEveryLength) {
    std::mt19937 rng(7);
    for (std::size_t n = 0; n <= 200; ++n) {
        const std::string bytes = RandomBytes(rng, n);
        const std::string text = Base64EncodeBlock(bytes);
        ASSERT_EQ(text.size() % 4, 0u);
        ASSERT_EQ(Decode(text), bytes) << n;
        if (n <= 57) {
            ASSERT_EQ(Base64DecodeLine(text), bytes) << n;
        }
    }
}

TEST(Base64, ShortTextFormCutsTheLineAndTheCursorFormDoesNot) {
    const std::string bytes(300, 'a');
    const std::string text = Base64EncodeBlock(bytes);
    EXPECT_EQ(Decode(text), bytes);
    // 255 characters: 63 whole groups and three characters more.
    EXPECT_EQ(Base64DecodeLine(text), std::string(63 * 3 + 2, 'a'));
    char small[3];
    EXPECT_THROW(Base64Decode("Zm9vYmFy", small, sizeof small), std::length_error);
}
