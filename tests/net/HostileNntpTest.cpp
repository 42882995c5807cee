// The news client against servers that misbehave on purpose: each case must end, in the error
// that says what happened, holding no more memory than the case needs (MemoryProbe counts
// every heap byte of the program, the scripted server's included).
#include "message/TmsArticle.h"
#include "net/NetErrors.h"
#include "net/TmsNNTP.h"
#include "platform/MessagePump.h"

#include "MemoryProbe.h"
#include "ScriptedServer.h"

#include <gtest/gtest.h>

#include <atomic>

namespace vexil {
namespace {

using test::FailureOf;
using test::MemoryProbe;
using test::ScriptedServer;
using test::ServerConnection;
using Lines = std::vector<std::string>;

constexpr std::size_t KiB = 1024;
constexpr std::size_t MiB = 1024 * KiB;

class HostileNntpTest : public ::testing::Test {
protected:
    void SetUp() override {
        nntp.SetWinsockLoaded(true);
        // Long enough that a case ending in the time-out shows as the wrong error.
        nntp.SetTimeOut(60);
        nntp.SetArticle(&article);
        nntp.OnClosed = [this](TObject *) { events.push_back("closed"); };
    }
    void TearDown() override { SetMessagePumpHook(nullptr); }

    void Select(const ScriptedServer &server, const std::string &group = "alt.test") {
        nntp.SetServer(server.Address());
        nntp.SetNewsGroup(group);
    }

