// The news client against scripted servers: each test shows the exchange on the wire.
#include "net/TmsNNTP.h"
#include "message/TmsArticle.h"
#include "net/NetErrors.h"

#include "ScriptedServer.h"

#include <gtest/gtest.h>

#include <chrono>

namespace vexil {
namespace {

using test::FailureOf;
using test::ScriptedServer;
using test::ServerConnection;
using Lines = std::vector<std::string>;

// An ARTICLE or HEAD data block as INN sends it.
std::string Block(const std::string &subject, int lines, const std::string &body = {}) {
    std::string text =
        "From: poster@example.invalid\r\nNewsgroups: alt.test\r\nSubject: " + subject + "\r\n";
    if (lines >= 0)
        text += "Lines: " + std::to_string(lines) + "\r\n";
    if (!body.empty())
        text += "\r\n" + body;
    return text + ".\r\n";
}

class TmsNNTPTest : public ::testing::Test {
protected:
    void SetUp() override {
        nntp.SetWinsockLoaded(true);
        nntp.SetTimeOut(5);
        nntp.SetArticle(&article);
        nntp.OnError = [this](TObject *, std::string &msg) { errors.push_back(msg); };
        nntp.OnGroupSelected = [this](TObject *) { events.push_back("group"); };
        nntp.OnLastHeaderRetrieved = [this](TObject *) { events.push_back("last"); };
        nntp.OnArticleRetrieved = [this](TObject *) { events.push_back("article"); };
        nntp.OnNextHeaderRetrieved = [this](TObject *, int n) {
            events.push_back("header " + std::to_string(n));
        };
    }

    void Use(const ScriptedServer &server) { nntp.SetServer(server.Address()); }

