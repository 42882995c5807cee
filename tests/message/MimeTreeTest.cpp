// The decoder walks MIME parts as a tree: files at any depth come out under their own names,
// the first text found through first parts is the body, and hostile nesting stays cheap.
#include "ArticleTestSupport.h"
#include "message/TmsArticleDecoder.h"

#include <gtest/gtest.h>

using namespace vexil;
using namespace vexil::test;

namespace {

using Lines = std::vector<std::string>;

const std::string kHead = "From: Ann <ann@example.invalid>\n"
                          "Subject: tree\n"
                          "MIME-Version: 1.0\n";

std::string ImagePart(const std::string &name, std::string_view bytes) {
    const std::string named = name.empty() ? "" : "; name=\"" + name + "\"";
    return "Content-Type: image/jpeg" + named + "\nContent-Transfer-Encoding: base64\n\n" +
           Base64Lines(bytes);
}

std::vector<std::string> Names(const TmsArticle &a) {
    std::vector<std::string> names;
    for (int i = 0; i < a.Attachments().Count(); ++i)
        names.push_back(a.Attachments().Items(i).FileName());
    return names;
}

} // namespace

TEST(MimeTree, APictureInsideANestedMixedComesOutAsItsOwnFile) {
    const std::string pic = Picture('f', 3000);
    const auto a = LoadArticle(
        Wire(kHead + "Content-Type: multipart/mixed; boundary=\"OUTER\"\n\n" +
             "--OUTER\nContent-Type: text/plain\n\nA text/plain part\n\n" +
             "--OUTER\nContent-Type: multipart/mixed; boundary=BOUNDARY\n\n" + "inner preamble\n" +
             "--BOUNDARY\nContent-Type: text/plain\n\nHi there,\n\n" + "--BOUNDARY\n" +
             ImagePart("dingus.gif", pic) + "\n--BOUNDARY--\ninner epilogue\n\n" + "--OUTER\n" +
             ImagePart("after.jpg", "after") + "--OUTER--\nepilogue\n"));
    EXPECT_EQ(a->Body(), Lines{"A text/plain part"});
    EXPECT_EQ(Names(*a), (Lines{"att.0", "dingus.gif", "after.jpg"}));
    EXPECT_EQ(AttachmentBytes(*a, 0), "Hi there,\r\n");
    EXPECT_EQ(AttachmentBytes(*a, 1), pic);
    EXPECT_EQ(AttachmentBytes(*a, 2), "after");
    EXPECT_EQ(a->ContentType(), "multipart/mixed");
}

TEST(MimeTree, TheTextIsTheFirstPartFoundThroughFirstPartsOfAnyMultipart) {
    // A related part holding the text and its picture, inside an alternative.
    const auto a = LoadArticle(Wire(kHead + "Content-Type: multipart/mixed; boundary=m\n\n--m\n" +
                                    "Content-Type: multipart/related; boundary=r\n\n--r\n" +
                                    "Content-Type: text/plain\n\nthe text\n--r\n" +
                                    ImagePart("", "inline picture") + "--r--\n--m\n" +
                                    ImagePart("p.jpg", "picture") + "--m--\n"));
    EXPECT_EQ(a->Body(), Lines{"the text"});
    EXPECT_EQ(Names(*a), (Lines{"att.0", "p.jpg"}));
    EXPECT_EQ(AttachmentBytes(*a, 0), "inline picture");
    EXPECT_EQ(a->Attachments().Items(0).ContentType(), "image/jpeg");
}

TEST(MimeTree, EverythingUnnamedInsideAnAlternativeIsNamedAlt) {
    const auto a = LoadArticle(
        Wire(kHead + "Content-Type: multipart/alternative; boundary=a\n\n--a\n" +
             "Content-Type: text/plain\n\nplain\n--a\n" +
             "Content-Type: multipart/related; boundary=\"a-r\"\n\n--a-r\n" +
             "Content-Type: text/html\n\n<img src=cid:x>\n--a-r\n" + ImagePart("", "cid picture") +
             "--a-r\n" + ImagePart("named.jpg", "named") + "--a-r--\n--a--\n"));
    EXPECT_EQ(a->Body(), Lines{"plain"});
    EXPECT_EQ(Names(*a), (Lines{"_alt.0", "_alt.1", "named.jpg"}));
    EXPECT_EQ(AttachmentBytes(*a, 1), "cid picture");
    EXPECT_EQ(AttachmentBytes(*a, 2), "named");
}

