// yEnc files in whole articles, read the way the news client reads them (framed from the
// server's form): where they may stand, the corner cases of real posts, and the faults the
// size and CRC check reports while the bytes are kept.
#include "YEncTestSupport.h"

#include "message/Crc32.h"
#include "message/YEncEncoder.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace vexil;
using namespace vexil::test;

namespace {

const char kHead[] = "From: poster@example.invalid\nSubject: picture\n\n";

std::string Hex(std::uint32_t crc) {
    char text[9];
    std::snprintf(text, sizeof text, "%08x", crc);
    return text;
}

// A single-part file with its begin and end lines, as posted.
std::string SingleFile(std::string_view name, std::string_view bytes, std::size_t lineLength = 128,
                       const std::string &crc = "") {
    const std::string size = std::to_string(bytes.size());
    return "=ybegin line=128 size=" + size + " name=" + std::string(name) + "\r\n" +
           YEncEncode(bytes, lineLength) + "=yend size=" + size +
           " crc32=" + (crc.empty() ? Hex(Crc32(bytes)) : crc) + "\r\n";
}

// Part part of a file of fileSize bytes: begin is 1-based.
std::string FilePart(std::string_view name, int part, std::uint64_t fileSize, std::uint64_t begin,
                     std::string_view bytes, const std::string &trailer = "") {
    return "=ybegin part=" + std::to_string(part) +
           " total=3 line=128 size=" + std::to_string(fileSize) + " name=" + std::string(name) +
           "\r\n=ypart begin=" + std::to_string(begin) +
           " end=" + std::to_string(begin + bytes.size() - 1) + "\r\n" + YEncEncode(bytes) +
           "=yend size=" + std::to_string(bytes.size()) + " part=" + std::to_string(part) +
           " pcrc32=" + Hex(Crc32(bytes)) + trailer + "\r\n";
}

std::unique_ptr<TmsArticle> Load(std::string_view text) {
    return LoadArticle(ServerForm(text));
}

const TmsAttItem &Item(const TmsArticle &a, int i) {
    return a.Attachments().Items(i);
}

} // namespace

TEST(ArticleYEnc, SingleAndMultiPartFilesInAPlainBody) {
    const std::string picture = RandomBytes(70001, 1);
    const auto a =
        Load(std::string(kHead) + "Look at this:\n" + SingleFile("sunset.jpg", picture) + "Bye\n");
    ASSERT_EQ(a->Attachments().Count(), 1);
    EXPECT_EQ(Item(*a, 0).FileName(), "sunset.jpg");
    EXPECT_EQ(Item(*a, 0).ContentType(), "image/jpeg");
    EXPECT_TRUE(AttachmentBytes(*a, 0) == picture);
    EXPECT_EQ(Item(*a, 0).Fault, YEncProblem::None);
    EXPECT_EQ(a->Body(), (std::vector<std::string>{"Look at this:", "Bye"}));

    // The middle part of three, and the whole file in one part given as "part 1 of 1".
    const auto b =
        Load(std::string(kHead) + FilePart("big.gif", 2, 300000, 100001, picture.substr(0, 50000)));
    ASSERT_EQ(b->Attachments().Count(), 1);
    EXPECT_EQ(Item(*b, 0).FileName(), "big.gif");
    EXPECT_TRUE(AttachmentBytes(*b, 0) == picture.substr(0, 50000));
    EXPECT_EQ(Item(*b, 0).Fault, YEncProblem::None);
    const std::string whole =
        FilePart("one.gif", 1, picture.size(), 1, picture, " crc32=" + Hex(Crc32(picture)));
    const auto c = Load(std::string(kHead) + whole);
    EXPECT_EQ(Item(*c, 0).Fault, YEncProblem::None);
    EXPECT_TRUE(AttachmentBytes(*c, 0) == picture);
    // The parts' pcrc32 agree, but the whole file's crc32 does not.
    const auto d = Load(std::string(kHead) +
                        FilePart("one.gif", 1, picture.size(), 1, picture, " crc32=12345678"));
    EXPECT_EQ(Item(*d, 0).Fault, YEncProblem::CrcError);
}

