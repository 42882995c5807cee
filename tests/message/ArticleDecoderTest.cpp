#include "ArticleTestSupport.h"

#include "message/Base64.h"
#include "message/TmsArticleDecoder.h"
#include "message/UUCode.h"
#include "platform/Exception.h"

#include <gtest/gtest.h>

using namespace vexil;
using namespace vexil::test;

namespace {

using Lines = std::vector<std::string>;

const std::string kNote = "The following error has been occured while processing the message:";
const std::string kKept = "The original message will be stored as an attachment";

const std::string kMimeHead = "From: Ann <ann@example.invalid>\n"
                              "Newsgroups: alt.binaries.pictures.test\n"
                              "Subject: pictures\n"
                              "Message-ID: <1@example.invalid>\n"
                              "Path: news.example.invalid!not-for-mail\n"
                              "MIME-Version: 1.0\n";

std::string MixedArticle(bool named) {
    const std::string n1 = named ? "; name=\"one.jpg\"" : "";
    const std::string n2 = named ? "; name=two.gif" : "";
    return kMimeHead + "Content-Type: multipart/mixed; boundary=\"b1 x\"\n\n" +
           "preamble\n--b1 x\nContent-Type: text/plain\n\nHello,\nthere\n\n" +
           "--b1 x\nContent-Type: image/jpeg" + n1 + "\nContent-Transfer-Encoding: base64\n\n" +
           Base64Lines(Picture('a', 1000)) + "\n--b1 x\nContent-Type: image/gif" + n2 +
           "\nContent-Transfer-Encoding: BASE64\n\n" + Base64Lines(Picture('b', 300)) +
           "\n--b1 x--\nepilogue\n";
}

} // namespace

TEST(ArticleDecoder, TakesHeadersAndSenderFromTheHeaderBlock) {
    const auto a = LoadArticle(Wire(MixedArticle(true)));
    EXPECT_EQ(a->Sender().Name(), "Ann");
    EXPECT_EQ(a->Sender().Address(), "ann@example.invalid");
    EXPECT_EQ(a->Subject(), "pictures");
    EXPECT_EQ(a->NewsGroups(), "alt.binaries.pictures.test");
    EXPECT_EQ(a->MessageID(), "<1@example.invalid>");
    EXPECT_EQ(a->Path(), "news.example.invalid!not-for-mail");
    EXPECT_EQ(a->Headers().Count(), 7);
}

TEST(ArticleDecoder, MultipartMixedGivesTheTextAndNamedFilesInOrder) {
    const auto a = LoadArticle(Wire(MixedArticle(true)));
    EXPECT_EQ(a->Body(), (Lines{"Hello,", "there"}));
    ASSERT_EQ(a->Attachments().Count(), 2);
    EXPECT_EQ(a->Attachments().Items(0).FileName(), "one.jpg");
    EXPECT_EQ(a->Attachments().Items(0).ContentType(), "image/jpeg");
    EXPECT_EQ(a->Attachments().Items(1).FileName(), "two.gif");
    EXPECT_EQ(AttachmentBytes(*a, 0), Picture('a', 1000));
    EXPECT_EQ(AttachmentBytes(*a, 1), Picture('b', 300));
    EXPECT_EQ(a->ContentType(), "multipart/mixed");
}

TEST(ArticleDecoder, UnnamedPartsAreNumberedWithoutCountingTheText) {
    const auto a = LoadArticle(Wire(MixedArticle(false)));
    ASSERT_EQ(a->Attachments().Count(), 2);
    EXPECT_EQ(a->Attachments().Items(0).FileName(), "att.0");
    EXPECT_EQ(a->Attachments().Items(1).FileName(), "att.1");
    // The part's own type stays when the name says nothing.
    EXPECT_EQ(a->Attachments().Items(1).ContentType(), "image/gif");
    EXPECT_EQ(a->Attachments().Items(1).TransferEncoding(), aeBase64);
}