    // The handlers write here, so these outlive the client (whose end may still fire).
    Lines errors;
    Lines events;
    TmsArticle article;
    TmsNNTP nntp;
};

// Greeting and group selection as every script begins.
void Greet(ServerConnection &c, const std::string &group = "alt.test",
           const std::string &figures = "3 1 3") {
    c.SendLine("200 news.invalid ready (posting ok)");
    c.Expect("GROUP " + group, "211 " + figures + " " + group);
}

TEST_F(TmsNNTPTest, GroupSelectionReadsTheFigures) {
    ScriptedServer server([](ServerConnection &c) {
        Greet(c, "alt.test", "1234 3000 4233");
        c.Expect("QUIT", "205 Bye!");
    });
    Use(server);
    nntp.SetNewsGroup("alt.test");
    EXPECT_EQ(nntp.ArticleCount(), 1234);
    EXPECT_EQ(nntp.FirstArticle(), 3000);
    EXPECT_EQ(nntp.LastArticle(), 4233);
    EXPECT_EQ(nntp.CurrentArticle(), 3000);
    EXPECT_EQ(nntp.LastRetrieved(), -1);
    EXPECT_EQ(nntp.Port(), server.Port());
    // The same group in other letters: nothing is sent, nothing fires.
    nntp.SetNewsGroup("ALT.Test");
    EXPECT_EQ(nntp.NewsGroup(), "alt.test");
    EXPECT_EQ(events, Lines{"group"});
    nntp.Disconnect();
    EXPECT_FALSE(nntp.Connected());
    EXPECT_EQ(nntp.NewsGroup(), "");
    EXPECT_TRUE(server.Failures().empty()) << server.Failures().front();
}

TEST_F(TmsNNTPTest, LoginOn480WithUserAndPassword) {
    ScriptedServer server([](ServerConnection &c) {
        c.SendLine("200 ready (no posting)");
        c.Expect("GROUP alt.test", "480 Authentication required for command");
        c.Expect("AUTHINFO USER alice", "381 Enter password");
        c.Expect("AUTHINFO PASS s3cret", "281 Authentication succeeded");
        c.Expect("GROUP alt.test", "211 2 1 2 alt.test");
    });
    Use(server);
    nntp.UserName = "alice";
    nntp.Password = "s3cret";
    nntp.SetNewsGroup("alt.test");
    EXPECT_EQ(nntp.ArticleCount(), 2);
    EXPECT_TRUE(server.Failures().empty()) << server.Failures().front();
}

TEST_F(TmsNNTPTest, UserAcceptedWithoutPasswordSendsNoPass) {
    ScriptedServer server([](ServerConnection &c) {
        c.SendLine("201 ready");
        c.Expect("GROUP alt.test", "480 Authentication required");
        c.Expect("AUTHINFO USER alice", "281 Authentication accepted");
        c.Expect("GROUP alt.test", "211 2 1 2 alt.test");
    });
    Use(server);
    nntp.UserName = "alice";
    nntp.SetNewsGroup("alt.test");
    EXPECT_EQ(nntp.NewsGroup(), "alt.test");
    EXPECT_TRUE(server.Failures().empty()) << server.Failures().front();
}

TEST_F(TmsNNTPTest, RefusedLoginEndsWithTheRefusal) {
    // Which AUTHINFO line the server refuses, and how.
    const std::vector<std::pair<std::string, std::string>> refusals = {
        {"AUTHINFO PASS wrong", "481 Authentication failed"},
        {"AUTHINFO PASS wrong", "482 Authentication commands issued out of sequence"},
        {"AUTHINFO USER alice", "481 No such user"},
        {"AUTHINFO USER alice", "502 Authentication not offered"}};
    for (const auto &[refused, reply] : refusals) {
        ScriptedServer server([&](ServerConnection &c) {
            c.SendLine("200 ready");
            c.Expect("GROUP alt.test", "480 Authentication required for command");
            if (refused == "AUTHINFO PASS wrong")
                c.Expect("AUTHINFO USER alice", "381 Enter password");
            c.Expect(refused, reply);
            c.WaitForClose(2);
        });
        Use(server);
        nntp.UserName = "alice";
        nntp.Password = "wrong";
        EXPECT_EQ(FailureOf<EServerError>([&] { nntp.SetNewsGroup("alt.test"); }), reply);
        EXPECT_EQ(nntp.NewsGroup(), "");
        nntp.Cancel();
        // No second GROUP after the refusal.
        EXPECT_EQ(server.Received().back(), refused);
        EXPECT_TRUE(server.Failures().empty()) << server.Failures().front();
    }
    EXPECT_TRUE(errors.empty()); // server replies raise without OnError
}

TEST_F(TmsNNTPTest, LoginWhereverTheServerAsksAndTheCommandOnceMore) {
    const auto login = [](ServerConnection &c) {
        c.Expect("AUTHINFO USER alice", "381 Enter password");
        c.Expect("AUTHINFO PASS s3cret", "281 Authentication succeeded");
    };
    const std::string required = "480 Authentication required for command";
    ScriptedServer server([&](ServerConnection &c) {
        c.SendLine("200 ready");
        c.Expect("LIST", required);
        login(c);
        c.Expect("LIST", "215 list follows");
        c.Send("alt.test 2 1 y\r\n.\r\n");
        c.Expect("GROUP alt.test", "211 2 1 2 alt.test");
        // A server may want the login again later (a session that expired).
        c.Expect("STAT 1", required);
        login(c);
        c.Expect("STAT 1", "223 1 <1@x> status");
        c.Expect("HEAD", required);
        login(c);
        c.Expect("HEAD", "221 1 <1@x> head");
        c.Send(Block("first", 2));
        c.Expect("ARTICLE", required);
        login(c);
        c.Expect("ARTICLE", "220 1 <1@x> article");
        c.Send(Block("first", 2, "body\r\n"));
        c.Expect("NEXT", required);
        login(c);
        c.Expect("NEXT", "421 No next article");
        // Only once: a second 480 is the answer.
        c.Expect("STAT 2", required);
        login(c);
        c.Expect("STAT 2", required);
        c.WaitForClose(2);
    });
    Use(server);
    nntp.UserName = "alice";
    nntp.Password = "s3cret";
    nntp.RetrieveNewsGroupList();
    EXPECT_EQ(nntp.NewsGroupList().Count(), 1);
    nntp.SetNewsGroup("alt.test");
    nntp.RetrieveArticle(1);
    EXPECT_EQ(article.Subject(), "first");
    EXPECT_FALSE(nntp.NextArticle());
    EXPECT_EQ(FailureOf<EServerError>([&] { nntp.StatArticle(2); }), required);
    nntp.Cancel();
    EXPECT_TRUE(server.Failures().empty()) << server.Failures().front();
}

TEST_F(TmsNNTPTest, GreetingOf502IsRefusedAndTheSocketStaysOpen) {
    ScriptedServer server([](ServerConnection &c) {
        c.SendLine("502 You have no permission to talk.  Goodbye.");
        c.WaitForClose();
    });
    Use(server);
    EXPECT_EQ(FailureOf<EServerError>([&] { nntp.SetNewsGroup("alt.test"); }),
              "502 You have no permission to talk.  Goodbye.");
    EXPECT_TRUE(nntp.Connected());
    nntp.Cancel();
    EXPECT_FALSE(nntp.Connected());
}

TEST_F(TmsNNTPTest, MissingArticleIsFollowedByTheFirstListedOne) {
    ScriptedServer server([](ServerConnection &c) {
        Greet(c, "alt.test", "10 100 109");
        c.Expect("STAT 5", "423 No such article number 5");
        c.Expect("LISTGROUP alt.test 5-", "211 10 100 109 alt.test list follows");
        c.Send("103\r\n104\r\n.\r\n");
        c.Expect("STAT 103", "223 103 <a@b> status");
    });
    Use(server);
    nntp.SetNewsGroup("alt.test");
    nntp.StatArticle(5);
    EXPECT_EQ(nntp.CurrentArticle(), 103);
    EXPECT_TRUE(server.Failures().empty()) << server.Failures().front();
}

TEST_F(TmsNNTPTest, WithoutListgroupMissingArticlesMoveOnWithTheWindowJump) {
    ScriptedServer server([](ServerConnection &c) {
        Greet(c, "alt.test", "10 100 109");
        c.Expect("STAT 5", "423 No such article number 5");
        c.Expect("LISTGROUP alt.test 5-", "501 Syntax error");
        c.Expect("STAT 99", "423 No such article number 99"); // LastArticle - ArticleCount
        c.Expect("STAT 100", "423 No such article number 100");
        c.Expect("STAT 101", "223 101 <a@b> status");
    });
    Use(server);
    nntp.SetNewsGroup("alt.test");
    nntp.StatArticle(5);
    EXPECT_EQ(nntp.CurrentArticle(), 101);
    EXPECT_TRUE(server.Failures().empty()) << server.Failures().front();
}

TEST_F(TmsNNTPTest, StatEndsWhenEvenTheLastArticleIsMissing) {
    ScriptedServer server([](ServerConnection &c) {
        Greet(c, "alt.test", "2 8 9");
        c.Expect("STAT 8", "423 No such article number 8");
        c.Expect("LISTGROUP alt.test 8-", "500 Unknown command");
        c.Expect("STAT 9", "423 No such article number 9");
        c.WaitForClose(2);
    });
    Use(server);
    nntp.SetNewsGroup("alt.test");
    EXPECT_EQ(FailureOf<EServerError>([&] { nntp.StatArticle(8); }),
              "423 No such article number 9");
    nntp.Cancel();
    EXPECT_TRUE(server.Failures().empty()) << server.Failures().front();
}

TEST_F(TmsNNTPTest, OperationsWithoutAGroupAreRefused) {
    TmsNgInfoItem item;
    const std::string text = "Newsgroup has not been selected";
    EXPECT_EQ(FailureOf<ESocketError>([&] { nntp.StatArticle(1); }), text);
    EXPECT_EQ(FailureOf<ESocketError>([&] { nntp.NextArticle(); }), text);
    EXPECT_EQ(FailureOf<ESocketError>([&] { nntp.RetrieveHeader(item); }), text);
    EXPECT_EQ(FailureOf<ESocketError>([&] { nntp.RetrieveHeaders(5, false); }), text);
    EXPECT_EQ(FailureOf<ESocketError>([&] { nntp.RetrieveArticle(1); }), text);
    EXPECT_EQ(FailureOf<ESocketError>([&] { nntp.SetLastRetrieved(7); }), text);
    nntp.SetLastRetrieved(-1);
    EXPECT_EQ(errors.size(), 6u);
}

TEST_F(TmsNNTPTest, WalkFetchesHeadersAndNestedArticles) {
    const std::string body = "line one\r\nline two\r\n";
    ScriptedServer server([&](ServerConnection &c) {
        Greet(c, "alt.test", "2 1 2");
        c.Expect("STAT 1", "223 1 <1@x> status");
        c.Expect("HEAD", "221 1 <1@x> head");
        c.Send(Block("first", 2));
        // The handler fetches article 1 inside the walk.
        c.Expect("STAT 1", "223 1 <1@x> status");
        c.Expect("HEAD", "221 1 <1@x> head");
        c.Send(Block("first", 2));
        c.Expect("ARTICLE", "220 1 <1@x> article");
        c.Send(Block("first", 2, body));
        c.Expect("NEXT", "223 2 <2@x> next");
        c.Expect("HEAD", "221 2 <2@x> head");
        c.Send(Block("second (2/3)", 5));
        c.Expect("NEXT", "421 No next article to retrieve");
    });
    Use(server);
    nntp.SetNewsGroup("alt.test");
    nntp.OnNextHeaderRetrieved = [&](TObject *, int n) {
        events.push_back("header " + std::to_string(n));
        if (n == 0)
            nntp.RetrieveArticle(nntp.HeaderList().Items(n).Number);
    };
    nntp.RetrieveAllHeaders();
    EXPECT_EQ(events, (Lines{"group", "header 0", "article", "header 1", "last"}));
    ASSERT_EQ(nntp.HeaderList().Count(), 2);
    EXPECT_EQ(nntp.HeaderList().Items(1).Number, 2);
    EXPECT_EQ(nntp.HeaderList().Items(1).GetHeaderValue("Subject"), "second (2/3)");
    // Once handled, an entry keeps what the browse run reads again.
    EXPECT_EQ(nntp.HeaderList().Items(1).Lines(), (Lines{"Subject: second (2/3)", "Lines: 5"}));
    EXPECT_EQ(nntp.LastRetrieved(), 2);
    EXPECT_EQ(article.Subject(), "first");
    // The article as posted: the server's end line is no line of the body.
    EXPECT_EQ(article.Body(), (Lines{"line one", "line two"}));
    EXPECT_TRUE(server.Failures().empty()) << server.Failures().front();
}

TEST_F(TmsNNTPTest, WalkFromTheLastArticleFindsNothingNew) {
    ScriptedServer server([](ServerConnection &c) {
        Greet(c, "alt.test", "3 1 3");
        c.Expect("STAT 3", "223 3 <3@x> status");
        c.Expect("NEXT", "421 No next article to retrieve");
    });
    Use(server);
    nntp.SetNewsGroup("alt.test");
    nntp.SetLastRetrieved(nntp.LastArticle());
    nntp.RetrieveHeaders(90000, false);
    EXPECT_EQ(events, (Lines{"group", "last"}));
    EXPECT_EQ(nntp.HeaderList().Count(), 0);
    EXPECT_TRUE(server.Failures().empty()) << server.Failures().front();
}

TEST_F(TmsNNTPTest, WalkOfOneAppendsToTheEarlierHeaders) {
    ScriptedServer server([](ServerConnection &c) {
        Greet(c, "alt.test", "3 1 3");
        c.Expect("STAT 1", "223 1 <1@x> status");
        c.Expect("HEAD", "221 1 <1@x> head");
        c.Send(Block("one", 1));
        c.Expect("NEXT", "223 2 <2@x> next");
        c.Expect("STAT 1", "223 1 <1@x> status");
        c.Expect("NEXT", "223 2 <2@x> next");
        c.Expect("HEAD", "221 2 <2@x> head");
        c.Send(Block("two", 1));
        c.Expect("NEXT", "223 3 <3@x> next");
    });
    Use(server);
    nntp.SetNewsGroup("alt.test");
    nntp.RetrieveHeaders(1, false);
    EXPECT_EQ(nntp.LastRetrieved(), 1);
    nntp.RetrieveHeaders(1, true);
    ASSERT_EQ(nntp.HeaderList().Count(), 2);
    EXPECT_EQ(nntp.HeaderList().Items(0).GetHeaderValue("Subject"), "one");
    EXPECT_EQ(nntp.HeaderList().Items(1).GetHeaderValue("Subject"), "two");
    EXPECT_EQ(nntp.LastRetrieved(), 2);
    EXPECT_TRUE(server.Failures().empty()) << server.Failures().front();
}

TEST_F(TmsNNTPTest, CancelInsideTheWalkStoresTheLastHeaderFirst) {
    ScriptedServer server([](ServerConnection &c) {
        Greet(c, "alt.test", "3 1 3");
        c.Expect("STAT 1", "223 1 <1@x> status");
        c.Expect("HEAD", "221 1 <1@x> head");
        c.Send(Block("one", 1));
        c.WaitForClose();
    });
    Use(server);
    nntp.SetNewsGroup("alt.test");
    nntp.OnNextHeaderRetrieved = [&](TObject *, int) { nntp.Cancel(); };
    // The NEXT after the cancelled header meets the closed socket.
    EXPECT_THROW(nntp.RetrieveHeaders(0, false), Exception);
    EXPECT_FALSE(nntp.Connected());
    EXPECT_EQ(nntp.NewsGroup(), "alt.test"); // the caller selects another name to reconnect
}

TEST_F(TmsNNTPTest, ProgressCountsLinesOrNothing) {
    const std::string body(40 * 76, 'b');
    ScriptedServer server([&](ServerConnection &c) {
        Greet(c, "alt.test", "2 1 2");
        c.Expect("STAT 1", "223 1 <1@x> status");
        c.Expect("HEAD", "221 1 <1@x> head");
        c.Send(Block("sized", 40));
        c.Expect("ARTICLE", "220 1 <1@x> article");
        c.Send(Block("sized", 40, body.substr(0, 1000) + "\r\n"));
        c.Expect("STAT 2", "223 2 <2@x> status");
        c.Expect("HEAD", "221 2 <2@x> head");
        c.Send(Block("unsized", -1));
        c.Expect("ARTICLE", "220 2 <2@x> article");
        c.Send(Block("unsized", -1, "text\r\n"));
    });
    Use(server);
    nntp.SetNewsGroup("alt.test");
    std::vector<int> percents;
    nntp.OnProgress = [&](TObject *, int perc, int) { percents.push_back(perc); };
    nntp.RetrieveArticle(1);
    ASSERT_FALSE(percents.empty());
    // Header blocks report -1; the article's figures are bytes against 40 lines of 76.
    bool sawSized = false;
    for (int p : percents)
        sawSized = sawSized || p >= 0;
    EXPECT_TRUE(sawSized);
    EXPECT_EQ(article.Subject(), "sized");
    percents.clear();
    nntp.RetrieveArticle(2);
    for (int p : percents)
        EXPECT_EQ(p, -1);
    EXPECT_EQ(article.Subject(), "unsized");
    EXPECT_TRUE(server.Failures().empty()) << server.Failures().front();
}

TEST_F(TmsNNTPTest, GroupListComesFromList) {
    ScriptedServer server([](ServerConnection &c) {
        c.SendLine("200 ready");
        c.Expect("LIST", "215 Newsgroups in form \"group high low status\"");
        c.Send("alt.binaries.pictures 4233 3000 y\r\nalt.test 0000000002 0000000001 m\r\n.\r\n");
    });
    Use(server);
    Lines seen;
    nntp.OnRetrievingNewsGroupList = [&](TObject *) { seen.push_back("retrieving"); };
    nntp.OnNewsGroupListRetrieved = [&](TObject *) { seen.push_back("retrieved"); };
    nntp.RetrieveNewsGroupList();
    EXPECT_EQ(seen, (Lines{"retrieving", "retrieved"}));
    ASSERT_EQ(nntp.NewsGroupList().Count(), 2);
    const TmsNewsgroup &g = nntp.NewsGroupList().Items(0);
    EXPECT_EQ(g.Name, "alt.binaries.pictures");
    EXPECT_EQ(g.Last, 4233);
    EXPECT_EQ(g.First, 3000);
    EXPECT_EQ(g.Posting, 'y');
    EXPECT_EQ(nntp.NewsGroupList().Items(1).Last, 2);
    EXPECT_TRUE(server.Failures().empty()) << server.Failures().front();
}

TEST_F(TmsNNTPTest, ConnectionClosedBeforeTheReplyIsAClearServerError) {
    ScriptedServer server([](ServerConnection &c) {
        c.SendLine("200 ready");
        c.ReadLine();
        c.Close();
    });
    Use(server);
    EXPECT_EQ(FailureOf<EServerError>([&] { nntp.SetNewsGroup("alt.test"); }),
              "The server closed the connection without a reply");
    EXPECT_EQ(nntp.LastReply(), "");
    // Leaving fails at once, not after the time-out, and still closes the socket.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(nntp.Disconnect(), Exception);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_FALSE(nntp.Connected());
}

TEST_F(TmsNNTPTest, LineBreaksInsideACommandAreRefused) {
    ScriptedServer server([](ServerConnection &c) {
        c.SendLine("200 ready");
        c.WaitForClose(2);
    });
    Use(server);
    EXPECT_EQ(FailureOf<ESocketError>([&] { nntp.SetNewsGroup("alt.test\r\nQUIT"); }),
              "[10022] Invalid argument");
    nntp.Cancel();
    EXPECT_TRUE(server.Received().empty());
}

} // namespace
} // namespace vexil
