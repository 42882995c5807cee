// The overview walk: the line parser's bounds, and the exchange with servers that have an
// overview and servers that have none.
#include "net/NetErrors.h"
#include "net/TOverviewLine.h"
#include "net/TmsNNTP.h"

#include "ScriptedServer.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace vexil {
namespace {

using test::ScriptedServer;
using test::ServerConnection;

std::vector<TOverviewEntry> Collect(const std::string &Bytes, std::int32_t First, std::int32_t Last,
                                    std::size_t Chunk = 7) {
    TOverviewStream stream(TOverviewFormat(), First, Last);
    for (std::size_t i = 0; i < Bytes.size(); i += Chunk)
        stream.Write(Bytes.data() + i, std::min(Chunk, Bytes.size() - i));
    return std::move(stream.Entries());
}

TEST(OverviewLineTest, FieldsAreFoundWhereTheFormatPutsThem) {
    const TOverviewFormat usual = TOverviewFormat::Parse(
        "Subject:\r\nFrom:\r\nDate:\r\nMessage-ID:\r\nReferences:\r\n:bytes\r\n:lines\r\n"
        "Xref:full\r\n");
    EXPECT_EQ(usual.SubjectField, 1u);
    EXPECT_EQ(usual.LinesField, 7u);
    const TOverviewFormat moved = TOverviewFormat::Parse("From:\nLINES:\nsubject:\n");
    EXPECT_EQ(moved.SubjectField, 3u);
    EXPECT_EQ(moved.LinesField, 2u);

    const auto entry =
        usual.ParseLine("12\tA picture (1/1)\tme\tdate\t<id>\t\t4000\t 300 \tXref: x\r");
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->Number, 12);
    EXPECT_EQ(entry->Subject, "A picture (1/1)");
    EXPECT_EQ(entry->Lines, "300");
}

TEST(OverviewLineTest, BadLinesGiveNothingOrEmptyFields) {
    const TOverviewFormat format;
    EXPECT_FALSE(format.ParseLine(""));
    EXPECT_FALSE(format.ParseLine("\tsubject"));
    EXPECT_FALSE(format.ParseLine("12a\tsubject"));
    EXPECT_FALSE(format.ParseLine("-3\tsubject"));
    EXPECT_FALSE(format.ParseLine("0\tsubject"));
    EXPECT_FALSE(format.ParseLine("99999999999\tsubject"));
    EXPECT_FALSE(format.ParseLine("4294967297\tsubject"));
    // Missing fields are empty, so the Lines filter refuses the article.
    const auto shortLine = format.ParseLine("5\tonly a subject");
    ASSERT_TRUE(shortLine);
    EXPECT_EQ(shortLine->Subject, "only a subject");
    EXPECT_EQ(shortLine->Lines, "");
    // Tabs in odd places shift nothing past the fields they stand between.
    const auto tabs = format.ParseLine("6\t\t\t\t\t\t\t\t\t\t");
    ASSERT_TRUE(tabs);
    EXPECT_EQ(tabs->Subject, "");
    EXPECT_EQ(tabs->Lines, "");
}

TEST(OverviewLineTest, AReplyGivesOnlyOrderedEntriesOfTheAskedRange) {
    const auto entries = Collect("1\tbefore\nx\n3\tthree\t\t\t\t\t\t200\n3\tagain\n2\tback\n"
                                 "9\tnine\n20\tafter\n10\tlast without break",
                                 2, 10);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].Number, 3);
    EXPECT_EQ(entries[0].Lines, "200");
    EXPECT_EQ(entries[1].Number, 9);
    EXPECT_EQ(entries[2].Number, 10);
    EXPECT_EQ(entries[2].Subject, "last without break");

    // However many lines arrive, a range of ten holds ten entries at most.
    std::string flood;
    for (int i = 0; i < 200000; ++i)
        flood += std::to_string(1 + i % 50) + "\ts\n";
    EXPECT_EQ(Collect(flood, 1, 10, 4096).size(), 10u);

    // An endless line is cut, and the line after it still counts.
    const std::string endless = "4\t" + std::string(1 << 20, 'x') + "\n5\tnext\n";
    const auto cut = Collect(endless, 1, 10, 65536);
    ASSERT_EQ(cut.size(), 2u);
    EXPECT_LE(cut[0].Subject.size(), TOverviewStream::MaxLine);
    EXPECT_EQ(cut[1].Subject, "next");
}

