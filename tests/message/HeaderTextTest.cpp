#include "message/HeaderText.h"
#include "message/TmsHeaders.h"
#include "message/TmsMailAddress.h"
#include "platform/Exception.h"

#include <gtest/gtest.h>

using namespace vexil;

namespace {

TmsHeaders SampleHeaders() {
    return TmsHeaders({
        "From: \"Ann Smith\" <ann@example.invalid>",
        "Subject: A subject that goes on",
        "    and on",
        "\tand ends",
        "Lines:120",
        "Content-Type: multipart/mixed;",
        " boundary=\"=?not a word?=\"",
        "Subject-Extra: not the subject",
        "X-Long: " + std::string(300, 'l'),
    });
}

} // namespace

TEST(GetHeaderValue, UnfoldsAndIgnoresCaseAndMissingBlanks) {
    const TmsHeaders h = SampleHeaders();
    EXPECT_EQ(h.GetHeaderValue("Subject"), "A subject that goes on and on and ends");
    EXPECT_EQ(h.GetHeaderValue("SUBJECT:"), "A subject that goes on and on and ends");
    EXPECT_EQ(h.GetHeaderValue("lines"), "120");
    EXPECT_EQ(h.GetHeaderValue("Subject-Extra"), "not the subject");
    EXPECT_EQ(h.GetHeaderValue("Newsgroups"), "");
    EXPECT_EQ(TmsHeaders().GetHeaderValue("Subject"), "");
    // "Sub" is not "Subject": the colon is part of the comparison.
    EXPECT_EQ(h.GetHeaderValue("Sub"), "");
}

TEST(GetHeaderValue, CutsAndDecodesAllButContentTypeAndUidl) {
    const TmsHeaders h = SampleHeaders();
    EXPECT_EQ(h.GetHeaderValue("X-Long").size(), 255u);
    EXPECT_EQ(h.GetHeaderValue("Content-Type"), "multipart/mixed; boundary=\"=?not a word?=\"");
    const TmsHeaders words(
        {"Subject: =?iso-8859-1?q?caf=E9?= time", "X-UIDL: =?x?q?kept?= " + std::string(300, 'u')});
    EXPECT_EQ(words.GetHeaderValue("Subject"), "caf\xe9time");
    EXPECT_EQ(words.GetHeaderValue("X-UIDL").size(), 12u + 1u + 300u);
}

TEST(RemoveHeader, RemovesTheFirstMatchWithItsContinuations) {
    TmsHeaders h = SampleHeaders();
    h.RemoveHeader("subject");
    EXPECT_EQ(h.Count(), 6);
    EXPECT_EQ(h.Strings(1), "Lines:120");
    EXPECT_EQ(h.GetHeaderValue("Subject"), "");
    h.RemoveHeader("No-Such");
    EXPECT_EQ(h.Count(), 6);
    EXPECT_THROW(h.Strings(6), EListError);
    EXPECT_THROW(h.Strings(-1), EListError);
}

TEST(GetParameter, TakesQuotedAndBareValues) {
    EXPECT_EQ(GetParameter("boundary", "multipart/mixed; boundary=\"a b c\""), "a b c");
    EXPECT_EQ(GetParameter("Boundary", "multipart/mixed; BOUNDARY=xyz"), "xyz");
    EXPECT_EQ(GetParameter("name", "image/jpeg; name=pic.jpg; x=1"), "pic.jpg");
    EXPECT_EQ(GetParameter("name", "attachment; filename=\"from disposition.gif\""),
              "from disposition.gif");
    EXPECT_EQ(GetParameter("name", "image/jpeg"), "");
    EXPECT_EQ(GetParameter("name", "image/jpeg; name="), "");
    EXPECT_EQ(GetParameter("name", "image/jpeg; name=\"unclosed"), "unclosed");
}

TEST(TextHelpers, FirstWordTrimQuotesAddBackslashAndNamePart) {
    EXPECT_EQ(FirstWord("text/plain; charset=us-ascii"), "text/plain");
    // Header values arrive trimmed; a leading blank already ends the word.
    EXPECT_EQ(FirstWord(" text/plain"), "");
    EXPECT_EQ(FirstWord("image/gif name=x"), "image/gif");
    EXPECT_EQ(FirstWord("bare"), "bare");
    EXPECT_EQ(TrimQuotes("  \"\"quoted\"  "), "quoted");
    EXPECT_EQ(AddBackslash("/tmp"), "/tmp/");
    EXPECT_EQ(AddBackslash("/tmp/"), "/tmp/");
    EXPECT_EQ(AddBackslash(""), "");
    EXPECT_EQ(FileNamePart("C:\\pics\\a.jpg"), "a.jpg");
    EXPECT_EQ(FileNamePart("../../etc/passwd"), "passwd");
    EXPECT_EQ(FileNamePart("d:x.gif"), "x.gif");
    EXPECT_EQ(FileNamePart("dir/"), "");
}

TEST(ContentTypeOfFile, LooksTheExtensionUpInMimeTypes) {
    EXPECT_EQ(ContentTypeOfFile("picture.JPG"), "image/jpeg");
    EXPECT_EQ(ContentTypeOfFile("c:\\a.b\\notes.txt"), "text/plain");
    EXPECT_EQ(ContentTypeOfFile("att.0"), "application/octet-stream");
    EXPECT_EQ(ContentTypeOfFile("no-extension"), "application/octet-stream");
    EXPECT_EQ(ContentTypeOfFile("dir.jpg/file"), "application/octet-stream");
}

TEST(ParseAddress, ReadsTheThreeFormsAndNeverFails) {
    TmsMailAddress a;
    ParseAddress("\"Ann Smith\" <ann@example.invalid>", a);
    EXPECT_EQ(a.Name(), "Ann Smith");
    EXPECT_EQ(a.Address(), "ann@example.invalid");
    ParseAddress("ann@example.invalid (Ann Smith)", a);
    EXPECT_EQ(a.Name(), "Ann Smith");
    EXPECT_EQ(a.Address(), "ann@example.invalid");
    ParseAddress("ann@example.invalid", a);
    EXPECT_EQ(a.Name(), "");
    EXPECT_EQ(a.Address(), "ann@example.invalid");
    ParseAddress("\"Broken\" <ann@example.invalid", a);
    EXPECT_EQ(a.Name(), "Broken\" <ann@example.invalid");
    EXPECT_EQ(a.Address(), "");
    ParseAddress("x> <y", a);
    EXPECT_EQ(a.Address(), "");
    ParseAddress("(", a);
    EXPECT_EQ(a.Name(), "");
    ParseAddress(std::string(300, 'a'), a);
    EXPECT_EQ(a.Address().size(), 255u);
}

namespace {
void RenameToBob(TmsMailAddress &address) {
    address.SetName("Bob");
}
} // namespace

TEST(TmsMailAddress, CutsItsShortTextsAndEditsThroughTheInstalledEditor) {
    TmsMailAddress a;
    a.SetName(std::string(256, 'n'));
    EXPECT_EQ(a.Name().size(), 255u);
    a.SetName("Ann");
    a.Edit();
    EXPECT_EQ(a.Name(), "Ann");
    const TmsMailAddressEditor previous = SetMailAddressEditor(RenameToBob);
    a.Edit();
    EXPECT_EQ(a.Name(), "Bob");
    EXPECT_EQ(SetMailAddressEditor(previous), RenameToBob);
    TmsMailAddress b;
    b.Assign(a);
    EXPECT_EQ(b.Name(), "Bob");
    b.Clear();
    EXPECT_EQ(b.Name(), "");
}