TEST(ArticleDecoder, NameFromContentDispositionKeepsTheRegisteredType) {
    const auto a = LoadArticle(Wire(kMimeHead + "Content-Type: multipart/mixed; boundary=zz\n\n" +
                                    "--zz\nContent-Type: application/octet-stream\n" +
                                    "Content-Transfer-Encoding: base64\n" +
                                    "Content-Disposition: attachment; filename=\"x y.jpg\"\n\n" +
                                    Base64Lines("data") + "--zz--\n"));
    EXPECT_TRUE(a->Body().empty());
    ASSERT_EQ(a->Attachments().Count(), 1);
    EXPECT_EQ(a->Attachments().Items(0).FileName(), "x y.jpg");
    EXPECT_EQ(a->Attachments().Items(0).ContentType(), "image/jpeg");
    EXPECT_EQ(AttachmentBytes(*a, 0), "data");
}

TEST(ArticleDecoder, AlternativeArticleKeepsTheTextAndNamesTheRestAlt) {
    const auto a = LoadArticle(
        Wire(kMimeHead + "Content-Type: multipart/alternative; boundary=\"alt\"\n\n--alt\n" +
             "Content-Type: text/plain\n\nplain text\n\n--alt\nContent-Type: text/html\n\n" +
             "<p>html</p>\n\n--alt--\n"));
    EXPECT_EQ(a->Body(), Lines{"plain text"});
    ASSERT_EQ(a->Attachments().Count(), 1);
    EXPECT_EQ(a->Attachments().Items(0).FileName(), "_alt.0");
    EXPECT_EQ(a->Attachments().Items(0).ContentType(), "text/html");
    EXPECT_EQ(AttachmentBytes(*a, 0), "<p>html</p>\r\n");
    EXPECT_EQ(a->ContentType(), "multipart/alternative");
}

TEST(ArticleDecoder, NestedAlternativeThenOuterParts) {
    const std::string nested =
        kMimeHead + "Content-Type: multipart/mixed; boundary=\"out\"\n\n--out\n" +
        "Content-Type: multipart/alternative; boundary=\"in\"\n\n--in\n" +
        "Content-Type: text/plain\n\ntext\n\n--in\nContent-Type: text/html\n\n<b>x</b>\n\n" +
        "--in--\n\n--out\nContent-Type: image/jpeg; name=\"p.jpg\"\n" +
        "Content-Transfer-Encoding: base64\n\n" + Base64Lines(Picture('n', 200)) + "\n--out--\n";
    const auto a = LoadArticle(Wire(nested));
    EXPECT_EQ(a->Body(), Lines{"text"});
    ASSERT_EQ(a->Attachments().Count(), 2);
    EXPECT_EQ(a->Attachments().Items(0).FileName(), "_alt.0");
    EXPECT_EQ(a->Attachments().Items(1).FileName(), "p.jpg");
    EXPECT_EQ(AttachmentBytes(*a, 1), Picture('n', 200));
}

TEST(ArticleDecoder, NestedAlternativeAsTheLastOuterPartAddsNoEpilogueFile) {
    const std::string nested = kMimeHead + "Content-Type: multipart/mixed; boundary=\"out\"\n\n" +
                               "--out\nContent-Type: multipart/alternative; boundary=\"in\"\n\n" +
                               "--in\nContent-Type: text/plain\n\ntext\n\n--in\n" +
                               "Content-Type: text/html\n\n<b>x</b>\n\n--in--\n\n--out--\n" +
                               "epilogue\n";
    const auto a = LoadArticle(Wire(nested));
    EXPECT_EQ(a->Body(), Lines{"text"});
    ASSERT_EQ(a->Attachments().Count(), 1);
    EXPECT_EQ(a->Attachments().Items(0).FileName(), "_alt.0");
}

