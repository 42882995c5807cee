#include "message/HeaderWords.h"

#include <gtest/gtest.h>

using namespace vexil;

TEST(DecodeHeaderWords, DecodesBAndQWordsAndDropsTheBlankAfterThem) {
    // "Grüße" in Latin-1, base64.
    EXPECT_EQ(DecodeHeaderWords("=?iso-8859-1?B?R3L832U=?= from home"), "Gr\xfc\xdf"
                                                                        "efrom home");
    EXPECT_EQ(DecodeHeaderWords("=?ISO-8859-1?Q?caf=E9?="), "caf\xe9");
    EXPECT_EQ(DecodeHeaderWords("Re: =?us-ascii?q?a?= =?us-ascii?q?b?="), "Re: ab");
    EXPECT_EQ(DecodeHeaderWords("=?utf-8?b?Wg==?="), "Z");
}

TEST(DecodeHeaderWords, FindsTheCloseAfterEncodedTextThatStartsWithEquals) {
    EXPECT_EQ(DecodeHeaderWords("=?iso-8859-1?Q?=E9t=E9?="), "\xe9t\xe9");
    EXPECT_EQ(DecodeHeaderWords("=?iso-8859-1?q?=E9t=E9?="), "\xe9t\xe9");
    // Encoded text that is a single letter "b" or "q" is text, not a separator.
    EXPECT_EQ(DecodeHeaderWords("=?us-ascii?Q?b?= =?us-ascii?q?Q?="), "bQ");
}

TEST(DecodeHeaderWords, TurnsUnderscoresIntoBlanksOnceAWordWasDecoded) {
    EXPECT_EQ(DecodeHeaderWords("=?x?Q?two_words?= and_more"), "two wordsand more");
    EXPECT_EQ(DecodeHeaderWords("plain_text"), "plain_text");
}

TEST(DecodeHeaderWords, LeavesWhatItCannotDecode) {
    EXPECT_EQ(DecodeHeaderWords("=?iso-8859-1?Q?open"), "=?iso-8859-1?Q?open");
    EXPECT_EQ(DecodeHeaderWords("a =?x?B?not base64!?= b"), "a =?x?B?not base64!?= b");
    EXPECT_EQ(DecodeHeaderWords("=?x?Z?abc?= =?x?Q?ok?="), "=?x?Z?abc?= ok");
    EXPECT_EQ(DecodeHeaderWords("=?nothing?="), "=?nothing?=");
    EXPECT_EQ(DecodeHeaderWords("=?"), "=?");
}

TEST(DecodeHeaderWords, WorksOnShortText) {
    EXPECT_EQ(DecodeHeaderWords(std::string(300, 'a')).size(), 255u);
    // A word that decodes into another word is decoded again, and this still ends.
    EXPECT_EQ(DecodeHeaderWords("=?x?Q?=3D=3Fy=3FQ=3Fin=3F=3D?="), "in");
}