class OverviewWalkTest : public ::testing::Test {
protected:
    void SetUp() override {
        nntp.SetWinsockLoaded(true);
        nntp.SetTimeOut(5);
        nntp.SetUseOverview(true);
        nntp.OnNextHeaderRetrieved = [this](TObject *, int n) {
            const TmsNgInfoItem &item = nntp.HeaderList().Items(n);
            seen.push_back(std::to_string(item.Number) + " " + item.GetHeaderValue("Subject") +
                           " " + item.GetHeaderValue("Lines"));
        };
        nntp.OnLastHeaderRetrieved = [this](TObject *) { ++lastFired; };
    }

    TmsNNTP nntp;
    std::vector<std::string> seen;
    int lastFired = 0;
};

TEST_F(OverviewWalkTest, RangesOfFiveThousandFromTheRememberedArticle) {
    ScriptedServer server([](ServerConnection &c) {
        c.SendLine("200 ready");
        c.Expect("GROUP alt.test", "211 9000 2 12000 alt.test");
        // Asked on the open connection, as the login did not.
        c.Expect("CAPABILITIES", "101 list\r\nVERSION 2\r\nREADER\r\nOVER\r\n.");
        c.Expect("LIST OVERVIEW.FMT", "215 order\r\nFrom:\r\nSubject:\r\nLines:\r\n.");
        c.Expect("OVER 101-5100", "224 follows\r\n101\tme\tfirst\t300\r\n"
                                  "7000\tme\tstray\t1\r\n5100\tme\tsecond\t\r\n.");
        c.Expect("OVER 5101-10100", "423 none");
        c.Expect("OVER 10101-12000", "224 follows\r\n12000\tme\tthird\t9\r\n.");
        c.Expect("QUIT", "205 bye");
    });
    nntp.SetServer(server.Address());
    nntp.SetNewsGroup("alt.test");
    nntp.SetLastRetrieved(100);
    nntp.RetrieveHeaders(0, false);
    EXPECT_EQ(seen, (std::vector<std::string>{"101 first 300", "5100 second ", "12000 third 9"}));
    EXPECT_EQ(lastFired, 1);
    EXPECT_EQ(nntp.LastRetrieved(), 12000);
    nntp.Disconnect();
    EXPECT_EQ(server.Failures(), std::vector<std::string>{});
}

TEST_F(OverviewWalkTest, TheCountEndsTheWalkOnTheLastHeaderHandled) {
    ScriptedServer server([](ServerConnection &c) {
        c.SendLine("200 ready");
        c.Expect("CAPABILITIES", "101 list\r\nVERSION 2\r\nREADER\r\nOVER\r\n.");
        c.Expect("GROUP alt.test", "211 3 1 3 alt.test");
        c.Expect("LIST OVERVIEW.FMT", "503 no format");
        c.Expect("OVER 1-3", "224 follows\r\n1\ta\r\n2\tb\r\n3\tc\r\n.");
        c.Expect("QUIT", "205 bye");
    });
    nntp.SetQueryCapabilities(true);
    nntp.SetServer(server.Address());
    nntp.SetNewsGroup("alt.test");
    nntp.RetrieveHeaders(2, false);
    EXPECT_EQ(seen, (std::vector<std::string>{"1 a ", "2 b "}));
    EXPECT_EQ(lastFired, 0);
    EXPECT_EQ(nntp.LastRetrieved(), 2);
    nntp.Disconnect();
    EXPECT_EQ(server.Failures(), std::vector<std::string>{});
}

TEST_F(OverviewWalkTest, WithoutAnOverviewTheArticleByArticleWalkRuns) {
    ScriptedServer server([](ServerConnection &c) {
        c.SendLine("200 ready");
        c.Expect("GROUP alt.test", "211 1 1 1 alt.test");
        c.Expect("CAPABILITIES", "101 list\r\nVERSION 2\r\nREADER\r\n.");
        c.Expect("STAT 1", "223 1 <a@b> status");
        c.Expect("HEAD", "221 1 <a@b> head\r\nSubject: only\r\nLines: 5\r\n.");
        c.Expect("NEXT", "421 no next");
        c.Expect("QUIT", "205 bye");
    });
    nntp.SetServer(server.Address());
    nntp.SetNewsGroup("alt.test");
    nntp.RetrieveHeaders(0, false);
    EXPECT_EQ(seen, (std::vector<std::string>{"1 only 5"}));
    EXPECT_EQ(lastFired, 1);
    nntp.Disconnect();
    EXPECT_EQ(server.Failures(), std::vector<std::string>{});
}