TEST(ArticleDecoder, NestedAlternativeOfOnePartStillReadsTheOuterParts) {
    const std::string nested =
        kMimeHead + "Content-Type: multipart/mixed; boundary=\"out\"\n\n--out\n" +
        "Content-Type: multipart/alternative; boundary=\"in\"\n\n--in\n" +
        "Content-Type: text/plain\n\nonly text\n--in--\n--out\n" +
        "Content-Type: image/gif; name=\"g.gif\"\nContent-Transfer-Encoding: base64\n\n" +
        Base64Lines("GIF89a") + "--out--\n";
    const auto a = LoadArticle(Wire(nested));
    EXPECT_EQ(a->Body(), Lines{"only text"});
    ASSERT_EQ(a->Attachments().Count(), 1);
    EXPECT_EQ(a->Attachments().Items(0).FileName(), "g.gif");
    EXPECT_EQ(AttachmentBytes(*a, 0), "GIF89a");
}

TEST(ArticleDecoder, ABase64FirstPartIsTheFirstAttachment) {
    const auto a = LoadArticle(
        Wire(kMimeHead + "Content-Type: multipart/mixed; boundary=q\n\n--q\n" +
             "Content-Type: image/jpeg; name=a.jpg\n" + "Content-Transfer-Encoding: base64\n\n" +
             Base64Lines("jpeg") + "--q\nContent-Type: image/jpeg; name=b.jpg\n" +
             "Content-Transfer-Encoding: base64\n\n" + Base64Lines("more") + "--q--\n"));
    EXPECT_TRUE(a->Body().empty());
    ASSERT_EQ(a->Attachments().Count(), 2);
    EXPECT_EQ(a->Attachments().Items(0).FileName(), "a.jpg");
    EXPECT_EQ(AttachmentBytes(*a, 0), "jpeg");
    EXPECT_EQ(AttachmentBytes(*a, 1), "more");
}

TEST(ArticleDecoder, MissingBoundaryBecomesANoteAndTheRawArticle) {
    const std::string posted =
        Posted(kMimeHead + "Content-Type: multipart/mixed; boundary=gone\n\n" + "no parts here\n");
    const auto a = LoadArticle(posted + ".\r\n");
    EXPECT_EQ(a->Body(), (Lines{kNote, "Cannot find boundary", kKept}));
    ASSERT_EQ(a->Attachments().Count(), 1);
    EXPECT_EQ(a->Attachments().Items(0).FileName(), "original.eml");
    EXPECT_EQ(a->Attachments().Items(0).ContentType(), "message/rfc822");
    EXPECT_EQ(a->Attachments().Items(0).TransferEncoding(), aeSevenBit);
    // As posted: the server's "." line is no part of it.
    EXPECT_EQ(AttachmentBytes(*a, 0), posted);
}

TEST(ArticleDecoder, ABadBase64PartKeepsTheFilesBeforeIt) {
    const std::string posted =
        Posted(kMimeHead + "Content-Type: multipart/mixed; boundary=q\n\n--q\n" +
               "Content-Type: text/plain\n\ntext\n--q\nContent-Type: image/jpeg; name=a.jpg\n" +
               "Content-Transfer-Encoding: base64\n\n" + Base64Lines("good") +
               "--q\nContent-Type: image/jpeg; name=b.jpg\nContent-Transfer-Encoding: base64\n\n" +
               "not*base64\n--q--\n");
    const auto a = LoadArticle(posted + ".\r\n");
    EXPECT_EQ(a->Body(), (Lines{"text", kNote, "Error decoding the attachment", kKept}));
    ASSERT_EQ(a->Attachments().Count(), 2);
    EXPECT_EQ(a->Attachments().Items(0).FileName(), "a.jpg");
    EXPECT_EQ(a->Attachments().Items(1).FileName(), "original.eml");
    EXPECT_EQ(AttachmentBytes(*a, 1), posted);
}

