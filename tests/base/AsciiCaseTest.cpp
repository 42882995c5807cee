#include "base/AsciiCase.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

namespace vexil {
namespace {

// Bytes of every value: only the 26 letters of each case may change.
std::string AllBytes() {
    std::string bytes;
    for (int c = 0; c < 256; ++c)
        bytes += static_cast<char>(c);
    return bytes;
}

TEST(AsciiCase, ChangesOnlyTheAsciiLettersWhateverTheLocale) {
    // The program runs under the user's locale once the toolkit has started.
    std::setlocale(LC_ALL, "C.UTF-8");
    const std::string all = AllBytes();
    const std::string upper = UpperAscii(all);
    const std::string lower = LowerAscii(all);
    ASSERT_EQ(upper.size(), 256u);
    ASSERT_EQ(lower.size(), 256u);
    for (int c = 0; c < 256; ++c) {
        const bool small = c >= 'a' && c <= 'z', capital = c >= 'A' && c <= 'Z';
        EXPECT_EQ(static_cast<unsigned char>(upper[c]), small ? c - 32 : c) << c;
        EXPECT_EQ(static_cast<unsigned char>(lower[c]), capital ? c + 32 : c) << c;
    }
    std::setlocale(LC_ALL, "C");
}

TEST(AsciiCase, ComparesIgnoringLetterCaseOnly) {
    EXPECT_TRUE(EqualsNoCase("Content-Type", "CONTENT-TYPE"));
    EXPECT_FALSE(EqualsNoCase("Content-Type", "Content-Typ"));
    // "[" and "{" sit 32 apart as the letters do, but are not letters.
    EXPECT_FALSE(EqualsNoCase("[", "{"));
    EXPECT_FALSE(EqualsNoCase("\xC4", "\xE4"));
    EXPECT_TRUE(EqualsNoCase("", ""));

    EXPECT_TRUE(StartsWithNoCase("authinfo pass secret", "AUTHINFO PASS "));
    EXPECT_FALSE(StartsWithNoCase("AUTHINFO", "AUTHINFO PASS "));
    EXPECT_TRUE(StartsWithNoCase("anything", ""));
}

TEST(AsciiCase, FindsIgnoringLetterCase) {
    EXPECT_EQ(FindNoCase("see Http://example.org/2", "HTTP"), 4u);
    EXPECT_EQ(FindNoCase("no address here", "HTTP"), std::string_view::npos);
    EXPECT_EQ(FindNoCase("HTT", "HTTP"), std::string_view::npos);
    EXPECT_EQ(FindNoCase("", ""), 0u);
    EXPECT_EQ(FindNoCase("filename=\"a.jpg\"", "NAME"), 4u);
}

} // namespace
} // namespace vexil