// Parts that follow one another in one article make one file, checked as a whole: the
// parts' CRCs combined against crc32=.
TEST(ArticleYEnc, PartsOfOneFileInOneArticleAreJoined) {
    const std::string file = RandomBytes(30000, 7);
    const std::string a = file.substr(0, 10000), b = file.substr(10000, 10000);
    const std::string c = file.substr(20000);
    const std::string crc = " crc32=" + Hex(Crc32(file));
    const auto joined =
        Load(std::string(kHead) + FilePart("j.jpg", 1, 30000, 1, a) +
             FilePart("j.jpg", 2, 30000, 10001, b) + FilePart("j.jpg", 3, 30000, 20001, c, crc));
    ASSERT_EQ(joined->Attachments().Count(), 1);
    EXPECT_TRUE(AttachmentBytes(*joined, 0) == file);
    EXPECT_EQ(Item(*joined, 0).Fault, YEncProblem::None);
    // Every pcrc32 right, the whole file's crc32 wrong.
    const auto wrong = Load(std::string(kHead) + FilePart("j.jpg", 1, 30000, 1, a) +
                            FilePart("j.jpg", 2, 30000, 10001, b) +
                            FilePart("j.jpg", 3, 30000, 20001, c, " crc32=00000001"));
    ASSERT_EQ(wrong->Attachments().Count(), 1);
    EXPECT_EQ(Item(*wrong, 0).Fault, YEncProblem::CrcError);
    EXPECT_TRUE(AttachmentBytes(*wrong, 0) == file);
    // Parts out of order, or of another file, stay files of their own.
    const auto apart =
        Load(std::string(kHead) + FilePart("j.jpg", 2, 30000, 10001, b) +
             FilePart("j.jpg", 1, 30000, 1, a) + FilePart("k.jpg", 2, 30000, 10001, b));
    ASSERT_EQ(apart->Attachments().Count(), 3);
    EXPECT_TRUE(AttachmentBytes(*apart, 0) == b);
    EXPECT_TRUE(AttachmentBytes(*apart, 1) == a);
    EXPECT_EQ(Item(*apart, 2).FileName(), "k.jpg");
}

TEST(ArticleYEnc, SeveralFilesLinesOfAnyLengthAndUuencodingBeside) {
    const std::string one = RandomBytes(5000, 2), two = RandomBytes(3000, 3);
    const std::string three = RandomBytes(777, 4);
    const auto a = Load(std::string(kHead) + SingleFile("one.jpg", one, 1) + "between\n" +
                        SingleFile("two.jpg", two, 1 << 20) + SingleFile("three.png", three, 61) +
                        "begin 644 four.gif\n" + UULines("uu bytes") + "=ybegin size=2 name=x\n");
    ASSERT_EQ(a->Attachments().Count(), 5);
    EXPECT_TRUE(AttachmentBytes(*a, 0) == one);
    EXPECT_TRUE(AttachmentBytes(*a, 1) == two);
    EXPECT_TRUE(AttachmentBytes(*a, 2) == three);
    EXPECT_EQ(AttachmentBytes(*a, 3), "uu bytes");
    EXPECT_EQ(Item(*a, 3).FileName(), "four.gif");
    // A file cut off before its end is kept, and its size said to be wrong.
    EXPECT_EQ(Item(*a, 4).FileName(), "x");
    EXPECT_EQ(Item(*a, 4).Fault, YEncProblem::SizeMismatch);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(Item(*a, i).Fault, YEncProblem::None) << i;
    EXPECT_EQ(a->Body(), (std::vector<std::string>{"between"}));
}

TEST(ArticleYEnc, FilesInTextPartsOfAMultipart) {
    const std::string one = RandomBytes(4000, 5), two = RandomBytes(900, 6);
    const std::string article =
        "From: poster@example.invalid\nSubject: mixed\nMIME-Version: 1.0\n"
        "Content-Type: multipart/mixed; boundary=\"XX\"\n\npreamble\n--XX\n"
        "Content-Type: text/plain\n\nHello\n" +
        SingleFile("first.jpg", one) + "--XX\nContent-Type: text/plain\n\n" +
        SingleFile("second.jpg", two) + "\n--XX\nContent-Type: text/plain\n\nplain note\n" +
        "--XX\nContent-Type: text/plain\n\n=ybegin size=900 name=cut.jpg\n" +
        YEncEncode(two.substr(0, 500)) + "--XX--\n";
    const auto a = Load(article);
    EXPECT_EQ(a->Body(), (std::vector<std::string>{"Hello"}));
    // A part that only carried a yEnc file gives no text file of its own; one with text does.
    ASSERT_EQ(a->Attachments().Count(), 4);
    EXPECT_EQ(Item(*a, 0).FileName(), "first.jpg");
    EXPECT_TRUE(AttachmentBytes(*a, 0) == one);
    EXPECT_EQ(Item(*a, 1).FileName(), "second.jpg");
    EXPECT_TRUE(AttachmentBytes(*a, 1) == two);
    EXPECT_EQ(AttachmentBytes(*a, 2), "plain note\r\n");
    // Without "=yend" the file ends at the part's delimiter, short.
    EXPECT_EQ(Item(*a, 3).FileName(), "cut.jpg");
    EXPECT_TRUE(AttachmentBytes(*a, 3) == two.substr(0, 500));
    EXPECT_EQ(Item(*a, 3).Fault, YEncProblem::SizeMismatch);

    // A single text body holding a file is read as a plain article.
    const auto b = Load("Subject: s\nMIME-Version: 1.0\nContent-Type: text/plain\n\nhi\n" +
                        SingleFile("body.jpg", one));
    ASSERT_EQ(b->Attachments().Count(), 1);
    EXPECT_TRUE(AttachmentBytes(*b, 0) == one);
    EXPECT_EQ(b->Body(), (std::vector<std::string>{"hi"}));
}

