// A compressed connection (COMPRESS DEFLATE): asked for only on the overview's road, read and
// written through the same waits as a plain one, refused streams ending the connection
// with words a user understands, and a refusal by the server costing nothing but speed.
#include "message/TmsArticle.h"
#include "net/NetErrors.h"
#include "net/TmsNNTP.h"

#include "ScriptedServer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vexil {
namespace {

using test::FailureOf;
using test::ScriptedServer;
using test::ServerConnection;

constexpr const char *kCapabilities =
    "101 list\r\nVERSION 2\r\nREADER\r\nOVER\r\nCOMPRESS DEFLATE\r\n.";

// Greets, lists COMPRESS DEFLATE and selects alt.test with articles 1 to 3.
void Greet(ServerConnection &c) {
    c.SendLine("200 ready");
    c.Expect("CAPABILITIES", kCapabilities);
    c.Expect("GROUP alt.test", "211 3 1 3 alt.test");
}

// Greet, then COMPRESS DEFLATE accepted and everything after it compressed.
void GreetCompressed(ServerConnection &c) {
    Greet(c);
    c.Expect("COMPRESS DEFLATE", "206 Compression active");
    c.StartDeflate();
}

// The compressed part of a walk: the overview of articles 1 to 3, two of them pictures.
void ServeOverview(ServerConnection &c) {
    c.Expect("LIST OVERVIEW.FMT", "215 order\r\nSubject:\r\nFrom:\r\n:lines\r\n.");
    c.Expect("OVER 1-3", "224 follows\r\n1\tone (1/1)\tme\t400\r\n2\tsmall\tme\t2\r\n"
                         "3\tthree (1/1)\tme\t500\r\n.");
}

std::string ArticleText(int Number) {
    std::string text = "Subject: picture " + std::to_string(Number) + "\r\n\r\n";
    for (int i = 0; i < 400; ++i)
        text += "M" + std::string(60, static_cast<char>('A' + Number)) + "\r\n";
    // A dot-stuffed line must come out un-stuffed, compressed or not.
    return text + "..stuffed\r\n.\r\n";
}

// Articles 1 and 3, both asked for before the first is sent.
void ServePipelinedTwo(ServerConnection &c) {
    c.Expect("ARTICLE 1");
    c.Expect("ARTICLE 3");
    c.Send("220 1 <1@x> article\r\n" + ArticleText(1));
    c.Send("220 3 <3@x> article\r\n" + ArticleText(3));
}

class CompressionTest : public ::testing::Test {
protected:
    void SetUp() override {
        nntp.SetWinsockLoaded(true);
        nntp.SetTimeOut(5);
        nntp.SetQueryCapabilities(true);
        nntp.SetUseOverview(true);
        nntp.SetArticle(&article);
        nntp.OnNextHeaderRetrieved = [this](TObject *, int n) {
            numbers.push_back(nntp.HeaderList().Items(n).Number);
        };
    }

    void Select(const ScriptedServer &server) {
        nntp.SetServer(server.Address());
        nntp.SetNewsGroup("alt.test");
    }

    // Walks the group on Server, which serves the overview of articles 1 to 3, and quits.
    void WalkTheOverview(ScriptedServer &Server) {
        nntp.RetrieveHeaders(0, false);
        EXPECT_EQ(numbers, (std::vector<int>{1, 2, 3}));
        nntp.Disconnect();
        EXPECT_EQ(Server.Failures(), std::vector<std::string>{});
    }

    // Fetches 1 and 3 pipelined, keeping each article's last body line.
    std::vector<std::string> FetchTwo() {
        std::vector<std::string> lastLines;
        nntp.RetrieveArticles({{1, 400}, {3, 500}}, 8, [&](std::int32_t, bool found) {
            EXPECT_TRUE(found);
            lastLines.push_back(article.Body().empty() ? std::string() : article.Body().back());
        });
        return lastLines;
    }

