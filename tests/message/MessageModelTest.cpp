#include "message/MessageErrors.h"
#include "message/TmsArticle.h"
#include "platform/Exception.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include <unistd.h>

using namespace vexil;
using vexil::test::ReadFile;
namespace fs = std::filesystem;

namespace {

std::unique_ptr<TmsAttItem> Item(const std::string &name, std::string bytes = "x") {
    auto item = std::make_unique<TmsAttItem>();
    item->SetFileName(name);
    item->Data.Assign(std::move(bytes));
    return item;
}

class SaveAttachmentTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() / ("vexil-save-" + std::to_string(getpid()));
        fs::remove_all(root_);
        folder_ = root_ / "TEMP";
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(root_); }

    std::string Folder() const { return folder_.string(); }
    // Every file below root_, so that nothing written outside the folder goes unseen.
    std::vector<std::string> Files() const {
        std::vector<std::string> out;
        for (const auto &e : fs::recursive_directory_iterator(root_))
            if (e.is_regular_file())
                out.push_back(fs::relative(e.path(), root_).string());
        std::sort(out.begin(), out.end());
        return out;
    }

    fs::path root_;
    fs::path folder_;
    TmsArticle article_;
};

} // namespace

TEST(TmsAttItem, FileNameSetsTypeAndEncoding) {
    TmsAttItem item;
    item.SetFileName("att.0");
    EXPECT_EQ(item.ContentType(), "application/octet-stream");
    EXPECT_EQ(item.TransferEncoding(), aeBase64);
    item.SetFileName("readme.TXT");
    EXPECT_EQ(item.ContentType(), "text/plain");
    EXPECT_EQ(item.TransferEncoding(), aeQuotedPrintable);
    item.SetFileName("page.html");
    EXPECT_EQ(item.TransferEncoding(), aeQuotedPrintable);
    item.SetFileName("original.eml");
    EXPECT_EQ(item.ContentType(), "message/rfc822");
    EXPECT_EQ(item.TransferEncoding(), aeSevenBit);
    item.SetFileName("");
    EXPECT_EQ(item.ContentType(), "message/rfc822");
    item.SetFileName(std::string(300, 'n'));
    EXPECT_EQ(item.FileName().size(), 255u);
    EXPECT_EQ(AttEncodingName(aeSevenBit), "7 bit");
    EXPECT_EQ(AttEncodingName(aeBase64), "Base64");
    EXPECT_EQ(AttEncodingName(aeQuotedPrintable), "Quoted-Printable");
}

TEST(TmsAttList, OwnsCopiesAndChecksIndexes) {
    TmsAttList list;
    EXPECT_EQ(list.Add(Item("a.jpg", "aaa")), 0);
    EXPECT_EQ(list.Add(Item("b.gif", "bb")), 1);
    list.Items(1).SetContentType("image/x-odd");
    TmsAttList copy;
    copy.Add(Item("old"));
    copy.Assign(list);
    ASSERT_EQ(copy.Count(), 2);
    EXPECT_EQ(copy.Items(1).FileName(), "b.gif");
    EXPECT_EQ(copy.Items(1).ContentType(), "image/x-odd");
    EXPECT_EQ(copy.Items(0).Data.Bytes(), "aaa");
    list.Items(0).Data.Assign("changed");
    EXPECT_EQ(copy.Items(0).Data.Bytes(), "aaa");
    EXPECT_THROW(copy.Items(2), EListError);
    EXPECT_THROW(copy.Items(-1), EListError);
    copy.Clear();
    EXPECT_EQ(copy.Count(), 0);
}

TEST(ContentType, FollowsTheMessageState) {
    TmsArticle a;
    EXPECT_EQ(a.ContentType(), "text/plain");
    a.SetBody({"text"});
    a.SetContentType("TEXT/HTML");
    EXPECT_EQ(a.ContentType(), "text/html");
    a.Attachments().Add(Item("p.jpg"));
    EXPECT_EQ(a.ContentType(), "multipart/mixed");
    a.SetBody({});
    EXPECT_EQ(a.ContentType(), "image/jpeg");
    a.Attachments().Add(Item("q.gif"));
    EXPECT_EQ(a.ContentType(), "multipart/mixed");
    a.Attachments().Clear();
    a.Attachments().Add(Item("_ALT.0"));
    a.Attachments().Add(Item("dir\\_alt.1"));
    EXPECT_EQ(a.ContentType(), "multipart/alternative");
    a.Attachments().Clear();
    a.Attachments().Add(Item("_htmbody.htm"));
    EXPECT_EQ(a.ContentType(), "text/html");
    a.Attachments().Clear();
    a.Attachments().Add(Item("_RTFBODY.RTF"));
    EXPECT_EQ(a.ContentType(), "text/rtf");
    a.SetEncoding(meUU);
    EXPECT_EQ(a.ContentType(), "");
    a.Clear();
    EXPECT_EQ(a.ContentType(), "text/plain");
}

TEST(ContentType, AssigningAttachmentsTakesThemOver) {
    TmsArticle a;
    TmsAttList list;
    list.Add(Item("one.jpg"));
    a.SetBody({"body"});
    a.SetAttachments(std::move(list));
    EXPECT_EQ(a.Attachments().Count(), 1);
    a.SetAttachments(TmsAttList());
    EXPECT_EQ(a.ContentType(), "text/plain");
}