TEST(ArticleYEnc, ManyFilesInOneTextPartStayProportional) {
    std::string files;
    for (int i = 0; i < 20000; ++i)
        files += "=ybegin size=1 name=f.jpg\n+\n=yend size=1\n";
    const auto a =
        Load("Subject: m\nMIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=B\n\n--B\n"
             "Content-Type: text/plain\n\nhi\n--B\nContent-Type: text/plain\n\n" +
             files + "--B--\n");
    EXPECT_EQ(a->Attachments().Count() + a->AttachmentsLeftOut, 20000);
    EXPECT_EQ(AttachmentBytes(*a, 999), "\x01");
}

TEST(ArticleYEnc, LinesThatOnlyLookLikeYEncStayText) {
    const std::string text = std::string(kHead) + "=ybegin2 line=128 size=3 name=a.jpg\n"
                                                  "=ybegin line=128 name=nosize.jpg\n"
                                                  "=ybegin line=128 size=3\n"
                                                  "=yend size=3\n"
                                                  "=ybeginning\n";
    const auto a = Load(text);
    EXPECT_EQ(a->Attachments().Count(), 0);
    EXPECT_EQ(a->Body().size(), 5u);
    EXPECT_EQ(a->Body()[0], "=ybegin2 line=128 size=3 name=a.jpg");
}

// A part made by hand with what real posts do: an escaped dot and a bare one (which the server
// doubles) at line starts, a blank and a TAB at line ends, an escape as the last byte of a
// line, "=yend" without crc32, and a name meant to escape the folder.
TEST(ArticleYEnc, HandMadeCornerCases) {
    const std::string lines = "=nabc\r\n.def \r\n..gh\t\r\nijk=\r\nJlm\r\n";
    const std::string expected = HandDecoded(lines);
    ASSERT_EQ(expected.size(), 20u);
    EXPECT_EQ(expected[0], '\x04');                        // "=n": an escaped dot
    EXPECT_EQ(expected[4], '\x04');                        // ".def": the server's dot undone
    EXPECT_EQ(expected[17], static_cast<char>('J' - 106)); // the escape across the line end
    const std::string name = "../../tmp/evil\x01name \"x\".jpg";
    const std::string size = std::to_string(expected.size());
    const auto post = [&](const std::string &partLine, const std::string &end) {
        return std::string(kHead) + "=ybegin part=1 total=1 line=128 size=" + size +
               " name=" + name + "\r\n" + partLine + lines + end + "\r\n";
    };
    const std::string range = "=ypart begin=1 end=" + size + "\r\n";
    const std::string good = "=yend size=" + size + " part=1 pcrc32=" + Hex(Crc32(expected));
    const auto a = Load(post(range, good));
    ASSERT_EQ(a->Attachments().Count(), 1);
    EXPECT_EQ(AttachmentBytes(*a, 0), expected);
    EXPECT_EQ(Item(*a, 0).Fault, YEncProblem::None);
    // The name as posted: the folder's own name rules make it safe when it is stored.
    EXPECT_EQ(Item(*a, 0).FileName(), name);

    // The same bytes under a wrong CRC, and under sizes that disagree: kept, and reported.
    const auto badCrc = Load(post(range, "=yend size=" + size + " part=1 pcrc32=0badc0de"));
    EXPECT_EQ(badCrc->Attachments().Items(0).Fault, YEncProblem::CrcError);
    EXPECT_EQ(AttachmentBytes(*badCrc, 0), expected);
    const auto badRange = Load(post("=ypart begin=1 end=30\r\n", good));
    EXPECT_EQ(badRange->Attachments().Items(0).Fault, YEncProblem::SizeMismatch);
    EXPECT_EQ(AttachmentBytes(*badRange, 0), expected);
    const auto badEnd = Load(post(range, "=yend size=99 part=1 pcrc32=" + Hex(Crc32(expected))));
    EXPECT_EQ(badEnd->Attachments().Items(0).Fault, YEncProblem::SizeMismatch);
    // Without "=ypart" the part is taken as the whole file.
    EXPECT_EQ(Load(post("", good))->Attachments().Items(0).Fault, YEncProblem::None);
}
