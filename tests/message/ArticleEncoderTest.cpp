#include "ArticleTestSupport.h"

#include "message/HeaderText.h"
#include "message/TmsArticleEncoder.h"
#include "message/TmsAttItem.h"
#include "platform/Exception.h"

#include <gtest/gtest.h>

#include <random>

using namespace vexil;
using namespace vexil::test;

namespace {

using Lines = std::vector<std::string>;

void Fill(TmsArticle &a) {
    a.Sender().SetName("Ann");
    a.Sender().SetAddress("ann@example.invalid");
    a.SetNewsGroups("alt.binaries.pictures.test");
    a.SetSubject("test");
}

std::string Save(TmsArticle &a) {
    TMemoryStream out;
    a.SaveToStream(out);
    return std::string(out.Bytes());
}

Lines WireLines(const std::string &wire) {
    Lines lines;
    std::size_t pos = 0;
    while (pos < wire.size()) {
        const std::size_t end = wire.find("\r\n", pos);
        EXPECT_NE(end, std::string::npos) << "every line ends in CR LF";
        if (end == std::string::npos)
            break;
        lines.push_back(wire.substr(pos, end - pos));
        pos = end + 2;
    }
    return lines;
}

std::unique_ptr<TmsAttItem> Item(const std::string &name, std::string bytes) {
    auto item = std::make_unique<TmsAttItem>();
    item->SetFileName(name);
    item->Data.Assign(std::move(bytes));
    return item;
}

// Encodes, then decodes what the encoder wrote. (Read back from a server, the block ends in
// the "." line, which a text body keeps as its last line.)
std::unique_ptr<TmsArticle> RoundTrip(TmsArticle &a) {
    return LoadArticle(Save(a));
}

} // namespace

TEST(ArticleEncoder, PlainAsciiArticle) {
    TmsArticle a;
    Fill(a);
    a.SetBody({"line one", "line two"});
    EXPECT_EQ(WireLines(Save(a)),
              (Lines{"From:     Ann <ann@example.invalid>",
                     "Newsgroups: alt.binaries.pictures.test", "Subject:  test",
                     "Mime-Version: 1.0", "Content-Type: text/plain; charset=\"us-ascii\"",
                     "Content-Transfer-Encoding: 7bit", "", "line one", "line two"}));
}

TEST(ArticleEncoder, LongLinesAndLatin1GoQuotedPrintable) {
    TmsArticle a;
    Fill(a);
    a.SetBody({std::string(300, 'w')});
    const Lines lines = WireLines(Save(a));
    EXPECT_EQ(lines[5], "Content-Transfer-Encoding: quoted-printable");
    EXPECT_EQ(lines[7], std::string(65, 'w') + "=");

    TmsArticle latin;
    Fill(latin);
    latin.SetCharSet(csISO8859);
    latin.SetBody({"caf\xe9"});
    const Lines l = WireLines(Save(latin));
    EXPECT_EQ(l[4], "Content-Type: text/plain; charset=\"iso-8859-1\"");
    EXPECT_EQ(l.back(), "caf=E9");
}

TEST(ArticleEncoder, DotLinesAreStuffedAndTheBodyKeepsTheDoubledDot) {
    TmsArticle a;
    Fill(a);
    a.SetBody({".", ".hidden", "text"});
    const Lines lines = WireLines(Save(a));
    EXPECT_EQ((Lines{lines.end() - 3, lines.end()}), (Lines{"..", "..hidden", "text"}));
    EXPECT_EQ(a.Body()[0], "..");
}