TEST(ArticleDecoder, PlainArticleWithAUuencodedFile) {
    const std::string pic = Picture('u', 2000);
    const auto a = LoadArticle(Wire("From: b@example.invalid\nSubject: uu\n\nsome text\n\n"
                                    "begin 644 picture.jpg\n" +
                                    UULines(pic) + "trailer\n"));
    EXPECT_EQ(a->Body(), (Lines{"some text", ""}));
    ASSERT_EQ(a->Attachments().Count(), 1);
    EXPECT_EQ(a->Attachments().Items(0).FileName(), "picture.jpg");
    EXPECT_EQ(AttachmentBytes(*a, 0), pic);
    EXPECT_EQ(a->Encoding(), meUU);
    EXPECT_EQ(a->ContentType(), "");
}

TEST(ArticleDecoder, UuencodedFilesSplitOverPostsAndSeveralInOneArticle) {
    const std::string pic = Picture('s', 450);
    std::string first = UULines(pic);
    first.resize(first.find("`\nend"));
    const auto head = LoadArticle(Wire("Subject: part 1/2\n\nbegin 644 a.gif\n" + first));
    ASSERT_EQ(head->Attachments().Count(), 1);
    EXPECT_EQ(AttachmentBytes(*head, 0), pic);

    const auto tail = LoadArticle(Wire("Subject: part 2/2\n\n" + first + "end\n"));
    EXPECT_EQ(tail->Attachments().Count(), 0);
    EXPECT_FALSE(tail->Body().empty());

    const auto two = LoadArticle(Wire("Subject: two\n\nintro\nbegin 600 one.jpg\n" + UULines("1") +
                                      "between\nBEGIN 600 two.jpg\n" + UULines("22")));
    EXPECT_EQ(two->Body(), Lines{"intro"});
    ASSERT_EQ(two->Attachments().Count(), 2);
    EXPECT_EQ(AttachmentBytes(*two, 0), "1");
    EXPECT_EQ(AttachmentBytes(*two, 1), "22");
}

TEST(ArticleDecoder, BeginLinesAndUuencodedNames) {
    EXPECT_TRUE(IsBeginLine("begin 644 a.jpg"));
    EXPECT_TRUE(IsBeginLine("BEGIN 600 x"));
    EXPECT_FALSE(IsBeginLine("beginning of the story"));
    EXPECT_FALSE(IsBeginLine("begin 64"));
    EXPECT_FALSE(IsBeginLine("begin 6x4 a.jpg"));
    EXPECT_EQ(UUFileName("begin 644 a.jpg"), "a.jpg");
    EXPECT_EQ(UUFileName("begin 644 my picture.jpg  "), "my picture.jpg");
    EXPECT_EQ(UUFileName("begin 644 \"quoted name.gif\" rest"), "quoted name.gif");
    EXPECT_EQ(UUFileName("begin 644 \"unclosed"), "");
    EXPECT_EQ(UUFileName("begin 0644 a.jpg"), "");
    const auto a = LoadArticle(Wire("Subject: mode\n\nbegin 0644 a.jpg\n" + UULines("x")));
    ASSERT_EQ(a->Attachments().Count(), 1);
    EXPECT_EQ(a->Attachments().Items(0).FileName(), "att.0");
}

TEST(ArticleDecoder, DotStuffedLinesAreUndoneAndTheRawArticleKept) {
    // 14 bytes make a last uuencoded line that begins with ".", which the server doubles.
    const std::string pic = Picture('d', 45 + 14);
    std::string uu = UULines(pic);
    ASSERT_EQ(uu[uu.find('\n') + 1], '.');
    uu.insert(uu.find('\n') + 1, ".");
    const auto a = LoadArticle(Wire("Subject: dots\n\n..leading dot\nbegin 644 d.jpg\n" + uu));
    EXPECT_EQ(a->Body(), Lines{".leading dot"});
    ASSERT_EQ(a->Attachments().Count(), 1);
    EXPECT_EQ(AttachmentBytes(*a, 0), pic);
}