TEST(TmsArticle, ValidateChecksSenderNewsgroupsSubjectInOrder) {
    TmsArticle a;
    const auto failsWith = [&](const std::string &text) {
        try {
            a.Validate();
            ADD_FAILURE() << "valid";
        } catch (const EMessageError &e) {
            EXPECT_EQ(e.Message(), text);
        }
    };
    failsWith("The address of sender is required");
    a.Sender().SetAddress("a@example.invalid");
    failsWith("Newsgroup header is required");
    a.SetNewsGroups("alt.test");
    failsWith("Subject header is required");
    a.SetSubject("s");
    EXPECT_NO_THROW(a.Validate());
}

TEST(TmsArticle, ClearAndAssign) {
    TmsArticle a;
    a.Sender().SetName("Ann");
    a.SetSubject(std::string(300, 's'));
    EXPECT_EQ(a.Subject().size(), 255u);
    a.SetNewsGroups("alt.test");
    a.SetEncoding(meUU);
    a.SetCharSet(csISO8859);
    a.Headers().Add("X-A: 1");
    a.SetBody({"b"});
    a.Attachments().Add(Item("f.jpg", "data"));
    a.Tag = 7;

    TmsArticle b;
    b.Assign(a);
    EXPECT_EQ(b.Sender().Name(), "Ann");
    EXPECT_EQ(b.NewsGroups(), "alt.test");
    EXPECT_EQ(b.Encoding(), meUU);
    EXPECT_EQ(b.CharSet(), csISO8859);
    EXPECT_EQ(b.Headers().Count(), 1);
    EXPECT_EQ(b.Body().size(), 1u);
    ASSERT_EQ(b.Attachments().Count(), 1);
    EXPECT_EQ(b.Attachments().Items(0).Data.Bytes(), "data");
    EXPECT_EQ(b.Tag, 7);
    EXPECT_THROW(b.Assign(TmsMailAddress()), Exception);

    a.Clear();
    EXPECT_EQ(a.Sender().Name(), "");
    EXPECT_EQ(a.Subject(), "");
    EXPECT_EQ(a.NewsGroups(), "");
    EXPECT_EQ(a.Encoding(), meMIME);
    EXPECT_EQ(a.CharSet(), csUSASCII);
    EXPECT_EQ(a.Headers().Count(), 0);
    EXPECT_TRUE(a.Body().empty());
    EXPECT_EQ(a.Attachments().Count(), 0);
    EXPECT_EQ(b.Attachments().Count(), 1);
}

TEST_F(SaveAttachmentTest, WritesTheNamePartInsideTheFolderAndReplaces) {
    article_.Attachments().Add(Item("C:\\some\\where\\pic.jpg", "first"));
    article_.Attachments().Add(Item("x:pic.jpg", "second"));
    article_.SaveAttachment(0, Folder());
    EXPECT_EQ(ReadFile(folder_ / "pic.jpg"), "first");
    article_.SaveAttachment(1, Folder() + "/");
    EXPECT_EQ(ReadFile(folder_ / "pic.jpg"), "second");
    EXPECT_EQ(Files(), std::vector<std::string>{"TEMP/pic.jpg"});
    EXPECT_EQ(article_.Attachments().Items(0).Data.Bytes(), "first");
    EXPECT_THROW(article_.SaveAttachment(2, Folder()), EListError);
    const auto perms = fs::status(folder_ / "pic.jpg").permissions();
    EXPECT_NE(perms & fs::perms::owner_read, fs::perms::none);
}

TEST_F(SaveAttachmentTest, HostileNamesNeverLeaveTheFolder) {
    for (const std::string name :
         {"../escape.jpg", "..\\..\\escape.jpg", "/etc/../../escape.jpg", "a/b/../escape.jpg"}) {
        article_.Attachments().Add(Item(name, "hostile"));
        article_.SaveAttachment(article_.Attachments().Count() - 1, Folder());
    }
    EXPECT_EQ(Files(), std::vector<std::string>{"TEMP/escape.jpg"});
    for (const std::string &name :
         std::vector<std::string>{"", "dir/", "..", "a\\..", "x:.", std::string("a\0b.jpg", 7)}) {
        TmsAttList one;
        auto item = Item("placeholder");
        item->SetFileName(name);
        one.Add(std::move(item));
        article_.SetAttachments(std::move(one));
        try {
            article_.SaveAttachment(0, Folder());
            ADD_FAILURE() << "saved \"" << name << "\"";
        } catch (const EFCreateError &e) {
            EXPECT_EQ(e.Message().rfind("Cannot create file " + Folder() + "/", 0), 0u);
        }
    }
    EXPECT_EQ(Files(), std::vector<std::string>{"TEMP/escape.jpg"});
}

TEST_F(SaveAttachmentTest, AFolderThatCannotTakeTheFileIsACreationError) {
    article_.Attachments().Add(Item("sub", "data"));
    fs::create_directories(folder_ / "sub" / "full");
    EXPECT_THROW(article_.SaveAttachment(0, Folder()), EFCreateError);
    EXPECT_THROW(article_.SaveAttachment(0, (root_ / "missing").string()), EFCreateError);
    EXPECT_EQ(Files(), std::vector<std::string>{});
}

TEST_F(SaveAttachmentTest, LoadedReadsEveryAttachmentFromItsFile) {
    std::ofstream(folder_ / "a.jpg", std::ios::binary) << "from disk";
    article_.Attachments().Add(Item((folder_ / "a.jpg").string(), "old"));
    article_.Loaded();
    EXPECT_EQ(article_.Attachments().Items(0).Data.Bytes(), "from disk");
    article_.Attachments().Add(Item((folder_ / "gone.jpg").string()));
    EXPECT_THROW(article_.Loaded(), EFOpenError);
}
