// Server and article text on its way to a terminal or a message box: control characters are
// replaced, every other character stays as it came.
#include "platform/PrintableText.h"

#include <gtest/gtest.h>

#include <string>

using vexil::IsUtf8Text;
using vexil::PrintableText;

TEST(PrintableText, ReplacesAsciiControlsAndKeepsTheRest) {
    EXPECT_EQ(PrintableText("200 news.example.com ready (posting ok)"),
              "200 news.example.com ready (posting ok)");
    // Retitle the terminal, clear it, ring the bell.
    EXPECT_EQ(PrintableText("\x1b]0;owned\x07\x1b[2J211 ok"), "?]0;owned??[2J211 ok");
    // A NUL first must not end the text where C strings are used.
    EXPECT_EQ(PrintableText(std::string("\0"
                                        "500 x\r\n\x7f",
                                        9)),
              "?500 x???");
    EXPECT_EQ(PrintableText("a\tb"), "a b");
    EXPECT_EQ(PrintableText(""), "");
}

TEST(PrintableText, Latin1TextLosesItsC1Bytes) {
    // 0x9B is CSI on an 8-bit terminal; 0x85 is NEL.
    EXPECT_EQ(PrintableText("\x9b"
                            "2J Gr\xfc\xdf"
                            "e\x85"),
              "?2J Gr\xfc\xdf"
              "e?");
    EXPECT_EQ(PrintableText("\xa0\xff"), "\xa0\xff");
}

TEST(PrintableText, Utf8TextKeepsItsLettersAndLosesItsC1Characters) {
    // Cyrillic and Czech letters whose second bytes lie in 0x80-0x9F stay whole.
    const std::string letters =
        "\xd1\x80\xd1\x83\xd1\x81 \xc4\x9b\xc5\x99 \xe2\x82\xac \xf0\x9f\x98\x80";
    EXPECT_EQ(PrintableText(letters), letters);
    // U+009B (CSI) and U+0085 become one mark each; the text stays UTF-8.
    const std::string shown = PrintableText("\xc2\x9b"
                                            "2J \xc3\xa9\xc2\x85");
    EXPECT_EQ(shown, "?2J \xc3\xa9?");
    EXPECT_TRUE(IsUtf8Text(shown));
}

TEST(PrintableText, MalformedUtf8IsReadAsLatin1) {
    for (const std::string bad :
         {"\xc0\xaf\x9b", "\xed\xa0\x80\x9b", "\xf4\x90\x80\x80\x9b", "\xe2\x82!\x9b", "\xc4"}) {
        EXPECT_FALSE(IsUtf8Text(bad)) << bad;
        const std::string shown = PrintableText(bad);
        EXPECT_EQ(shown.size(), bad.size());
        for (const char c : shown)
            EXPECT_FALSE(static_cast<unsigned char>(c) >= 0x80 &&
                         static_cast<unsigned char>(c) < 0xA0)
                << bad;
    }
    EXPECT_TRUE(IsUtf8Text("\xf4\x8f\xbf\xbf \xed\x9f\xbf"));
}
