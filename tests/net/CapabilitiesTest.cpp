// What the client learns of a server's capabilities, from the list itself and through the
// exchange with scripted servers: asked only when switched on, MODE READER only when wanted,
// older servers asked for their extensions, the list asked again after a login.
#include "net/NetErrors.h"
#include "net/TNntpCapabilities.h"
#include "net/TmsNNTP.h"

#include "ScriptedServer.h"

#include <gtest/gtest.h>

namespace vexil {
namespace {

using test::ScriptedServer;
using test::ServerConnection;

TEST(CapabilitiesParseTest, ReadsTheFeaturesTheClientUsesAndPassesOverTheRest) {
    const TNntpCapabilities c = TNntpCapabilities::Parse("VERSION 2\r\n"
                                                         "IMPLEMENTATION some server 1.0\r\n"
                                                         "reader\r\n"
                                                         "OVER MSGID\r\n"
                                                         "HDR\r\n"
                                                         "LIST ACTIVE NEWSGROUPS OVERVIEW.FMT\r\n"
                                                         "COMPRESS\tSHRINK  deflate\r\n"
                                                         "AUTHINFO SASL USER\r\n");
    EXPECT_TRUE(c.Known);
    EXPECT_EQ(c.Version, 2);
    EXPECT_TRUE(c.Reader);
    EXPECT_FALSE(c.ModeReader);
    EXPECT_TRUE(c.Over);
    EXPECT_FALSE(c.XOver);
    EXPECT_TRUE(c.Hdr);
    EXPECT_TRUE(c.CompressDeflate);
    EXPECT_TRUE(c.AuthInfoUser);

    // Arguments name what is offered: SASL alone is no AUTHINFO USER, another compression
    // no DEFLATE; a label only counts as the first word.
    const TNntpCapabilities d = TNntpCapabilities::Parse(
        "VERSION 2 3\nMODE-READER\nAUTHINFO SASL\nCOMPRESS SHRINK\nLIST OVER HDR\n"
        "VERSION\n");
    EXPECT_TRUE(d.ModeReader);
    EXPECT_FALSE(d.AuthInfoUser);
    EXPECT_FALSE(d.CompressDeflate);
    EXPECT_FALSE(d.Over);
    EXPECT_FALSE(d.Hdr);
    EXPECT_EQ(d.Version, 2);
}

TEST(CapabilitiesParseTest, HostileListsAreReadWithinBounds) {
    EXPECT_TRUE(TNntpCapabilities::Parse("").Known);
    EXPECT_FALSE(TNntpCapabilities::Parse("\r\n\r\n   \t\r\n").Over);
    // A label hidden at the end of an overlong line is not taken.
    const std::string longLine(TNntpCapabilities::MaxLine, 'x');
    EXPECT_FALSE(TNntpCapabilities::Parse("OVER " + longLine + "\n").Over);
    EXPECT_TRUE(TNntpCapabilities::Parse(longLine + "\nOVER").Over);
    // A version that is no small number is no version.
    EXPECT_EQ(TNntpCapabilities::Parse("VERSION 99999999999999999999\n").Version, 0);
    EXPECT_EQ(TNntpCapabilities::Parse("VERSION -2\n").Version, 0);
    // A NUL is no blank: the word is not XOVER, and the next line still counts.
    const TNntpCapabilities nul = TNntpCapabilities::Parse(std::string("XOVER\0junk\nHDR", 14));
    EXPECT_FALSE(nul.XOver);
    EXPECT_TRUE(nul.Hdr);
}

class CapabilitiesExchangeTest : public ::testing::Test {
protected:
    void SetUp() override {
        nntp.SetWinsockLoaded(true);
        nntp.SetTimeOut(5);
        nntp.SetQueryCapabilities(true);
    }
    void Select(const ScriptedServer &server) {
        nntp.SetServer(server.Address());
        nntp.SetNewsGroup("alt.test");
    }