TEST(MimeTree, EnclosedMessagesGiveTheirFilesAndTextMessagesStayWhole) {
    const std::string pic = Picture('m', 500);
    const std::string forwarded = "From: b@example.invalid\nSubject: inner\n"
                                  "MIME-Version: 1.0\n"
                                  "Content-Type: multipart/mixed; boundary=in\n\n--in\n"
                                  "Content-Type: text/plain\n\ninner text\n--in\n" +
                                  ImagePart("inner.jpg", pic) + "--in--\n";
    const auto a = LoadArticle(
        Wire(kHead + "Content-Type: multipart/mixed; boundary=out\n\n--out\n" +
             "Content-Type: text/plain\n\nsee below\n--out\nContent-Type: message/rfc822\n\n" +
             forwarded + "\n--out\nContent-Type: message/rfc822\n\n" +
             "Subject: a note\n\nJust words.\n\n--out\nContent-Type: message/rfc822\n\n" +
             "Content-Type: image/gif; name=single.gif\nContent-Transfer-Encoding: base64\n\n" +
             Base64Lines("GIF89a") + "--out\nContent-Type: message/rfc822\n\n" +
             "Content-Type: message/rfc822\nContent-Disposition: attachment; filename=fwd.eml\n\n" +
             "Subject: twice enclosed\n\nwords\n--out--\n"));
    EXPECT_EQ(a->Body(), Lines{"see below"});
    EXPECT_EQ(Names(*a), (Lines{"att.0", "inner.jpg", "att.2", "single.gif", "fwd.eml"}));
    EXPECT_EQ(AttachmentBytes(*a, 0), "inner text\r\n");
    EXPECT_EQ(AttachmentBytes(*a, 1), pic);
    EXPECT_EQ(AttachmentBytes(*a, 2), "Subject: a note\r\n\r\nJust words.\r\n");
    EXPECT_EQ(a->Attachments().Items(2).ContentType(), "message/rfc822");
    EXPECT_EQ(AttachmentBytes(*a, 3), "GIF89a");
    EXPECT_EQ(AttachmentBytes(*a, 4), "Subject: twice enclosed\r\n\r\nwords\r\n");
}

TEST(MimeTree, DigestPartsAreMessagesUnlessTheySayOtherwise) {
    const auto a = LoadArticle(
        Wire(kHead + "Content-Type: multipart/digest; boundary=d\n\npreamble\n--d\n" +
             "Content-Type: text/plain\n\nthe digest's text\n--d\n\n" +
             "Subject: first\n\nfirst words\n--d\n\nSubject: second\nMIME-Version: 1.0\n" +
             ImagePart("digest.jpg", "in a digest") + "--d--\n"));
    EXPECT_EQ(a->Body(), Lines{"the digest's text"});
    EXPECT_EQ(Names(*a), (Lines{"att.0", "digest.jpg"}));
    EXPECT_EQ(AttachmentBytes(*a, 0), "Subject: first\r\n\r\nfirst words\r\n");
    EXPECT_EQ(AttachmentBytes(*a, 1), "in a digest");
}

TEST(MimeTree, DelimiterLinesAreWholeBoundariesWithOptionalPadding) {
    // The inner boundary starts with the outer one; a line that merely begins with a
    // boundary is data; blanks after a delimiter are transport padding.
    const auto a =
        LoadArticle(Wire(kHead + "Content-Type: multipart/mixed; boundary=\"=_b\"\n\n--=_b  \n" +
                         "Content-Type: text/plain\n\ntext\n--=_bogus\n--=_b\n" +
                         "Content-Type: multipart/mixed; boundary=\"=_b_in\"\n\n--=_b_in\n" +
                         ImagePart("in.jpg", "inner") + "--=_b_in--\t\n--=_b\n" +
                         ImagePart("out.jpg", "outer") + "--=_b--\n"));
    EXPECT_EQ(a->Body(), (Lines{"text", "--=_bogus"}));
    EXPECT_EQ(Names(*a), (Lines{"in.jpg", "out.jpg"}));
    EXPECT_EQ(AttachmentBytes(*a, 0), "inner");
    EXPECT_EQ(AttachmentBytes(*a, 1), "outer");
}

