#include "message/TQuotedPrintable.h"
#include "platform/Exception.h"
#include "platform/TStream.h"

#include <gtest/gtest.h>

#include <random>

using namespace vexil;

namespace {

using Lines = std::vector<std::string>;

Lines Encode(std::string bytes) {
    TMemoryStream stream(std::move(bytes));
    stream.SetPosition(stream.Size());
    Lines lines;
    TQuotedPrintable(stream, lines).Encode();
    return lines;
}

std::string Decode(Lines lines) {
    TMemoryStream stream;
    TQuotedPrintable(stream, lines).Decode();
    return std::string(stream.Bytes());
}

} // namespace

TEST(QuotedPrintableEncode, MakesOneLinePerTextLine) {
    EXPECT_EQ(Encode("one\r\ntwo\r\n"), (Lines{"one", "two"}));
    EXPECT_EQ(Encode("one\ntwo"), (Lines{"one", "two"}));
    EXPECT_EQ(Encode("one\n\rtwo"), (Lines{"one", "two"}));
    EXPECT_EQ(Encode(""), Lines{});
    // The last byte of the stream is text, even a line end.
    EXPECT_EQ(Encode("one\n"), (Lines{"one=0A"}));
}

TEST(QuotedPrintableEncode, KeepsBlankLinesBetweenBareLineEnds) {
    // Two line ends in a row are two lines, so no blank line of a text is lost.
    EXPECT_EQ(Encode("a\n\nb"), (Lines{"a", "", "b"}));
    EXPECT_EQ(Encode("a\r\r\nb"), (Lines{"a", "", "b"}));
    EXPECT_EQ(Encode("a\r\n\r\nb\r\n"), (Lines{"a", "", "b"}));
}

TEST(QuotedPrintableEncode, EscapesControlEightBitAndEquals) {
    EXPECT_EQ(Encode("caf\xe9 = 1\tx"), (Lines{"caf=E9 =3D 1=09x"}));
    EXPECT_EQ(Encode("trailing  "), (Lines{"trailing  "}));
}

TEST(QuotedPrintableEncode, WrapsLongParagraphsBeforeABlank) {
    std::string text;
    for (int i = 0; i < 20; ++i)
        text += "word ";
    text.resize(100);
    const Lines lines = Encode(text);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_LE(lines[0].size(), 66u);
    EXPECT_EQ(lines[0].back(), '=');
    EXPECT_EQ(lines[1].front(), ' ');
    // No blank: a hard cut at 65 characters.
    const Lines hard = Encode(std::string(130, 'x'));
    EXPECT_EQ(hard, (Lines{std::string(65, 'x') + "=", std::string(65, 'x')}));
    // Exactly 65 characters fit on one line.
    EXPECT_EQ(Encode(std::string(65, 'y')), Lines{std::string(65, 'y')});
    EXPECT_THROW(Encode(std::string(TQuotedPrintable::kParagraphMax, 'z')), Exception);
}

TEST(QuotedPrintableDecode, JoinsSoftBreaksAndEndsEveryLineInCrLf) {
    EXPECT_EQ(Decode({"abc=", "def"}), "abcdef\r\n");
    EXPECT_EQ(Decode({"a=3Db"}), "a=b\r\n");
    EXPECT_EQ(Decode({"a=e9b=E9"}), "a\xe9"
                                    "b\xe9\r\n");
    EXPECT_EQ(Decode({"a=XYb", "=4"}), "a=XYb\r\n=4\r\n");
    EXPECT_EQ(Decode({"", "x"}), "\r\nx\r\n");
    EXPECT_EQ(Decode({"end\x1a"}), "end\x1a");
    EXPECT_EQ(Decode({}), "");
}

TEST(QuotedPrintableDecode, AnEscapedEqualsSignAtTheEndIsNoSoftBreak) {
    EXPECT_EQ(Decode({"x=3D", "y"}), "x=\r\ny\r\n");
    EXPECT_EQ(Decode({"x=3D=", "y"}), "x=y\r\n");
}

TEST(QuotedPrintableDecode, KeepsLinesLongerThanAShortText) {
    const std::string line(400, 'q');
    EXPECT_EQ(Decode({line}), line + "\r\n");
}

TEST(QuotedPrintableDecode, RefusesParagraphsOverTheLimit) {
    Lines lines(400, std::string(70, 'p') + "=");
    lines.push_back("end");
    try {
        Decode(lines);
        FAIL() << "a paragraph of 28000 bytes was accepted";
    } catch (const Exception &e) {
        EXPECT_EQ(e.Message(), "Paragraph is too large");
    }
}

TEST(QuotedPrintable, RoundTripsRandomTextWithCrLfLineEnds) {
    std::mt19937 rng(5);
    for (int round = 0; round < 200; ++round) {
        std::string text;
        const int lines = 1 + static_cast<int>(rng() % 6);
        for (int l = 0; l < lines; ++l) {
            const std::size_t n = rng() % 300;
            for (std::size_t i = 0; i < n; ++i) {
                char c = static_cast<char>(rng() & 0xFF);
                if (c == '\r' || c == '\n' || c == '\x1a')
                    c = ' ';
                text += c;
            }
            text += "\r\n";
        }
        ASSERT_EQ(Decode(Encode(text)), text) << round;
    }
}

TEST(QPDecodeText, DecodesOneLineToItsFirstLineEnd) {
    EXPECT_EQ(QPDecodeText("caf=E9"), "caf\xe9");
    EXPECT_EQ(QPDecodeText("soft="), "soft");
    EXPECT_EQ(QPDecodeText("two=0Alines"), "two");
    EXPECT_EQ(QPDecodeText(""), "");
    EXPECT_EQ(QPDecodeText(std::string(300, 'x')).size(), 255u);
}
