// vexil-nntp facing a server that sends terminal escape sequences and NUL bytes, and facing a
// command line it cannot use. Nothing the server sent may act on the user's terminal.
#include "tests/net/ScriptedServer.h"
#include "tests/support/TestFiles.h"
#include "tests/support/ToolRun.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;
using namespace vexil::test;

// Retitles the terminal, clears it, turns text red; 0x9B is CSI on an 8-bit terminal.
const std::string kHostileSubject = "pic \x1b]0;owned\x07 one\x9b"
                                    "2J\x1b[31m end";
const std::string kHeader =
    "Subject: " + kHostileSubject + "\r\nLines: 5\r\nFrom: x@example.invalid\r\n";
// A uuencoded "GIF89a" whose name clears the screen.
const std::string kBody = "begin 644 a\x1b[2J.gif\r\n&1TE&.#EA\r\n`\r\nend\r\n";

std::string CommandOf(const std::string &line) {
    std::string word = line.substr(0, line.find(' '));
    for (char &c : word)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return word;
}

// A group of one article with hostile text, answered in whatever order the client asks.
void HostileGroup(ServerConnection &c) {
    c.SendLine("200 \x1b]0;owned\x07ready\x1b[2J");
    for (std::string line; !(line = c.ReadLine()).empty();) {
        const std::string command = CommandOf(line);
        if (command == "GROUP")
            c.SendLine("211 1 1 1 alt.test");
        else if (command == "LISTGROUP")
            c.Send("211 1 1 1 alt.test\r\n1\r\n.\r\n");
        else if (command == "STAT")
            c.SendLine("223 1 <1@x> status");
        else if (command == "HEAD")
            c.Send("221 1 <1@x> head\r\n" + kHeader + ".\r\n");
        else if (command == "ARTICLE")
            c.Send("220 1 <1@x> article\r\n" + kHeader + "\r\n" + kBody + ".\r\n");
        else if (command == "NEXT")
            c.SendLine("421 No next article to retrieve");
        else if (command == "LIST")
            c.Send("215 list\r\nalt.\x1b[2Jtest\x9b 1 1 y\r\n.\r\n");
        else if (command == "QUIT") {
            c.SendLine("205 bye");
            return;
        } else
            c.SendLine("500 What?");
    }
}

bool HasControlBytes(const std::string &text) {
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 && byte != '\n' && byte != '\t') || byte == 0x7F ||
            (byte >= 0x80 && byte < 0xA0))
            return true;
    }
    return false;
}

class VexilNntpOutputTest : public ::testing::Test {
protected:
    // One run of the tool against a server of its own.
    ToolResult Run(const ScriptedServer::Script &script, const std::string &arguments) {
        ScriptedServer server(script);
        ToolResult r = tool_.Run("--server " + server.Address() + " " + arguments);
        EXPECT_TRUE(server.Failures().empty());
        EXPECT_FALSE(HasControlBytes(r.out)) << r.out;
        EXPECT_FALSE(HasControlBytes(r.err)) << r.err;
        return r;
    }

    ToolRun tool_{"vexil-nntp"};
    const fs::path &dir_ = tool_.Dir();
};

TEST_F(VexilNntpOutputTest, ServerTextReachesTheTerminalWithItsControlsReplaced) {
    ToolResult r = Run(HostileGroup, "list");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "alt.?[2Jtest? 1 1 y\n");

    r = Run(HostileGroup, "walk alt.test");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "1\t5\tpic ?]0;owned? one?2J?[31m end\n");

    r = Run(HostileGroup, "fetch alt.test --min-lines 0 -o out");
    ASSERT_EQ(r.status, 0) << r.err;
    // Stored as the window stores it: under a usable name, without the control character.
    EXPECT_NE(r.out.find("\nSaved a_[2J.gif\n"), std::string::npos) << r.out;
    EXPECT_EQ(ReadFile(dir_ / "out" / "a_[2J.gif"), "GIF89a");
}

TEST_F(VexilNntpOutputTest, RepliesStartingWithNulOrEscapesGiveAVisibleMessage) {
    const auto failingList = [](const std::string &reply) {
        return [reply](ServerConnection &c) {
            c.SendLine("200 ready");
            c.Expect("LIST", reply);
            if (c.ReadLine(5) == "QUIT")
                c.SendLine("205 bye");
        };
    };
    ToolResult r = Run(failingList(std::string("\0"
                                               "503 program fault",
                                               18)),
                       "list");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "vexil-nntp: ?503 program fault\n");

    r = Run(failingList("502 \x1b]0;owned\x07\x1b[2Jno\x9b"
                        "2J"),
            "list");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "vexil-nntp: 502 ?]0;owned??[2Jno?2J\n");

    // A fetch that fails before its first article leaves no folder behind.
    r = Run(
        [](ServerConnection &c) {
            c.SendLine("200 ready");
            c.Expect("GROUP alt.test", std::string("\0"
                                                   "411 \x1b[5mno such group",
                                                   22));
            if (c.ReadLine(5) == "QUIT")
                c.SendLine("205 bye");
        },
        "fetch alt.test -o out");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "vexil-nntp: ?411 ?[5mno such group\n");
    EXPECT_FALSE(fs::exists(dir_ / "out"));
}

TEST_F(VexilNntpOutputTest, CommandLineFaultsNameTheArgument) {
    const std::pair<const char *, const char *> wrong[] = {
        {"--server h walk g --count abc",
         "--count: \"abc\" is not a whole number from 0 to 2147483647"},
        {"--server h walk g --from -5",
         "--from: \"-5\" is not a whole number from 0 to 2147483647"},
        {"--server h walk g --count", "--count needs a value"},
        {"--server h --frob list", "unknown option --frob"},
        {"list", "--server HOST[:PORT] is missing"},
        {"--server h", "no command given"},
        {"--server h frobnicate", "unknown command \"frobnicate\""},
        {"--server h walk", "walk needs a GROUP"},
        {"--server h list extra", "unexpected argument \"extra\""},
        {"--server h fetch g", "fetch needs -o DIR"},
    };
    for (const auto &[arguments, message] : wrong) {
        const ToolResult r = tool_.Run(arguments);
        EXPECT_EQ(r.status, 2) << arguments;
        EXPECT_EQ(r.err, std::string("vexil-nntp: ") + message +
                             "\nTry 'vexil-nntp --help' for more information.\n");
        EXPECT_EQ(r.out, "");
    }
    const ToolResult help = tool_.Run("--server h --help");
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: vexil-nntp", 0), 0u);
}

} // namespace