TEST(ArticleDecoder, QuotedPrintableAndBase64TextBodies) {
    const auto qp = LoadArticle(Wire(kMimeHead + "Content-Type: text/plain\n" +
                                     "Content-Transfer-Encoding: quoted-printable\n\n" +
                                     "caf=E9 au=\n lait\nline two\n"));
    EXPECT_EQ(qp->CharSet(), csISO8859);
    EXPECT_EQ(qp->Body(), (Lines{"caf\xe9 au lait", "line two"}));

    const auto b64 = LoadArticle(Wire(kMimeHead + "Content-Type: text/plain\n" +
                                      "Content-Transfer-Encoding: base64\n\n" +
                                      Base64Lines("first\r\nsecond\r\n")));
    EXPECT_EQ(b64->Body(), (Lines{"first", "second"}));
    // Garbage in a base64 text body is the codec's error, outside any recovery.
    EXPECT_THROW(LoadArticle(Wire(kMimeHead + "Content-Type: text/plain\n" +
                                  "Content-Transfer-Encoding: base64\n\nbad line\n")),
                 EInOutError);
}

TEST(ArticleDecoder, TextBodiesEndWithTheArticleNotWithTheServersDotLine) {
    const auto plain = LoadArticle(Wire("Subject: plain\n\nhello\n"));
    EXPECT_EQ(plain->Body(), (Lines{"hello"}));
    EXPECT_EQ(plain->ContentType(), "text/plain");
    const auto html = LoadArticle(Wire(kMimeHead + "Content-Type: text/html\n\n<p>hi</p>\n"));
    EXPECT_EQ(html->Body(), (Lines{"<p>hi</p>"}));
    EXPECT_EQ(html->ContentType(), "text/html");
    // A comment after 1.0 means the article is not read as MIME.
    const auto comment =
        LoadArticle(Wire("MIME-Version: 1.0 (generated)\nContent-Type: multipart/mixed; "
                         "boundary=x\n\n--x\n"));
    EXPECT_EQ(comment->Body(), (Lines{"--x"}));
    EXPECT_EQ(comment->Attachments().Count(), 0);
}

TEST(ArticleDecoder, MimeTextWithAUuencodedFileIsReadAsPlain) {
    const auto a = LoadArticle(Wire(kMimeHead + "Content-Type: text/plain\n\nlook:\n" +
                                    "begin 644 u.jpg\n" + UULines("uu data")));
    EXPECT_EQ(a->Body(), Lines{"look:"});
    ASSERT_EQ(a->Attachments().Count(), 1);
    EXPECT_EQ(AttachmentBytes(*a, 0), "uu data");
    EXPECT_EQ(a->Encoding(), meUU);
    EXPECT_EQ(a->Headers().Count(), 7);
}

TEST(ArticleDecoder, SinglePartFilesInEveryEncoding) {
    const auto b64 =
        LoadArticle(Wire(kMimeHead + "Content-Type: image/jpeg; name=\"s.jpg\"\n" +
                         "Content-Transfer-Encoding: base64\n\n" + Base64Lines(Picture('p', 500))));
    ASSERT_EQ(b64->Attachments().Count(), 1);
    EXPECT_EQ(b64->Attachments().Items(0).FileName(), "s.jpg");
    EXPECT_EQ(AttachmentBytes(*b64, 0), Picture('p', 500));
    EXPECT_TRUE(b64->Body().empty());

    const auto uue = LoadArticle(Wire(kMimeHead + "Content-Type: application/octet-stream\n" +
                                      "Content-Transfer-Encoding: x-uuencode\n\n" +
                                      "begin 644 z.bin\n" + UULines("zzz")));
    ASSERT_EQ(uue->Attachments().Count(), 1);
    EXPECT_EQ(uue->Attachments().Items(0).FileName(), "att.0");
    EXPECT_EQ(uue->Attachments().Items(0).ContentType(), "application/octet-stream");
    EXPECT_EQ(AttachmentBytes(*uue, 0), "zzz");

    const auto seven = LoadArticle(Wire(kMimeHead + "Content-Type: text/plain; name=n.txt\n\n" +
                                        std::string(300, 'L') + "\nshort\n"));
    ASSERT_EQ(seven->Attachments().Count(), 1);
    EXPECT_EQ(AttachmentBytes(*seven, 0), std::string(300, 'L') + "\r\nshort\r\n");
}