    Lines events;
    TmsArticle article;
    TmsNNTP nntp;
};

void Greet(ServerConnection &c, const std::string &figures) {
    c.SendLine("200 hostile.invalid ready");
    c.Expect("GROUP alt.test", "211 " + figures + " alt.test");
}

// Sends Count copies of Line, a chunk at a time, so the server itself holds little.
bool SendRepeated(ServerConnection &c, const std::string &line, std::size_t count) {
    std::string chunk;
    for (std::size_t i = 0; i < count; ++i) {
        chunk += line;
        if (chunk.size() >= 64 * KiB || i + 1 == count) {
            if (!c.Send(chunk))
                return false;
            chunk.clear();
        }
    }
    return true;
}

TEST_F(HostileNntpTest, NextThatDoesNotMoveForwardEndsTheWalk) {
    ScriptedServer server([](ServerConnection &c) {
        Greet(c, "3 1 3");
        c.Expect("STAT 1", "223 1 <1@x> status");
        c.Expect("HEAD", "221 1 <1@x> head");
        c.Send("Subject: one\r\nLines: 1\r\n.\r\n");
        c.Expect("NEXT", "223 2 <2@x> next");
        c.Expect("HEAD", "221 2 <2@x> head");
        c.Send("Subject: two\r\nLines: 1\r\n.\r\n");
        // Back to an earlier article (or the same one): a walk that followed would never end.
        c.Expect("NEXT", "223 1 <1@x> next");
        c.WaitForClose(2);
    });
    Select(server);
    MemoryProbe memory;
    EXPECT_EQ(FailureOf<EServerError>([&] { nntp.RetrieveHeaders(0, false); }), "223 1 <1@x> next");
    EXPECT_EQ(nntp.HeaderList().Count(), 2);
    EXPECT_LT(memory.Peak(), 256 * KiB);
    nntp.Cancel();
    EXPECT_TRUE(server.Failures().empty()) << server.Failures().front();
}

TEST_F(HostileNntpTest, HugeGroupWindowIsSearchedWithOneCommand) {
    // A count of 2^31 - 1 is allowed (an estimate); the numbers from 1 on are long expired.
    ScriptedServer server([](ServerConnection &c) {
        Greet(c, "2147483647 1 2147483647");
        c.Expect("STAT 1", "423 No such article number 1");
        c.Expect("LISTGROUP alt.test 1-", "211 2147483647 1 2147483647 list follows");
        // Two million numbers (about 22 MB), none of which the client needs to keep.
        c.Send("2000000000\r\n");
        SendRepeated(c, "2000000001\r\n", 2000000);
        c.Send(".\r\n");
        c.Expect("STAT 2000000000", "223 2000000000 <big@x> status");
    });
    Select(server);
    MemoryProbe memory;
    nntp.StatArticle(1);
    EXPECT_EQ(nntp.CurrentArticle(), 2000000000);
    EXPECT_LT(memory.Peak(), 1 * MiB);
    EXPECT_TRUE(server.Failures().empty()) << server.Failures().front();
    EXPECT_EQ(server.Received().size(), 4u);
}

// Stop, pressed while the client waits for a reply once the server has seen enough STATs.
std::atomic<int> g_stats{0};
TmsNNTP *g_stopped = nullptr;

void PressStop() {
    if (g_stats >= 200 && g_stopped != nullptr && g_stopped->Connected())
        g_stopped->Cancel();
}

TEST_F(HostileNntpTest, StepByStepSearchWithoutListgroupStopsOnCancel) {
    g_stats = 0;
    ScriptedServer server([](ServerConnection &c) {
        Greet(c, "2147483647 1 2147483647");
        c.Expect("STAT 1", "423 No such article number 1");
        c.Expect("LISTGROUP alt.test 1-", "500 What?");
        for (std::string line = c.ReadLine(); line.rfind("STAT ", 0) == 0; line = c.ReadLine()) {
            ++g_stats;
            c.SendLine("423 No such article number");
        }
    });
    Select(server);
    MemoryProbe memory;
    g_stopped = &nntp;
    SetMessagePumpHook(PressStop);
    EXPECT_THROW(nntp.StatArticle(1), ECanceledError);
    SetMessagePumpHook(nullptr);
    g_stopped = nullptr;
    EXPECT_GE(g_stats, 200);
    EXPECT_LT(g_stats, 1000);
    EXPECT_LT(memory.Peak(), 256 * KiB);
    const Lines received = server.Received();
    // The window below LastArticle - ArticleCount is skipped as before: 2, 3, 4 ... follow.
    ASSERT_GE(received.size(), 5u);
    EXPECT_EQ(received[3], "STAT 2");
    EXPECT_EQ(received[4], "STAT 3");
}

TEST_F(HostileNntpTest, MissingArticleWithNothingAfterItIsTheFirstReply) {
    ScriptedServer server([](ServerConnection &c) {
        Greet(c, "2 8 9");
        c.Expect("STAT 8", "423 No such article number 8");
        c.Expect("LISTGROUP alt.test 8-", "211 0 8 9 list follows");
        c.Send(".\r\n");
        c.WaitForClose(2);
    });
    Select(server);
    MemoryProbe memory;
    EXPECT_EQ(FailureOf<EServerError>([&] { nntp.StatArticle(8); }),
              "423 No such article number 8");
    EXPECT_LT(memory.Peak(), 64 * KiB);
    nntp.Cancel();
    EXPECT_TRUE(server.Failures().empty()) << server.Failures().front();
}

TEST_F(HostileNntpTest, HeaderBlockOverAMegabyteIsRefused) {
    ScriptedServer server([](ServerConnection &c) {
        Greet(c, "1 1 1");
        c.Expect("STAT 1", "223 1 <1@x> status");
        c.Expect("HEAD", "221 1 <1@x> head");
        // 50 MB of header lines, or until the client gives up.
        SendRepeated(c, "X-Padding: " + std::string(1000, 'p') + "\r\n", 50000);
    });
    Select(server);
    MemoryProbe memory;
    EXPECT_EQ(FailureOf<ESocketError>([&] { nntp.RetrieveAllHeaders(); }),
              "[10040] Message too long");
    EXPECT_FALSE(nntp.Connected());
    EXPECT_EQ(nntp.HeaderList().Count(), 0);
    EXPECT_LT(memory.Peak(), 4 * MiB);
}

TEST_F(HostileNntpTest, WalkKeepsWhatTheHandlerReadsNotWholeBlocks) {
    constexpr int kArticles = 400;
    // 400 header blocks of 64 KB: 25 MB on the wire.
    const std::string padding = "X-Padding: " + std::string(1000, 'p') + "\r\n";
    ScriptedServer server([&](ServerConnection &c) {
        Greet(c, std::to_string(kArticles) + " 1 " + std::to_string(kArticles));
        c.Expect("STAT 1", "223 1 <1@x> status");
        for (int n = 1; n <= kArticles; ++n) {
            c.Expect("HEAD", "221 " + std::to_string(n) + " <x> head");
            c.Send("Subject: picture " + std::to_string(n) + "\r\n");
            SendRepeated(c, padding, 64);
            c.Send("Lines: 300\r\n.\r\n");
            c.Expect("NEXT", n < kArticles ? "223 " + std::to_string(n + 1) + " <x> next"
                                           : "421 No next article");
        }
    });
    Select(server);
    Lines seenByHandler;
    nntp.OnNextHeaderRetrieved = [&](TObject *, int n) {
        // The whole block is there while the handler runs.
        if (n == 0)
            seenByHandler = nntp.HeaderList().Items(n).Lines();
    };
    MemoryProbe memory;
    nntp.RetrieveAllHeaders();
    ASSERT_EQ(nntp.HeaderList().Count(), kArticles);
    EXPECT_EQ(seenByHandler.size(), 66u);
    const TmsNgInfoItem &last = nntp.HeaderList().Items(kArticles - 1);
    EXPECT_EQ(last.Number, kArticles);
    EXPECT_EQ(last.GetHeaderValue("Subject"), "picture 400");
    EXPECT_EQ(last.GetHeaderValue("Lines"), "300");
    EXPECT_EQ(last.GetHeaderValue("X-Padding"), "");
    seenByHandler.clear();
    // Whole blocks would be 25 MB; what may stay is a little per header and the
    // connection's read buffer, which holds up to two reads of 64 KB.
    constexpr std::size_t kReadBuffer = 256 * KiB;
    EXPECT_LT(memory.Held(), kArticles * 512u + kReadBuffer);
    EXPECT_LT(memory.Peak(), 2 * MiB);
    EXPECT_TRUE(server.Failures().empty()) << server.Failures().front();
}

TEST_F(HostileNntpTest, GroupListIsHeldCompactly) {
    constexpr std::size_t kGroups = 1000000;
    const std::string line = "a 0 0 y\r\n";
    ScriptedServer server([&](ServerConnection &c) {
        c.SendLine("200 ready");
        c.Expect("LIST", "215 list follows");
        SendRepeated(c, line, kGroups);
        c.Send(".\r\n");
    });
    nntp.SetServer(server.Address());
    MemoryProbe memory;
    nntp.RetrieveNewsGroupList();
    ASSERT_EQ(nntp.NewsGroupList().Count(), static_cast<int>(kGroups));
    EXPECT_EQ(nntp.NewsGroupList().Items(kGroups - 1).Name, "a");
    EXPECT_EQ(nntp.NewsGroupList().Items(kGroups - 1).Posting, 'y');
    const std::size_t received = kGroups * line.size();
    EXPECT_LT(memory.Held(), received * 3 / 2);
    EXPECT_LT(memory.Peak(), received * 4);
}

TEST_F(HostileNntpTest, ConnectionClosedInsideAnArticleEndsAtOnce) {
    ScriptedServer server([](ServerConnection &c) {
        Greet(c, "1 1 1");
        c.Expect("STAT 1", "223 1 <1@x> status");
        c.Expect("HEAD", "221 1 <1@x> head");
        c.Send("Subject: cut\r\nLines: 100\r\n.\r\n");
        c.Expect("ARTICLE", "220 1 <1@x> article");
        c.Send("Subject: cut\r\nLines: 100\r\n\r\nbegin 644 cut.jpg\r\nM");
        c.Close();
    });
    Select(server);
    MemoryProbe memory;
    // Not "Operation timed out" a minute later.
    EXPECT_EQ(FailureOf<ESocketError>([&] { nntp.RetrieveArticle(1); }),
              "The server closed the connection before the end of the data");
    EXPECT_EQ(events, Lines{"closed"});
    EXPECT_FALSE(nntp.Connected());
    EXPECT_LT(memory.Peak(), 256 * KiB);
}

TEST_F(HostileNntpTest, MalformedGroupReplyIsReportedAsItIs) {
    for (const std::string reply : {"211 lots of articles", "211 5 1", "211 -5 1 3 alt.test",
                                    "211 99999999999 1 3 alt.test"}) {
        ScriptedServer server([&](ServerConnection &c) {
            c.SendLine("200 ready");
            c.Expect("GROUP alt.test", reply);
            c.WaitForClose(2);
        });
        nntp.SetServer(server.Address());
        MemoryProbe memory;
        EXPECT_EQ(FailureOf<EServerError>([&] { nntp.SetNewsGroup("alt.test"); }), reply);
        EXPECT_EQ(nntp.NewsGroup(), "");
        EXPECT_LT(memory.Peak(), 64 * KiB);
        nntp.Cancel();
        // Nothing was sent after the GROUP.
        EXPECT_EQ(server.Received(), Lines{"GROUP alt.test"});
    }
}

// Up to the overview's first command on a compressed connection.
void StartCompressedOverview(ServerConnection &c) {
    Greet(c, "3 1 3");
    c.Expect("CAPABILITIES", "101 list\r\nVERSION 2\r\nREADER\r\nOVER\r\nCOMPRESS DEFLATE\r\n.");
    c.Expect("COMPRESS DEFLATE", "206 Compression active");
    c.StartDeflate();
}

// Repeats Piece, compressed, until the client is gone or Most bytes (as inflated) went.
void SendBomb(ServerConnection &c, const std::string &piece, std::size_t most) {
    const std::string chunk = [&] {
        std::string bytes;
        while (bytes.size() < 256 * KiB)
            bytes += piece;
        return bytes;
    }();
    for (std::size_t sent = 0; sent < most && c.Send(chunk); sent += chunk.size()) {
    }
}

TEST_F(HostileNntpTest, CompressedReplyLineThatExpandsWithoutEndIsCut) {
    std::size_t wire = 0;
    ScriptedServer server([&](ServerConnection &c) {
        StartCompressedOverview(c);
        c.Expect("LIST OVERVIEW.FMT");
        // A few kilobytes on the wire for every megabyte the client would have to hold.
        SendBomb(c, "215", 64 * MiB);
        wire = c.WireSent();
    });
    Select(server);
    nntp.SetUseOverview(true);
    MemoryProbe memory;
    EXPECT_EQ(FailureOf<ESocketError>([&] { nntp.RetrieveHeaders(0, false); }),
              "[10040] Message too long");
    EXPECT_FALSE(nntp.Connected());
    EXPECT_LT(memory.Peak(), 2 * MiB);
    EXPECT_TRUE(server.Failures().empty()) << server.Failures().front();
    EXPECT_LT(wire, 1 * MiB);
}

TEST_F(HostileNntpTest, CompressedOverviewThatExpandsWithoutEndStopsAtTheBlockLimit) {
    ScriptedServer server([&](ServerConnection &c) {
        StartCompressedOverview(c);
        c.Expect("LIST OVERVIEW.FMT", "215 order\r\nSubject:\r\n:lines\r\n.");
        c.Expect("OVER 1-3", "224 follows");
        // Entries outside the range, which the client drops as they come; a little more
        // than the largest block it takes.
        SendBomb(c, "9\t" + std::string(2000, 's') + "\t300\r\n", 320 * MiB);
    });
    Select(server);
    nntp.SetUseOverview(true);
    int headers = 0;
    nntp.OnNextHeaderRetrieved = [&](TObject *, int) { ++headers; };
    MemoryProbe memory;
    EXPECT_EQ(FailureOf<ESocketError>([&] { nntp.RetrieveHeaders(0, false); }),
              "[10040] Message too long");
    EXPECT_EQ(headers, 0);
    EXPECT_FALSE(nntp.Connected());
    EXPECT_LT(memory.Peak(), 4 * MiB);
    EXPECT_TRUE(server.Failures().empty()) << server.Failures().front();
}

TEST_F(HostileNntpTest, LinesHeaderThatLiesKeepsProgressAtMostAHundred) {
    const std::string body(200 * KiB, 'b');
    ScriptedServer server([&](ServerConnection &c) {
        Greet(c, "1 1 1");
        c.Expect("STAT 1", "223 1 <1@x> status");
        c.Expect("HEAD", "221 1 <1@x> head");
        c.Send("Subject: liar\r\nLines: 3\r\n.\r\n");
        c.Expect("ARTICLE", "220 1 <1@x> article");
        c.Send("Subject: liar\r\nLines: 3\r\n\r\n" + body + "\r\n.\r\n");
    });
    Select(server);
    std::vector<int> percents;
    nntp.OnProgress = [&](TObject *, int perc, int) { percents.push_back(perc); };
    MemoryProbe memory;
    nntp.RetrieveArticle(1);
    ASSERT_FALSE(percents.empty());
    EXPECT_EQ(percents.back(), 100);
    for (int p : percents)
        EXPECT_LE(p, 100);
    // The article itself and its decoded form: a small multiple of its size.
    EXPECT_LT(memory.Peak(), 8 * body.size());
    EXPECT_TRUE(server.Failures().empty()) << server.Failures().front();
}

} // namespace
} // namespace vexil
