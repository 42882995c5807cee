// Reading an article by pointer and collecting attachment bytes without zero fills: the
// places where such code goes wrong are line ends at the edges, pieces larger than the
// buffers, and sizes guessed wrong.
#include "ArticleTestSupport.h"

#include "message/TArticleLines.h"
#include "message/TByteBuffer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <unistd.h>

using namespace vexil;
using namespace vexil::test;

namespace {

using Lines = std::vector<std::string>;

Lines AllLines(std::string_view bytes) {
    TArticleLines lines(bytes);
    Lines out;
    for (std::string_view line; lines.Next(line);)
        out.emplace_back(line);
    return out;
}

} // namespace

TEST(ArticleLines, BreaksAtCrLfLfOrCrAndKeepsALastLineWithoutBreak) {
    EXPECT_EQ(AllLines("a\r\nb\nc\rd"), (Lines{"a", "b", "c", "d"}));
    EXPECT_EQ(AllLines("a\r\n\r\n\n\r"), (Lines{"a", "", "", ""}));
    EXPECT_EQ(AllLines("\r\r\n"), (Lines{"", ""}));
    EXPECT_EQ(AllLines(std::string_view("x\0y\r\n", 5)), Lines{std::string("x\0y", 3)});
    EXPECT_EQ(AllLines(""), Lines{});
    // LF line ends first, a CR far behind: the CR is still found where it is.
    EXPECT_EQ(AllLines("1\n2\n3\r4\n"), (Lines{"1", "2", "3", "4"}));
}

TEST(ArticleLines, GoesBackToAPositionAndReadsTheSameLinesAgain) {
    const std::string text = "h1\r\nh2\r\n\r\nbody\rmore\n";
    TArticleLines lines(text);
    std::string_view line;
    ASSERT_TRUE(lines.Next(line));
    const std::size_t mark = lines.Position();
    while (lines.Next(line)) {
    }
    EXPECT_TRUE(lines.AtEnd());
    lines.SetPosition(mark);
    ASSERT_TRUE(lines.Next(line));
    EXPECT_EQ(line, "h2");
    EXPECT_EQ(lines.Rest(), "\r\nbody\rmore\n");
    lines.SetPosition(0);
    ASSERT_TRUE(lines.Next(line));
    EXPECT_EQ(line, "h1");
    // The lines are views into the bytes themselves.
    EXPECT_EQ(line.data(), text.data());
}

TEST(ByteBuffer, PiecesOfEverySizeArriveInOrderWhateverWasExpected) {
    const std::string big = Picture('B', 100000);
    for (const std::size_t expected : {std::size_t(0), std::size_t(10), std::size_t(1) << 24}) {
        TByteBuffer buffer;
        buffer.Expect(expected);
        std::string want;
        for (int i = 0; i < 3000; ++i) {
            const std::string piece = Picture(static_cast<char>(i), 1 + i % 61);
            buffer.Append(piece);
            want += piece;
        }
        // A piece larger than any block, written into room asked for.
        char *room = buffer.Room(big.size() + 10);
        std::copy(big.begin(), big.end(), room);
        buffer.Commit(big.size());
        want += big;
        // Room asked for and not used leaves nothing behind.
        buffer.Room(500);
        buffer.Commit(0);
        buffer.Append(big);
        want += big;
        EXPECT_EQ(buffer.Size(), want.size());
        const std::string got = buffer.Take();
        EXPECT_TRUE(got == want) << expected;
        // A guess far too large is not kept around the bytes handed out.
        EXPECT_LE(got.capacity(), 2 * got.size() + 65536);
        EXPECT_EQ(buffer.Size(), 0u);
        buffer.Append("again");
        EXPECT_EQ(buffer.Take(), "again");
    }
}

TEST(ByteBuffer, SizesThatLieCostNoMoreThanTheirCap) {
    // Declared sizes come from the article: too small, too large or absurd, the bytes still
    // arrive whole, and an absurd one is neither an allocation failure nor kept.
    const std::string pic = Picture('S', 300000);
    for (const std::size_t declared : {std::size_t(1), pic.size() / 2, pic.size() * 3,
                                       std::size_t(1000000000000000), SIZE_MAX}) {
        TByteBuffer buffer;
        buffer.Append("head");
        ASSERT_NO_THROW(buffer.Expect(declared)) << declared;
        for (std::size_t at = 0; at < pic.size(); at += 45) {
            const std::size_t n = std::min<std::size_t>(45, pic.size() - at);
            char *room = buffer.Room(n);
            std::copy_n(pic.data() + at, n, room);
            buffer.Commit(n);
        }
        const std::string got = buffer.Take();
        EXPECT_TRUE(got == "head" + pic) << declared;
        EXPECT_LE(got.capacity(), 2 * got.size() + 65536) << declared;
    }
}

TEST(ByteBuffer, ClearDropsAFailedDecoding) {
    TByteBuffer buffer;
    buffer.Append("half");
    buffer.Room(1 << 20);
    buffer.Clear();
    buffer.Append("whole");
    EXPECT_EQ(buffer.Take(), "whole");
}