TEST(ArticleDecoder, SevenBitPartLinesKeepTheirLineEndsWhateverTheirLength) {
    std::string text;
    for (std::size_t n : {253, 254, 255, 256, 1000})
        text += std::string(n, 'x') + "\n";
    const auto a =
        LoadArticle(Wire(kMimeHead + "Content-Type: multipart/mixed; boundary=q\n\n" +
                         "--q\nContent-Type: text/plain\n\nbody\n--q\n" +
                         "Content-Type: text/plain; name=long.txt\n\n" + text + "\n--q--\n"));
    ASSERT_EQ(a->Attachments().Count(), 1);
    std::string expected;
    for (std::size_t n : {253, 254, 255, 256, 1000})
        expected += std::string(n, 'x') + "\r\n";
    EXPECT_EQ(AttachmentBytes(*a, 0), expected);
}

TEST(ArticleDecoder, HostileStructuresStayProportional) {
    // Many empty parts and begin lines: one small item each, nothing quadratic.
    std::string parts = kMimeHead + "Content-Type: multipart/mixed; boundary=e\n\n--e\n\n";
    for (int i = 0; i < 20000; ++i)
        parts += "--e\n\n";
    // Beyond the thousand kept, they are only counted.
    const auto a = LoadArticle(Wire(parts + "--e--\n"));
    EXPECT_EQ(a->Attachments().Count() + a->AttachmentsLeftOut, 20000);
    std::string begins = "Subject: b\n\n";
    for (int i = 0; i < 10000; ++i)
        begins += "begin 644 f\nend\n";
    const auto b = LoadArticle(Wire(begins));
    EXPECT_EQ(b->Attachments().Count() + b->AttachmentsLeftOut, 10000);
}

TEST(ArticleDecoder, AnArticleWithoutBodyOrEndLine) {
    const auto a = LoadArticle("Subject: only headers\r\n");
    EXPECT_EQ(a->Subject(), "only headers");
    EXPECT_TRUE(a->Body().empty());
    const auto empty = LoadArticle("");
    EXPECT_EQ(empty->Headers().Count(), 0);
}

TEST(ArticleDecoder, OneArticleGivesAtMostAThousandAttachments) {
    constexpr int kMax = TmsCustomDecoder::MaxAttachments;
    std::string uu = "Subject: many\n\n";
    std::string mime = "Subject: many\nMIME-Version: 1.0\n"
                       "Content-Type: multipart/mixed; boundary=\"b\"\n\n--b\n\ntext\n";
    for (int i = 0; i < kMax + 5; ++i) {
        const std::string name = "f" + std::to_string(i) + ".jpg";
        uu += "begin 644 " + name + "\n" + UULines(std::to_string(i));
        mime += "--b\nContent-Type: image/jpeg; name=\"" + name +
                "\"\nContent-Transfer-Encoding: base64\n\n" + Base64Lines(std::to_string(i));
    }
    mime += "--b--\n";
    for (const std::string &text : {uu, mime}) {
        const auto a = LoadArticle(Wire(text));
        ASSERT_EQ(a->Attachments().Count(), kMax);
        EXPECT_EQ(a->AttachmentsLeftOut, 5);
        // The first thousand are kept whole and in order.
        EXPECT_EQ(a->Attachments().Items(kMax - 1).FileName(), "f999.jpg");
        EXPECT_EQ(AttachmentBytes(*a, kMax - 1), "999");
        a->Clear();
        EXPECT_EQ(a->AttachmentsLeftOut, 0);
    }
    const auto few = LoadArticle(Wire("Subject: one\n\nbegin 644 a.jpg\n" + UULines("a")));
    EXPECT_EQ(few->AttachmentsLeftOut, 0);
}
