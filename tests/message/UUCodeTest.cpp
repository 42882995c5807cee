#include "message/UUCode.h"
#include "platform/Exception.h"

#include <gtest/gtest.h>

#include <random>

using namespace vexil;

namespace {

std::string Decode(std::string_view line) {
    std::string out(UUDecodedMax(line.size()), '\0');
    out.resize(UUDecode(line, out.data(), out.size()));
    return out;
}

} // namespace

TEST(UUCode, DecodesFullAndShortLines) {
    // "Cat" as sharutils writes it.
    EXPECT_EQ(UUDecodeLine("#0V%T"), "Cat");
    EXPECT_EQ(UUDecodeLine("`"), "");
    EXPECT_EQ(UUDecodeLine(""), "");
    const std::string full = UUEncodeBlock(std::string(45, '\x01'));
    ASSERT_EQ(full[0], 'M');
    EXPECT_EQ(UUDecodeLine(full), std::string(45, '\x01'));
    // A count larger than the line holds gives what the line holds, no invented bytes.
    EXPECT_EQ(UUDecodeLine("M0V%T"), std::string("Cat\0", 3));
    // A group cut short by the line end counts as completed with zeros.
    EXPECT_EQ(UUDecodeLine("\"0V$"), "Ca");
    // The last line of a 14-byte file begins with ".", the dot that NNTP doubles.
    const std::string dotLine = UUEncodeBlock("fourteen bytes");
    EXPECT_EQ(dotLine[0], '.');
    EXPECT_EQ(UUDecodeLine(dotLine), "fourteen bytes");
}

TEST(UUCode, RefusesBlanksAndForeignCharacters) {
    for (const char *bad : {"#0V T", " ", "#0V%t", "#0V%\x7f", "a"}) {
        try {
            UUDecodeLine(bad);
            ADD_FAILURE() << "accepted " << bad;
        } catch (const EInOutError &e) {
            EXPECT_EQ(e.Message(), "Invalid Character");
        }
    }
}

TEST(UUCode, EncodesWithoutFillAndWithGraveAccentsForZero) {
    EXPECT_EQ(UUEncodeBlock(""), "`");
    EXPECT_EQ(UUEncodeBlock("Cat"), "#0V%T");
    EXPECT_EQ(UUEncodeBlock("Ca").size(), 4u);
    EXPECT_EQ(UUEncodeBlock(std::string(3, '\0')), "#````");
    const std::string line = UUEncodeBlock(std::string(45, 'z'));
    EXPECT_EQ(line.size(), 61u);
    EXPECT_EQ(line.find(' '), std::string::npos);
    EXPECT_THROW(UUEncodeBlock(std::string(46, 'z')), std::length_error);
}

TEST(UUCode, RoundTripsRandomDataOfEveryLength) {
    std::mt19937 rng(11);
    for (std::size_t n = 0; n <= 45; ++n) {
        for (int round = 0; round < 20; ++round) {
            std::string bytes(n, '\0');
            for (auto &c : bytes)
                c = static_cast<char>(rng() & 0xFF);
            const std::string line = UUEncodeBlock(bytes);
            ASSERT_EQ(line.size(), 1 + n * 4 / 3 + (n % 3 != 0 ? 1 : 0));
            ASSERT_EQ(UUDecodeLine(line), bytes) << n;
            ASSERT_EQ(Decode(line), bytes) << n;
        }
    }
}