TEST(ArticleBuffers, ALineLongerThanAnyBufferDecodesWhole) {
    // One base64 line of 1.3 MB and one uuencoded file written with overlong lines.
    const std::string pic = Picture('L', 1000000);
    std::string oneLine;
    for (std::size_t pos = 0; pos < pic.size(); pos += 57)
        oneLine += Base64EncodeBlock(std::string_view(pic).substr(pos, 57));
    const auto a = LoadArticle(Wire("From: a@example.invalid\nMIME-Version: 1.0\n"
                                    "Content-Type: multipart/mixed; boundary=q\n\n--q\n"
                                    "Content-Type: text/plain\n\nhi\n--q\n"
                                    "Content-Type: image/jpeg; name=long.jpg\n"
                                    "Content-Transfer-Encoding: base64\n\n" +
                                    oneLine + "\n--q--\n"));
    ASSERT_EQ(a->Attachments().Count(), 1);
    EXPECT_TRUE(AttachmentBytes(*a, 0) == pic);
}

TEST(ArticleBuffers, AnArticleEndingWithoutALineEnd) {
    const std::string pic = Picture('E', 4000);
    std::string b64 = Base64Lines(pic);
    b64.pop_back();
    const auto single = LoadArticle("MIME-Version: 1.0\r\nContent-Type: image/gif; name=a.gif\r\n"
                                    "Content-Transfer-Encoding: base64\r\n\r\n" +
                                    b64);
    ASSERT_EQ(single->Attachments().Count(), 1);
    EXPECT_TRUE(AttachmentBytes(*single, 0) == pic);

    std::string uu = UULines(pic);
    uu.resize(uu.find("`\nend"));
    uu.pop_back();
    const auto plain = LoadArticle("Subject: cut\n\nbegin 644 b.jpg\n" + uu);
    ASSERT_EQ(plain->Attachments().Count(), 1);
    EXPECT_TRUE(AttachmentBytes(*plain, 0) == pic);

    const auto text = LoadArticle("Subject: t\r\n\r\nlast words");
    EXPECT_EQ(text->Body(), Lines{"last words"});

    // Nothing at all, and a begin line that is the last bytes of the article.
    const auto empty = LoadArticle("");
    EXPECT_EQ(empty->Attachments().Count(), 0);
    EXPECT_TRUE(empty->Body().empty());
    const auto begun = LoadArticle("Subject: b\n\nbegin 644 c.jpg");
    ASSERT_EQ(begun->Attachments().Count(), 1);
    EXPECT_EQ(AttachmentBytes(*begun, 0), "");
}

TEST(ArticleBuffers, SizesGuessedFromTheArticleMayBeWrong) {
    // The first file ends with "END" and no grave accent line, so the room guessed for it
    // reaches to the end of the second file.
    const std::string one = Picture('1', 70000);
    const std::string two = Picture('2', 90000);
    std::string first = UULines(one);
    first.replace(first.find("`\nend"), std::string::npos, "END\n");
    const auto a = LoadArticle(Wire("Subject: two\n\nbegin 644 one.jpg\n" + first +
                                    "text\nbegin 644 two.jpg\n" + UULines(two)));
    ASSERT_EQ(a->Attachments().Count(), 2);
    EXPECT_TRUE(AttachmentBytes(*a, 0) == one);
    EXPECT_TRUE(AttachmentBytes(*a, 1) == two);

    // A 7-bit part with bare line feeds grows by a CR a line beyond its size in the article.
    std::string text;
    for (int i = 0; i < 20000; ++i)
        text += "line " + std::to_string(i) + "\n";
    std::string want;
    for (int i = 0; i < 20000; ++i)
        want += "line " + std::to_string(i) + "\r\n";
    const auto b = LoadArticle("MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=q\n\n"
                               "--q\nContent-Type: text/plain\n\nhi\n--q\n"
                               "Content-Type: text/plain; name=t.txt\n\n" +
                               text + "--q--\n");
    ASSERT_EQ(b->Attachments().Count(), 1);
    EXPECT_TRUE(AttachmentBytes(*b, 0) == want);
}

TEST(ArticleBuffers, AnArticleFromAStreamNotInMemoryIsReadToo) {
    const std::string pic = Picture('F', 3000);
    const auto path = std::filesystem::temp_directory_path() /
                      ("vexil-article-buffer-" + std::to_string(getpid()) + ".txt");
    {
        TFileStream file(path.string(), TFileStream::Mode::Create);
        file.Write(Wire("Subject: file\n\nbegin 644 f.jpg\n" + UULines(pic)));
        file.Close();
    }
    TFileStream file(path.string(), TFileStream::Mode::Read);
    TmsArticle article;
    article.LoadFromStream(file);
    std::filesystem::remove(path);
    ASSERT_EQ(article.Attachments().Count(), 1);
    EXPECT_TRUE(AttachmentBytes(article, 0) == pic);
}

TEST(ArticleBuffers, PartsOfAnArticleWithBareCarriageReturns) {
    std::string text = "MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=q\n\n--q\n"
                       "Content-Type: text/plain\n\nhi\n";
    for (int i = 0; i < 3; ++i)
        text += "--q\nContent-Type: image/gif; name=" + std::to_string(i) +
                ".gif\nContent-Transfer-Encoding: base64\n\n" +
                Base64Lines(Picture(static_cast<char>(i), 2000));
    text += "--q--\n";
    std::replace(text.begin(), text.end(), '\n', '\r');
    const auto a = LoadArticle(text);
    ASSERT_EQ(a->Attachments().Count(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(AttachmentBytes(*a, i) == Picture(static_cast<char>(i), 2000)) << i;
}