TEST(ArticleEncoder, MultipartMixedWithAPicture) {
    TmsArticle a;
    Fill(a);
    a.SetBody({"see the picture"});
    a.Attachments().Add(Item("C:\\pics\\photo.jpg", RandomBytes(200, 1)));
    const Lines lines = WireLines(Save(a));
    const std::string &type = lines[4];
    ASSERT_EQ(type.rfind("Content-Type: multipart/mixed; boundary=\"", 0), 0u) << type;
    const std::string boundary = GetParameter("boundary", type);
    ASSERT_EQ(boundary.size(), 8u);
    EXPECT_EQ(boundary.find_first_not_of("012345678"), std::string::npos);
    EXPECT_EQ(lines[6], "This is a multipart message in MIME format");
    const auto at = [&](const std::string &l) { return std::find(lines.begin(), lines.end(), l); };
    EXPECT_NE(at("Content-Type: image/jpeg; name=\"photo.jpg\""), lines.end());
    EXPECT_NE(at("Content-Transfer-Encoding: Base64"), lines.end());
    EXPECT_NE(at("Content-Disposition: attachment; filename=\"photo.jpg\""), lines.end());
    const auto first = at("Content-Disposition: attachment; filename=\"photo.jpg\"") + 2;
    EXPECT_EQ(first->size(), 76u);
    EXPECT_EQ(lines.back(), "--" + boundary + "--");
}

TEST(ArticleEncoder, AlternativePartsCarryNoNames) {
    TmsArticle a;
    Fill(a);
    a.SetBody({"text"});
    a.Attachments().Add(Item("_alt.0", "<p>text</p>\r\n"));
    a.Attachments().Items(0).SetContentType("text/html");
    const std::string wire = Save(a);
    EXPECT_NE(wire.find("Content-Type: multipart/alternative; boundary="), std::string::npos);
    EXPECT_EQ(wire.find("name="), std::string::npos);
    EXPECT_EQ(wire.find("Content-Disposition"), std::string::npos);
}

TEST(ArticleEncoder, UuencodedArticle) {
    TmsArticle a;
    Fill(a);
    a.SetEncoding(meUU);
    a.SetBody({"pictures follow"});
    a.Attachments().Add(Item("a.jpg", std::string(90, 'u')));
    const Lines lines = WireLines(Save(a));
    EXPECT_EQ(std::find(lines.begin(), lines.end(), "Mime-Version: 1.0"), lines.end());
    const auto begin = std::find(lines.begin(), lines.end(), "begin 600 a.jpg");
    ASSERT_NE(begin, lines.end());
    // 90 bytes: two full lines, then the line for zero bytes.
    EXPECT_EQ((Lines{begin + 3, lines.end()}), (Lines{"`", "`", "end"}));
}

TEST(ArticleEncoder, RemovesStandardHeadersAndKeepsTheRest) {
    TmsArticle a;
    Fill(a);
    a.Headers().Lines() = {"Subject: old", "X-Priority: 1", "Content-Type: text/html", " continued",
                           "X-Kept: yes"};
    a.SetBody({"b"});
    const Lines lines = WireLines(Save(a));
    EXPECT_EQ(lines[2], "X-Kept: yes");
    EXPECT_EQ(lines[3], "Subject:  test");
}

TEST(ArticleRoundTrip, PlainTextWithDotsAndLongLines) {
    TmsArticle a;
    Fill(a);
    const Lines body{"first", ".", ".dot", "..", "", std::string(400, 'z'), "last"};
    a.SetBody(body);
    const auto b = RoundTrip(a);
    Lines expected = body;
    EXPECT_EQ(b->Body(), expected);
    EXPECT_EQ(b->Subject(), "test");
    EXPECT_EQ(b->Sender().Address(), "ann@example.invalid");
}