TEST_F(OverviewWalkTest, AFailedOverviewCommandEndsTheWalkWithTheServersWords) {
    ScriptedServer server([](ServerConnection &c) {
        c.SendLine("200 ready");
        c.Expect("GROUP alt.test", "211 1 1 1 alt.test");
        c.Expect("CAPABILITIES", "101 list\r\nVERSION 2\r\nREADER\r\nOVER\r\n.");
        c.Expect("LIST OVERVIEW.FMT", "215 order\r\nSubject:\r\n.");
        c.Expect("OVER 1-1", "503 overview broken");
        c.Expect("QUIT", "205 bye");
    });
    nntp.SetServer(server.Address());
    nntp.SetNewsGroup("alt.test");
    try {
        nntp.RetrieveHeaders(0, false);
        FAIL() << "no error";
    } catch (const Exception &e) {
        EXPECT_EQ(std::string(e.what()), "503 overview broken");
    }
    EXPECT_TRUE(seen.empty());
    nntp.Disconnect();
    EXPECT_EQ(server.Failures(), std::vector<std::string>{});
}

class PipelineTest : public OverviewWalkTest {
protected:
    std::vector<std::string> Fetch(const std::vector<std::int32_t> &Numbers, int Depth) {
        std::vector<TmsNNTP::TArticleRequest> requests;
        for (std::int32_t n : Numbers)
            requests.push_back({n, -1});
        std::vector<std::string> done;
        nntp.RetrieveArticles(requests, Depth, [&](std::int32_t n, bool found) {
            done.push_back(std::to_string(n) + (found ? " found" : " gone"));
        });
        return done;
    }
};

TEST_F(PipelineTest, RequestsRunAheadAndAMissingArticleIsSkipped) {
    ScriptedServer server([](ServerConnection &c) {
        c.SendLine("200 ready");
        c.Expect("GROUP alt.test", "211 4 1 4 alt.test");
        // Two asked before the first reply; each reply lets one more go.
        c.Expect("ARTICLE 1");
        c.Expect("ARTICLE 2");
        c.SendLine("220 1 <1@x> article\r\nSubject: one\r\n\r\nbody\r\n.");
        c.Expect("ARTICLE 3");
        c.SendLine("423 no such article");
        c.Expect("ARTICLE 4");
        c.SendLine("220 3 <3@x> article\r\nSubject: three\r\n\r\nbody\r\n.");
        c.SendLine("430 gone");
        c.Expect("GROUP other", "211 0 0 0 other");
        c.Expect("QUIT", "205 bye");
    });
    nntp.SetServer(server.Address());
    nntp.SetNewsGroup("alt.test");
    EXPECT_EQ(Fetch({1, 2, 3, 4}, 2),
              (std::vector<std::string>{"1 found", "2 gone", "3 found", "4 gone"}));
    // The connection is still in step.
    nntp.SetNewsGroup("other");
    nntp.Disconnect();
    EXPECT_EQ(server.Failures(), std::vector<std::string>{});
}

TEST_F(PipelineTest, ACutOrOutOfStepStreamDropsTheConnectionAndTheNextGoStartsAfresh) {
    ScriptedServer server([](ServerConnection &c) {
        c.SendLine("200 ready");
        c.Expect("GROUP alt.test", "211 3 1 3 alt.test");
        c.Expect("ARTICLE 1");
        c.Expect("ARTICLE 2");
        c.Expect("ARTICLE 3");
        c.Send("220 1 <1@x> article\r\nSubject: one\r\n\r\nhalf a bo");
    });
    nntp.SetServer(server.Address());
    nntp.SetNewsGroup("alt.test");
    EXPECT_THROW(Fetch({1, 2, 3}, 8), Exception);
    EXPECT_FALSE(nntp.Connected());
    EXPECT_EQ(nntp.NewsGroup(), "");
    EXPECT_EQ(server.Failures(), std::vector<std::string>{});

    ScriptedServer skewed([](ServerConnection &c) {
        c.SendLine("200 ready");
        c.Expect("GROUP alt.test", "211 3 1 3 alt.test");
        c.Expect("ARTICLE 1");
        c.Expect("ARTICLE 2");
        c.SendLine("220 2 <2@x> article\r\n\r\nbody\r\n.");
    });
    nntp.SetServer(skewed.Address());
    nntp.SetNewsGroup("alt.test");
    std::vector<std::string> done;
    EXPECT_THROW(done = Fetch({1, 2}, 2), EServerError);
    EXPECT_TRUE(done.empty());
    EXPECT_FALSE(nntp.Connected());
}

} // namespace
} // namespace vexil
