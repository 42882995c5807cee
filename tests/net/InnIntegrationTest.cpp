// The news client against a real news server: the private INN instances of the test fixture,
// holding generated picture and text articles.
#include "base/ReplyWords.h"
#include "message/TmsArticle.h"
#include "net/ArticleFilter.h"
#include "net/NetErrors.h"
#include "net/TmsNNTP.h"

#include "InnServer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

namespace vexil {
namespace {

using test::InnServer;

class InnIntegrationTest : public ::testing::Test {
protected:
    void SetUp() override {
        nntp.SetWinsockLoaded(true);
        nntp.SetTimeOut(30);
        nntp.SetServer(inn.Address());
        nntp.SetArticle(&article);
        folder = std::filesystem::temp_directory_path() /
                 ("vexil-inn-test-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
    }
    void TearDown() override {
        nntp.Disconnect();
        std::filesystem::remove_all(folder);
    }

    InnServer inn;
    TmsArticle article;
    TmsNNTP nntp;
    std::filesystem::path folder;
};

TEST_F(InnIntegrationTest, GroupListHoldsTheTestGroups) {
    nntp.RetrieveNewsGroupList();
    bool pictures = false;
    bool text = false;
    for (int i = 0; i < nntp.NewsGroupList().Count(); ++i) {
        const TmsNewsgroup &g = nntp.NewsGroupList().Items(i);
        if (g.Name == InnServer::PictureGroup) {
            pictures = true;
            EXPECT_EQ(g.First, 1);
            EXPECT_EQ(g.Last, static_cast<int>(inn.Articles(g.Name).size()));
            EXPECT_EQ(g.Posting, 'y');
        }
        text = text || g.Name == InnServer::TextGroup;
    }
    EXPECT_TRUE(pictures);
    EXPECT_TRUE(text);
}

TEST_F(InnIntegrationTest, WalkSeesEveryArticleInOrder) {
    const auto posted = inn.Articles(InnServer::PictureGroup);
    nntp.SetNewsGroup(InnServer::PictureGroup);
    EXPECT_EQ(nntp.ArticleCount(), static_cast<int>(posted.size()));
    bool last = false;
    nntp.OnLastHeaderRetrieved = [&](TObject *) { last = true; };
    nntp.RetrieveAllHeaders();
    EXPECT_TRUE(last);
    ASSERT_EQ(nntp.HeaderList().Count(), static_cast<int>(posted.size()));
    for (int i = 0; i < nntp.HeaderList().Count(); ++i) {
        const TmsNgInfoItem &item = nntp.HeaderList().Items(i);
        EXPECT_EQ(item.Number, i + 1);
        EXPECT_EQ(item.GetHeaderValue("Subject"), posted[static_cast<std::size_t>(i)].subject);
        EXPECT_EQ(GetWordAsInt(item.GetHeaderValue("Lines"), 0),
                  posted[static_cast<std::size_t>(i)].lines);
    }
    EXPECT_EQ(nntp.LastRetrieved(), static_cast<int>(posted.size()));
}

TEST_F(InnIntegrationTest, BrowseRunFetchesThePicturesByteForByte) {
    const auto posted = inn.Articles(InnServer::PictureGroup);
    nntp.SetNewsGroup(InnServer::PictureGroup);
    int fetched = 0;
    std::vector<std::string> saved;
    nntp.OnNextHeaderRetrieved = [&](TObject *, int n) {
        const TmsNgInfoItem &item = nntp.HeaderList().Items(n);
        const int lines = GetWordAsInt(item.GetHeaderValue("Lines"), 0);
        if (lines <= 150 || IsLaterPart(item.GetHeaderValue("Subject")))
            return;
        nntp.RetrieveArticle(item.Number);
        ++fetched;
        for (int i = 0; i < article.Attachments().Count(); ++i) {
            article.SaveAttachment(i, folder.string());
            saved.push_back(article.Attachments().Items(i).FileName());
        }
    };
    nntp.RetrieveHeaders(90000, false);
    std::vector<std::string> expected;
    int expectedFetches = 0;
    for (const auto &a : posted)
        if (a.lines > 150 && !IsLaterPart(a.subject)) {
            ++expectedFetches;
            expected.insert(expected.end(), a.attachments.begin(), a.attachments.end());
        }
    EXPECT_EQ(fetched, expectedFetches);
    EXPECT_EQ(saved, expected);
    for (const std::string &name : saved)
        EXPECT_EQ(test::ReadFile((folder / name).string()),
                  inn.Original(InnServer::PictureGroup, name))
            << name;
}

TEST_F(InnIntegrationTest, ResumedWalkStartsAfterTheRememberedArticle) {
    nntp.SetNewsGroup(InnServer::PictureGroup);
    nntp.SetLastRetrieved(20);
    nntp.RetrieveHeaders(3, false);
    ASSERT_EQ(nntp.HeaderList().Count(), 3);
    EXPECT_EQ(nntp.HeaderList().Items(0).Number, 21);
    EXPECT_EQ(nntp.LastRetrieved(), 23);
    // A walk from the last article finds nothing new.
    bool last = false;
    nntp.OnLastHeaderRetrieved = [&](TObject *) { last = true; };
    nntp.SetLastRetrieved(nntp.LastArticle());
    nntp.RetrieveHeaders(90000, false);
    EXPECT_TRUE(last);
    EXPECT_EQ(nntp.HeaderList().Count(), 0);
}

TEST_F(InnIntegrationTest, StatBeyondTheLastArticleEnds) {
    nntp.SetNewsGroup(InnServer::PictureGroup);
    try {
        nntp.StatArticle(nntp.LastArticle() + 5);
        FAIL() << "no exception";
    } catch (const EServerError &e) {
        EXPECT_EQ(e.Message().substr(0, 4), "423 ");
    }
    nntp.StatArticle(3);
    EXPECT_EQ(nntp.CurrentArticle(), 3);
    // Below the first article: the server's list names the first one there is.
    nntp.StatArticle(0);
    EXPECT_EQ(nntp.CurrentArticle(), 1);
}

TEST_F(InnIntegrationTest, UnknownGroupIsTheServersReply) {
    try {
        nntp.SetNewsGroup("alt.no.such.group");
        FAIL() << "no exception";
    } catch (const EServerError &e) {
        EXPECT_EQ(e.Message().substr(0, 4), "411 ");
    }
}

TEST_F(InnIntegrationTest, LoginWhenTheServerAsksForIt) {
    nntp.SetServer(inn.AuthAddress());
    nntp.UserName = inn.User();
    nntp.Password = inn.Password();
    nntp.SetNewsGroup(InnServer::TextGroup);
    EXPECT_EQ(nntp.ArticleCount(), static_cast<int>(inn.Articles(InnServer::TextGroup).size()));
    nntp.RetrieveArticle(1);
    EXPECT_EQ(article.Subject(), inn.Articles(InnServer::TextGroup)[0].subject);
}

TEST_F(InnIntegrationTest, GroupListOnAFreshConnectionToALoginServer) {
    nntp.SetServer(inn.AuthAddress());
    nntp.UserName = inn.User();
    nntp.Password = inn.Password();
    nntp.RetrieveNewsGroupList();
    bool pictures = false;
    for (int i = 0; i < nntp.NewsGroupList().Count(); ++i)
        pictures = pictures || nntp.NewsGroupList().Items(i).Name == InnServer::PictureGroup;
    EXPECT_TRUE(pictures);
    // The same connection goes on to the walk without asking again.
    nntp.SetNewsGroup(InnServer::PictureGroup);
    nntp.RetrieveHeaders(2, false);
    EXPECT_EQ(nntp.HeaderList().Count(), 2);
}

TEST_F(InnIntegrationTest, WrongPasswordIsRefusedWithTheServersReply) {
    nntp.SetServer(inn.AuthAddress());
    nntp.UserName = inn.User();
    nntp.Password = "wrong";
    try {
        nntp.SetNewsGroup(InnServer::TextGroup);
        FAIL() << "no exception";
    } catch (const EServerError &e) {
        EXPECT_EQ(e.Message().substr(0, 4), "481 ") << e.Message();
    }
}

TEST_F(InnIntegrationTest, CommandLogOfARealSession) {
    const std::string log = (folder / "VEXIL.LOG").string();
    {
        TmsNNTP logged;
        logged.SetWinsockLoaded(true);
        logged.SetServer(inn.AuthAddress());
        logged.SetLogFileName(log);
        logged.UserName = inn.User();
        logged.Password = inn.Password();
        logged.SetNewsGroup(InnServer::TextGroup);
        logged.Disconnect();
    }
    const std::string text = test::ReadFile(log);
    EXPECT_NE(text.find("\r\nGROUP alt.test.text\r\n480 "), std::string::npos) << text;
    EXPECT_NE(text.find("\r\nAUTHINFO USER " + inn.User() + "\r\n381 "), std::string::npos);
    EXPECT_NE(text.find("\r\nAUTHINFO PASS ********\r\n281 "), std::string::npos);
    EXPECT_EQ(text.find(inn.Password()), std::string::npos);
    EXPECT_NE(text.find("\r\nQUIT\r\n205 "), std::string::npos);
    EXPECT_EQ(text.rfind("200 ", 0), 0u);
}

} // namespace
} // namespace vexil