TEST(ArticleRoundTrip, MultipartMixedWithPicturesOfManySizes) {
    TmsArticle a;
    Fill(a);
    a.SetBody({"three pictures", ""});
    for (std::size_t n : {0u, 57u, 1000u, 65537u})
        a.Attachments().Add(Item("p" + std::to_string(n) + ".jpg", RandomBytes(n, n)));
    const auto b = RoundTrip(a);
    EXPECT_EQ(b->Body(), (Lines{"three pictures", ""}));
    ASSERT_EQ(b->Attachments().Count(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(b->Attachments().Items(i).FileName(), a.Attachments().Items(i).FileName());
        EXPECT_EQ(AttachmentBytes(*b, i), std::string(a.Attachments().Items(i).Data.Bytes()));
    }
}

TEST(ArticleRoundTrip, PicturesOnlyQuotedPrintableTextAndSevenBit) {
    TmsArticle a;
    Fill(a);
    a.Attachments().Add(Item("a.gif", RandomBytes(3000, 9)));
    a.Attachments().Add(Item("notes.txt", "caf\xe9 = ok\r\n\r\nline\twith tab\r\n"));
    auto mail = Item("mail.eml", "Subject: inner\r\n\r\n.\r\nbody\r\n");
    a.Attachments().Add(std::move(mail));
    ASSERT_EQ(a.Attachments().Items(1).TransferEncoding(), aeQuotedPrintable);
    ASSERT_EQ(a.Attachments().Items(2).TransferEncoding(), aeSevenBit);
    const auto b = RoundTrip(a);
    EXPECT_TRUE(b->Body().empty());
    ASSERT_EQ(b->Attachments().Count(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(AttachmentBytes(*b, i), std::string(a.Attachments().Items(i).Data.Bytes())) << i;
}

TEST(ArticleRoundTrip, QuotedPrintableBody) {
    TmsArticle a;
    Fill(a);
    a.SetCharSet(csISO8859);
    const Lines body{"gr\xfc\xdf"
                     "e = greetings",
                     std::string(150, 'x') + " end", ".", "=3D"};
    a.SetBody(body);
    const auto b = RoundTrip(a);
    EXPECT_EQ(b->CharSet(), csISO8859);
    EXPECT_EQ(b->Body(), body);
}

TEST(ArticleRoundTrip, AlternativeAndNestedAlternative) {
    TmsArticle top;
    Fill(top);
    top.SetBody({"plain"});
    top.Attachments().Add(Item("_alt.0", "<p>plain</p>\r\n"));
    top.Attachments().Items(0).SetContentType("text/html");
    top.Attachments().Items(0).SetTransferEncoding(aeQuotedPrintable);
    const auto b = RoundTrip(top);
    EXPECT_EQ(b->Body(), Lines{"plain"});
    ASSERT_EQ(b->Attachments().Count(), 1);
    EXPECT_EQ(b->Attachments().Items(0).FileName(), "_alt.0");
    EXPECT_EQ(AttachmentBytes(*b, 0), "<p>plain</p>\r\n");
    EXPECT_EQ(b->ContentType(), "multipart/alternative");

    TmsArticle mixed;
    Fill(mixed);
    mixed.SetBody({"plain"});
    mixed.Attachments().Add(Item("_alt.0", "<p>plain</p>\r\n"));
    mixed.Attachments().Items(0).SetTransferEncoding(aeQuotedPrintable);
    mixed.Attachments().Add(Item("pic.jpg", RandomBytes(500, 3)));
    const auto c = RoundTrip(mixed);
    EXPECT_EQ(c->Body(), Lines{"plain"});
    ASSERT_EQ(c->Attachments().Count(), 2);
    EXPECT_EQ(c->Attachments().Items(0).FileName(), "_alt.0");
    EXPECT_EQ(AttachmentBytes(*c, 0), "<p>plain</p>\r\n");
    EXPECT_EQ(c->Attachments().Items(1).FileName(), "pic.jpg");
    EXPECT_EQ(AttachmentBytes(*c, 1), std::string(mixed.Attachments().Items(1).Data.Bytes()));
}

TEST(ArticleRoundTrip, UuencodedFilesOfEveryTailLength) {
    TmsArticle a;
    Fill(a);
    a.SetEncoding(meUU);
    a.SetBody({"uu follows"});
    for (std::size_t n : {1u, 14u, 45u, 59u, 1000u})
        a.Attachments().Add(Item("f" + std::to_string(n) + ".jpg", RandomBytes(n, 40 + n)));
    const auto b = RoundTrip(a);
    EXPECT_EQ(b->Encoding(), meUU);
    // The empty line before each begin line stays with the text.
    EXPECT_EQ(b->Body(), (Lines{"uu follows", ""}));
    ASSERT_EQ(b->Attachments().Count(), 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(AttachmentBytes(*b, i), std::string(a.Attachments().Items(i).Data.Bytes())) << i;
}