    TmsNNTP nntp;
};

TEST_F(CapabilitiesExchangeTest, ModeReaderIsSentOnlyWhenListedAndTheListIsAskedAgain) {
    ScriptedServer server([](ServerConnection &c) {
        c.SendLine("200 ready");
        c.Expect("CAPABILITIES", "101 list follows\r\nVERSION 2\r\nMODE-READER\r\n.");
        c.Expect("MODE READER", "200 reader ready");
        c.Expect("CAPABILITIES", "101 list follows\r\nVERSION 2\r\nREADER\r\nOVER\r\n.");
        c.Expect("GROUP alt.test", "211 3 1 3 alt.test");
        c.Expect("QUIT", "205 bye");
    });
    Select(server);
    EXPECT_TRUE(nntp.Capabilities().Reader);
    EXPECT_TRUE(nntp.Capabilities().Over);
    EXPECT_FALSE(nntp.Capabilities().ModeReader);
    nntp.Disconnect();
    EXPECT_TRUE(server.Failures().empty());

    ScriptedServer reader([](ServerConnection &c) {
        c.SendLine("201 ready");
        c.Expect("CAPABILITIES", "101 list\r\nVERSION 2\r\nREADER\r\nMODE-READER\r\nHDR\r\n.");
        c.Expect("GROUP alt.test", "211 3 1 3 alt.test");
        c.Expect("QUIT", "205 bye");
    });
    Select(reader);
    EXPECT_TRUE(nntp.Capabilities().Hdr);
    nntp.Disconnect();
    EXPECT_TRUE(reader.Failures().empty());
}

TEST_F(CapabilitiesExchangeTest, AnOldServerIsAskedForItsExtensionsOnce) {
    ScriptedServer server([](ServerConnection &c) {
        c.SendLine("200 ready");
        c.Expect("CAPABILITIES", "500 what?");
        c.Expect("LIST EXTENSIONS", "202 extensions\r\nXOVER\r\nLISTGROUP\r\n.");
        c.Expect("GROUP alt.test", "211 3 1 3 alt.test");
        c.Expect("QUIT", "205 bye");
    });
    Select(server);
    EXPECT_TRUE(nntp.Capabilities().Known);
    EXPECT_TRUE(nntp.Capabilities().XOver);
    EXPECT_FALSE(nntp.Capabilities().Over);
    nntp.Disconnect();
    EXPECT_TRUE(server.Failures().empty());

    ScriptedServer oldest([](ServerConnection &c) {
        c.SendLine("200 ready");
        c.Expect("CAPABILITIES", "500 what?");
        c.Expect("LIST EXTENSIONS", "500 what?");
        c.Expect("GROUP alt.test", "211 3 1 3 alt.test");
        c.Expect("QUIT", "205 bye");
    });
    Select(oldest);
    EXPECT_FALSE(nntp.Capabilities().Known);
    nntp.Disconnect();
    EXPECT_TRUE(oldest.Failures().empty());
}

TEST_F(CapabilitiesExchangeTest, ALoginAsksAgainAndTheCommandIsRepeated) {
    ScriptedServer server([](ServerConnection &c) {
        c.SendLine("200 ready");
        // The open server names only SASL; the login the user asked for is still tried.
        c.Expect("CAPABILITIES", "101 list\r\nVERSION 2\r\nREADER\r\nAUTHINFO SASL\r\n.");
        c.Expect("GROUP alt.test", "480 login first");
        c.Expect("AUTHINFO USER me", "381 password");
        c.Expect("AUTHINFO PASS secret", "281 welcome");
        c.Expect("CAPABILITIES", "101 list\r\nVERSION 2\r\nREADER\r\nOVER\r\n.");
        c.Expect("GROUP alt.test", "211 3 1 3 alt.test");
        c.Expect("QUIT", "205 bye");
    });
    nntp.UserName = "me";
    nntp.Password = "secret";
    Select(server);
    EXPECT_TRUE(nntp.Capabilities().Over);
    EXPECT_FALSE(nntp.Capabilities().AuthInfoUser);
    EXPECT_EQ(nntp.ArticleCount(), 3);
    nntp.Disconnect();
    EXPECT_TRUE(server.Failures().empty());
}

TEST_F(CapabilitiesExchangeTest, OffByDefaultAndRefusedReaderModeEndsTheConnection) {
    nntp.SetQueryCapabilities(false);
    ScriptedServer plain([](ServerConnection &c) {
        c.SendLine("200 ready");
        c.Expect("GROUP alt.test", "211 3 1 3 alt.test");
        c.Expect("QUIT", "205 bye");
    });
    Select(plain);
    EXPECT_FALSE(nntp.Capabilities().Known);
    nntp.Disconnect();
    EXPECT_TRUE(plain.Failures().empty());

    nntp.SetQueryCapabilities(true);
    ScriptedServer refusing([](ServerConnection &c) {
        c.SendLine("200 ready");
        c.Expect("CAPABILITIES", "101 list\r\nVERSION 2\r\nMODE-READER\r\n.");
        c.Expect("MODE READER", "502 no reading here");
        c.WaitForClose();
    });
    nntp.SetServer(refusing.Address());
    EXPECT_EQ(test::FailureOf<EServerError>([&] { nntp.SetNewsGroup("alt.test"); }),
              "502 no reading here");
    nntp.CloseSocket();
    EXPECT_TRUE(refusing.Failures().empty());
}

} // namespace
} // namespace vexil