    TmsNNTP nntp;
    TmsArticle article;
    std::vector<int> numbers;
};

TEST_F(CompressionTest, OverviewAndPipelinedArticlesArriveCompressedAndIntact) {
    std::size_t wireIn = 0;
    ScriptedServer server([&](ServerConnection &c) {
        GreetCompressed(c);
        ServeOverview(c);
        // Both requests come before the first reply: written compressed, each flushed.
        ServePipelinedTwo(c);
        c.Expect("QUIT", "205 bye");
        wireIn = c.WireReceived();
    });
    Select(server);
    nntp.RetrieveHeaders(0, false);
    ASSERT_NE(nntp.Compression(), nullptr);
    EXPECT_EQ(numbers, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(FetchTwo(), (std::vector<std::string>{".stuffed", ".stuffed"}));
    // Long repeated lines shrink on the wire.
    EXPECT_LT(nntp.Compression()->WireReceived() * 5, nntp.Compression()->Inflated());
    nntp.Disconnect();
    EXPECT_EQ(server.Failures(), std::vector<std::string>{});
    EXPECT_GT(wireIn, 0u);
}

TEST_F(CompressionTest, WithTheOverviewOrCompressionOffTheExchangeIsAsItWas) {
    // The original walk: the capabilities are asked, but nothing beyond the walk's commands.
    ScriptedServer classic([](ServerConnection &c) {
        Greet(c);
        c.Expect("STAT 1", "223 1 <1@x> status");
        c.Expect("HEAD", "221 1 <1@x> head\r\nSubject: one\r\nLines: 400\r\n.");
        c.Expect("NEXT", "421 no next");
        c.Expect("QUIT", "205 bye");
    });
    nntp.SetUseOverview(false);
    Select(classic);
    nntp.RetrieveHeaders(0, false);
    EXPECT_EQ(nntp.Compression(), nullptr);
    nntp.Disconnect();
    EXPECT_EQ(classic.Failures(), std::vector<std::string>{});

    // The overview without compression (vexil-nntp without --compress).
    ScriptedServer plain([](ServerConnection &c) {
        Greet(c);
        ServeOverview(c);
        c.Expect("QUIT", "205 bye");
    });
    nntp.SetUseOverview(true);
    nntp.SetUseCompression(false);
    numbers.clear();
    Select(plain);
    WalkTheOverview(plain);
}

TEST_F(CompressionTest, ARefusalGoesOnUncompressedAndIsNotAskedAgain) {
    ScriptedServer server([](ServerConnection &c) {
        Greet(c);
        c.Expect("COMPRESS DEFLATE", "403 Unable to activate compression");
        ServeOverview(c);
        ServePipelinedTwo(c);
        c.Expect("QUIT", "205 bye");
    });
    Select(server);
    nntp.RetrieveHeaders(0, false);
    EXPECT_EQ(nntp.Compression(), nullptr);
    EXPECT_EQ(numbers, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(FetchTwo(), (std::vector<std::string>{".stuffed", ".stuffed"}));
    nntp.Disconnect();
    EXPECT_EQ(server.Failures(), std::vector<std::string>{});
}

TEST_F(CompressionTest, ACorruptStreamEndsTheConnectionAndTheNextGoStartsAfresh) {
    ScriptedServer server([](ServerConnection &c) {
        GreetCompressed(c);
        if (c.failures.empty() && c.ReadLine() == "LIST OVERVIEW.FMT") {
            // A valid start, then a block type deflate does not have.
            c.Send("215 order\r\n");
            c.SendRaw(std::string("\x07\xff\xff\xff\xff\xff", 6));
        }
        c.WaitForClose(5);
    });
    Select(server);
    const std::string message = FailureOf<ESocketError>([&] { nntp.RetrieveHeaders(0, false); });
    EXPECT_NE(message.find("The compressed data from the server is damaged"), std::string::npos)
        << message;
    EXPECT_FALSE(nntp.Connected());
    EXPECT_EQ(nntp.Compression(), nullptr);
    EXPECT_EQ(server.Failures(), std::vector<std::string>{});
    // The next Go: the window steps off the group on a connection of its own, then selects
    // it again on a new one, which asks again and is compressed from scratch.
    int connection = 0;
    ScriptedServer next(
        [&](ServerConnection &c) {
            if (++connection == 1) {
                c.SendLine("200 ready");
                c.Expect("CAPABILITIES", kCapabilities);
                c.Expect("QUIT", "205 bye");
                return;
            }
            GreetCompressed(c);
            ServeOverview(c);
            c.Expect("QUIT", "205 bye");
        },
        2);
    nntp.SetServer(next.Address());
    nntp.Connect();
    nntp.Disconnect();
    numbers.clear();
    nntp.SetNewsGroup("alt.test");
    WalkTheOverview(next);
}

TEST_F(CompressionTest, ACompressedConnectionThatFallsSilentTimesOut) {
    ScriptedServer server([](ServerConnection &c) {
        GreetCompressed(c);
        c.Expect("LIST OVERVIEW.FMT");
        // Half a reply, flushed, then nothing more.
        c.Send("215 ord");
        c.WaitForClose(5);
    });
    nntp.SetTimeOut(1);
    Select(server);
    EXPECT_THROW(nntp.RetrieveHeaders(0, false), ETimedOutError);
    EXPECT_FALSE(nntp.Connected());
    EXPECT_EQ(server.Failures(), std::vector<std::string>{});
}

} // namespace
} // namespace vexil