TEST(MimeTree, AnOuterDelimiterEndsANestedMultipartThatNeverCloses) {
    const auto a = LoadArticle(Wire(
        kHead + "Content-Type: multipart/mixed; boundary=o\n\n--o\n" +
        "Content-Type: text/plain\n\ntext\n--o\nContent-Type: multipart/mixed; boundary=i\n\n" +
        "--i\n" + ImagePart("one.jpg", "one") + "--o\n" + ImagePart("two.jpg", "two") + "--o--\n"));
    EXPECT_EQ(Names(*a), (Lines{"one.jpg", "two.jpg"}));
    EXPECT_EQ(AttachmentBytes(*a, 1), "two");
}

TEST(MimeTree, DataEndingInsideANestedMultipartIsANoteAndKeepsTheFilesBefore) {
    // As posted, without the server's final "." line.
    std::string block =
        Wire(kHead + "Content-Type: multipart/mixed; boundary=o\n\n--o\n" +
             "Content-Type: text/plain\n\ntext\n--o\n" + ImagePart("first.jpg", "first") +
             "--o\nContent-Type: multipart/mixed; boundary=i\n\n--i\n" +
             ImagePart("cut.jpg", "cut short"));
    block.resize(block.size() - 3);
    const auto a = LoadArticle(block);
    EXPECT_EQ(a->Body(), (Lines{"text",
                                "The following error has been occured while processing the "
                                "message:",
                                "Cannot find closing boundary",
                                "The original message will be stored as an attachment"}));
    EXPECT_EQ(Names(*a), (Lines{"first.jpg", "cut.jpg", "original.eml"}));
    EXPECT_EQ(AttachmentBytes(*a, 1), "cut short");
    EXPECT_EQ(AttachmentBytes(*a, 2), block);
}

TEST(MimeTree, DeepNestingStaysOffTheCallStackAndBeyondTheLimitIsText) {
    // 50 levels: the picture at the bottom comes out. 20000 levels: no crash; the levels
    // beyond the limit are one plain part, here the first one and so the text.
    for (const int depth : {50, 20000}) {
        std::string text = kHead + "Content-Type: multipart/mixed; boundary=b0\n\n";
        for (int i = 0; i < depth; ++i)
            text += "--b" + std::to_string(i) + "\nContent-Type: multipart/mixed; boundary=b" +
                    std::to_string(i + 1) + "\n\n";
        text += "--b" + std::to_string(depth) + "\n" + ImagePart("deep.jpg", "deep");
        for (int i = depth; i >= 0; --i)
            text += "--b" + std::to_string(i) + "--\n";
        const auto a = LoadArticle(Wire(text));
        if (depth == 50) {
            EXPECT_EQ(Names(*a), Lines{"deep.jpg"});
            EXPECT_EQ(AttachmentBytes(*a, 0), "deep");
        } else {
            EXPECT_EQ(a->Attachments().Count(), 0);
            EXPECT_GT(a->Body().size(), 3u * (20000 - 64));
            EXPECT_EQ(a->Body().back(), "--b64--");
        }
    }
}

TEST(MimeTree, ManyNestedMultipartsInARowStayProportional) {
    std::string text = kHead + "Content-Type: multipart/mixed; boundary=o\n\n--o\n\nbody\n";
    for (int i = 0; i < 20000; ++i)
        text += "--o\nContent-Type: multipart/mixed; boundary=i\n\n--i\n" + ImagePart("", "x") +
                "--i--\n";
    const auto a = LoadArticle(Wire(text + "--o--\n"));
    // The decoder keeps the first thousand files and counts the rest.
    ASSERT_EQ(a->Attachments().Count(), TmsCustomDecoder::MaxAttachments);
    EXPECT_EQ(a->AttachmentsLeftOut, 20000 - TmsCustomDecoder::MaxAttachments);
    EXPECT_EQ(a->Attachments().Items(999).FileName(), "att.999");
    EXPECT_EQ(AttachmentBytes(*a, 999), "x");
}
