#include "net/TagSocket.h"
#include "net/NetErrors.h"
#include "platform/MessagePump.h"
#include "platform/TStream.h"

#include "ScriptedServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace vexil {
namespace {

using namespace std::chrono_literals;
using test::FailureOf;
using test::ScriptedServer;
using test::ServerConnection;

class TagSocketTest : public ::testing::Test {
protected:
    void SetUp() override {
        socket.SetWinsockLoaded(true);
        socket.SetTimeOut(5);
        socket.OnError = [this](TObject *, std::string &msg) { errors.push_back(msg); };
        socket.OnClosed = [this](TObject *) { ++closed; };
    }

    // Opens and connects to the scripted server.
    void Open(const ScriptedServer &server) {
        socket.SetServer(server.Address());
        socket.OpenSocket();
        socket.ConnectSocket();
    }

    // From now on keeps each new transferred count in `progress`, with its percentage.
    void RecordProgress() {
        socket.OnProgress = [this](TObject *, int perc, int transferred) {
            if (progress.empty() || progress.back().second != transferred)
                progress.emplace_back(perc, transferred);
        };
    }

    std::vector<std::string> errors;
    int closed = 0;
    std::vector<std::pair<int, int>> progress;
    TagSocket socket;
};

TEST_F(TagSocketTest, PortInServerNeedsNoLookup) {
    ScriptedServer server([](ServerConnection &c) { c.SendLine("200 hello"); });
    Open(server);
    EXPECT_EQ(socket.Port(), server.Port());
    EXPECT_EQ(socket.RemoteIP(), ""); // a dotted address is used as it stands
    std::string line;
    EXPECT_EQ(socket.ReadLine(line), 200);
    EXPECT_EQ(line, "200 hello");
    EXPECT_TRUE(server.Failures().empty());
}

TEST_F(TagSocketTest, HostNameIsLookedUp) {
    ScriptedServer server([](ServerConnection &c) { c.SendLine("201 no posting"); });
    socket.SetServer("localhost:" + std::to_string(server.Port()));
    socket.OpenSocket();
    EXPECT_EQ(socket.RemoteIP(), "127.0.0.1");
    EXPECT_EQ(socket.AsyncHandle(), 0u);
    socket.ConnectSocket();
    std::string line;
    EXPECT_EQ(socket.ReadLine(line), 201);
}

TEST_F(TagSocketTest, PortFallsBackToTheServiceThenToTheDefault) {
    socket.SetDefaultPort(8119);
    socket.SetService("nntp");
    socket.SetServer("127.0.0.1");
    socket.OpenSocket();
    EXPECT_EQ(socket.Port(), 119);
    socket.CloseSocket();
    socket.SetService("no-such-service");
    socket.OpenSocket();
    EXPECT_EQ(socket.Port(), 8119);
    socket.CloseSocket();
    socket.SetService(std::string(300, 's')); // longer than any lookup buffer
    socket.OpenSocket();
    EXPECT_EQ(socket.Port(), 8119);
    socket.CloseSocket();
    socket.SetServer("127.0.0.1:65535");
    socket.OpenSocket();
    EXPECT_EQ(socket.Port(), 65535);
    EXPECT_EQ(socket.StartupTotal(), 4);
}

TEST_F(TagSocketTest, PortThatIsNoNumberFromOneTo65535IsRefused) {
    socket.SetService("nntp");
    for (const std::string server : {"127.0.0.1:99999", "127.0.0.1:abc", "127.0.0.1:0",
                                     "127.0.0.1:65536", "127.0.0.1:", "127.0.0.1:-5"}) {
        socket.SetServer(server);
        const std::string text =
            "The port of the news server \"" + server + "\" must be a number from 1 to 65535.";
        EXPECT_EQ(FailureOf<ESocketError>([&] { socket.OpenSocket(); }), text);
        // Through the error path, so the status bar shows it too.
        EXPECT_EQ(errors.back(), text);
        EXPECT_FALSE(socket.Connected());
    }
    EXPECT_EQ(socket.StartupTotal(), 0);
}

TEST_F(TagSocketTest, MissingServerAndServiceAreRefused) {
    EXPECT_EQ(FailureOf<ESocketError>([&] { socket.OpenSocket(); }), "Server property is required");
    socket.SetServer("127.0.0.1");
    EXPECT_EQ(FailureOf<ESocketError>([&] { socket.OpenSocket(); }), "Service name is required");
    EXPECT_EQ(errors, (std::vector<std::string>{"Server property is required",
                                                "Service name is required"}));
}

TEST_F(TagSocketTest, UnknownHostFailsAfterOnError) {
    socket.SetServer("no-such-host.invalid:119");
    EXPECT_EQ(FailureOf<ESocketError>([&] { socket.OpenSocket(); }), "[11001] Host not found");
    EXPECT_EQ(errors, (std::vector<std::string>{"[11001] Host not found"}));
    EXPECT_EQ(socket.AsyncHandle(), 0u);
}

TEST_F(TagSocketTest, OverlongHostNameIsRefusedWithoutOverrun) {
    socket.SetServer(std::string(5000, 'h') + ".invalid:119");
    EXPECT_EQ(FailureOf<ESocketError>([&] { socket.OpenSocket(); }), "[11001] Host not found");
}

TEST_F(TagSocketTest, OnErrorMayRewordTheMessage) {
    socket.OnError = [](TObject *, std::string &msg) { msg = "Cannot find the news server"; };
    socket.SetServer("no-such-host.invalid:119");
    EXPECT_EQ(FailureOf<ESocketError>([&] { socket.OpenSocket(); }), "Cannot find the news server");
}

TEST_F(TagSocketTest, RefusedConnectionFails) {
    socket.SetServer("127.0.0.1:" + std::to_string(test::UnusedPort()));
    socket.OpenSocket();
    EXPECT_EQ(FailureOf<ESocketError>([&] { socket.ConnectSocket(); }),
              "[10061] Connection refused");
    EXPECT_EQ(errors.back(), "[10061] Connection refused");
    // Nothing is left to leave politely later.
    EXPECT_FALSE(socket.Connected());
    EXPECT_EQ(closed, 1);
}

TEST_F(TagSocketTest, ExchangesOnAClosedSocketAreRefused) {
    TMemoryStream stream;
    std::string line;
    const std::string text = "You have to connect to the server first";
    EXPECT_EQ(FailureOf<ESocketError>([&] { socket.SendLine("QUIT"); }), text);
    EXPECT_EQ(FailureOf<ESocketError>([&] { socket.ReadLine(line); }), text);
    EXPECT_EQ(FailureOf<ESocketError>([&] { socket.ReadData(stream, -1); }), text);
}

TEST_F(TagSocketTest, ReplyCodeIsTheFirstThreeDigits) {
    EXPECT_EQ(socket.ReplyCode("211 3 1 3 alt.test"), 211);
    EXPECT_EQ(socket.ReplyCode("205"), 205);
    EXPECT_EQ(socket.ReplyCode("20"), -1);
    EXPECT_EQ(socket.ReplyCode("2x1 ok"), -1);
    EXPECT_EQ(socket.ReplyCode(""), -1);
}

TEST_F(TagSocketTest, NothingAfterALineFeedIsLost) {
    // Greeting, a reply and a whole data block in one packet, then a reply after it.
    ScriptedServer server([](ServerConnection &c) {
        c.Send("200 hi\r\n211 1 1 1 g\r\nline 1\r\n..dot\r\n.\r\n223 next\n");
    });
    Open(server);
    std::string line;
    EXPECT_EQ(socket.ReadLine(line), 200);
    EXPECT_EQ(socket.ReadLine(line), 211);
    TMemoryStream block;
    socket.ReadData(block, -1);
    EXPECT_EQ(block.Bytes(), "line 1\r\n.dot\r\n");
    EXPECT_EQ(socket.ReadLine(line), 223);
    EXPECT_EQ(line, "223 next");
}

TEST_F(TagSocketTest, TerminatorSplitAcrossChunksIsRecognised) {
    ScriptedServer server([](ServerConnection &c) {
        c.Send("Subject: x\r\n.\r");
        std::this_thread::sleep_for(100ms);
        c.Send("\n");
        c.Send(".\r\n"); // a second, empty block
        c.WaitForClose();
    });
    Open(server);
    TMemoryStream block;
    socket.ReadData(block, -1);
    EXPECT_EQ(block.Bytes(), "Subject: x\r\n");
    TMemoryStream empty;
    socket.ReadData(empty, -1);
    EXPECT_EQ(empty.Bytes(), "");
    socket.CloseSocket();
}

TEST_F(TagSocketTest, ConnectionResetClosesTheSocketFirst) {
    ScriptedServer server([](ServerConnection &c) {
        c.ReadLine();
        c.Reset();
    });
    Open(server);
    socket.SendLine("GROUP alt.test");
    bool closedBeforeRaise = false;
    socket.OnError = [&](TObject *, std::string &) { closedBeforeRaise = socket.Connected(); };
    std::string line;
    EXPECT_EQ(FailureOf<ESocketError>([&] { socket.ReadLine(line); }),
              "[10054] Connection reset by peer");
    EXPECT_TRUE(closedBeforeRaise); // OnError comes first, then the socket is closed
    EXPECT_FALSE(socket.Connected());
    EXPECT_EQ(closed, 1);
}

TEST_F(TagSocketTest, ServerClosingBeforeTheLineGivesNoLine) {
    ScriptedServer server([](ServerConnection &c) {
        c.Send("200 partial");
        c.Close();
    });
    Open(server);
    std::string line = "old";
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(socket.ReadLine(line), -1);
    EXPECT_EQ(line, "");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 4s); // well before the time-out
}

TEST_F(TagSocketTest, TimeOutOfOneSecondEndsAWaitAndClosesTheSocket) {
    ScriptedServer server([](ServerConnection &c) { c.WaitForClose(); });
    socket.SetTimeOut(1);
    Open(server);
    std::string line;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(FailureOf<ETimedOutError>([&] { socket.ReadLine(line); }), "Operation timed out");
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, 900ms);
    EXPECT_LT(took, 3s);
    EXPECT_EQ(errors, (std::vector<std::string>{"Operation timed out"}));
    EXPECT_FALSE(socket.Connected());
}

TEST_F(TagSocketTest, TimedOutStateLastsUntilClearFlags) {
    ScriptedServer server([](ServerConnection &c) { c.WaitForClose(); });
    socket.SetTimeOut(1);
    Open(server);
    std::string line;
    EXPECT_THROW(socket.ReadLine(line), ETimedOutError);
    EXPECT_TRUE(socket.TimedOut());
    socket.ClearFlags();
    EXPECT_FALSE(socket.TimedOut());
}

// The pump hook is a plain function: it reaches the socket through this.
TagSocket *g_cancelTarget = nullptr;
void CancelFromThePump() {
    if (g_cancelTarget != nullptr)
        g_cancelTarget->Cancel();
}

struct PumpCancel {
    explicit PumpCancel(TagSocket &socket) {
        g_cancelTarget = &socket;
        previous = SetMessagePumpHook(CancelFromThePump);
    }
    ~PumpCancel() {
        SetMessagePumpHook(previous);
        g_cancelTarget = nullptr;
    }
    MessagePumpHook previous;
};

TEST_F(TagSocketTest, CancelDuringTheLookupCancelsTheRequest) {
    socket.SetServer("localhost:119");
    bool lookupPending = false;
    socket.OnCancel = [&](TObject *) { lookupPending = socket.AsyncHandle() != 0; };
    PumpCancel cancel(socket);
    EXPECT_EQ(FailureOf<ECanceledError>([&] { socket.OpenSocket(); }),
              "Operation has been canceled");
    EXPECT_TRUE(lookupPending);
    EXPECT_EQ(socket.AsyncHandle(), 0u);
    EXPECT_EQ(errors, (std::vector<std::string>{"Operation has been canceled"}));
}

TEST_F(TagSocketTest, CancelDuringADataBlock) {
    ScriptedServer server([](ServerConnection &c) {
        c.Send("first part of a block\r\n");
        c.WaitForClose();
    });
    Open(server);
    socket.OnProgress = [&](TObject *, int, int transferred) {
        if (transferred > 0)
            socket.Cancel();
    };
    TMemoryStream block;
    EXPECT_EQ(FailureOf<ECanceledError>([&] { socket.ReadData(block, -1); }),
              "Operation has been canceled");
    EXPECT_FALSE(socket.Connected());
    // A new operation starts over once the flags are cleared.
    socket.ClearFlags();
    EXPECT_FALSE(socket.Canceled());
}

TEST_F(TagSocketTest, ProgressCountsBytesOrLines) {
    const std::string body(760, 'x');
    ScriptedServer server([&](ServerConnection &c) {
        for (int part = 0; part < 4; ++part) {
            c.Send(body.substr(0, 190));
            std::this_thread::sleep_for(30ms);
        }
        std::this_thread::sleep_for(30ms);
        c.Send("\r\n.\r\n");
        c.WaitForClose();
    });
    Open(server);
    RecordProgress();
    socket.SetSizeInLines(true);
    TMemoryStream block;
    socket.ReadData(block, 10); // ten lines: 760 bytes expected
    ASSERT_GE(progress.size(), 4u);
    for (const auto &[perc, transferred] : progress) {
        const double exact = transferred * 100.0 / 760;
        EXPECT_LE(std::abs(perc - exact), 0.5) << transferred;
    }
    EXPECT_EQ(progress.back().second, 760); // reported before the last chunk is added
    socket.CloseSocket();
}

TEST_F(TagSocketTest, ProgressWithoutSizeIsMinusOne) {
    ScriptedServer server([](ServerConnection &c) {
        c.Send("a\r\n");
        std::this_thread::sleep_for(30ms);
        c.Send("b\r\n.\r\n");
        c.WaitForClose();
    });
    Open(server);
    std::vector<int> percents;
    socket.OnProgress = [&](TObject *, int perc, int) { percents.push_back(perc); };
    socket.SetSizeInLines(true);
    TMemoryStream block;
    socket.ReadData(block, -1);
    ASSERT_FALSE(percents.empty());
    for (int p : percents)
        EXPECT_EQ(p, -1);
    socket.CloseSocket();
}

TEST_F(TagSocketTest, HalvesRoundToEven) {
    // 1 byte of 8 expected is 12.5 %: rounded to 12; 3 of 8 is 37.5 %: rounded to 38.
    ScriptedServer server([](ServerConnection &c) {
        c.Send("a");
        std::this_thread::sleep_for(50ms);
        c.Send("bc");
        std::this_thread::sleep_for(50ms);
        c.Send("\r\n.\r\n");
        c.WaitForClose();
    });
    Open(server);
    RecordProgress();
    TMemoryStream block;
    socket.ReadData(block, 8);
    EXPECT_EQ(progress, (std::vector<std::pair<int, int>>{{0, 0}, {12, 1}, {38, 3}}));
    socket.CloseSocket();
}

// A scratch folder of the test's own, removed at the end.
class LogFolder {
public:
    LogFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "vexil-log-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("cannot create a temporary folder");
        path_ = pattern;
    }
    ~LogFolder() { std::filesystem::remove_all(path_); }
    std::string operator/(const std::string &name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

std::string FileText(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST_F(TagSocketTest, LogHoldsCommandsAndRepliesButNoDataNorThePassword) {
    const LogFolder folder;
    const std::string log = folder / "VEXIL.LOG";
    {
        ScriptedServer server([](ServerConnection &c) {
            c.SendLine("200 welcome");
            c.Expect("AUTHINFO USER alice", "381 more");
            c.Expect("AUTHINFO PASS s3cret-and-long", "281 ok");
            c.Expect("HEAD", "221 1 <a@b> head");
            c.Send("Subject: hidden\r\n.\r\n");
            c.WaitForClose();
        });
        TagSocket logged;
        logged.SetWinsockLoaded(true);
        logged.SetTimeOut(1);
        logged.SetLogFileName(log);
        logged.SetServer(server.Address());
        logged.OpenSocket();
        logged.ConnectSocket();
        std::string line;
        logged.ReadLine(line);
        for (const char *command :
             {"AUTHINFO USER alice", "AUTHINFO PASS s3cret-and-long", "HEAD"}) {
            logged.SendLine(command);
            logged.ReadLine(line);
        }
        TMemoryStream block;
        logged.ReadData(block, -1);
        EXPECT_THROW(logged.ReadLine(line), ETimedOutError);
        EXPECT_TRUE(server.Failures().empty());
    }
    // Asterisks of a fixed number, whatever the password's length.
    EXPECT_EQ(FileText(log), "200 welcome\r\nAUTHINFO USER alice\r\n381 more\r\n"
                             "AUTHINFO PASS ********\r\n281 ok\r\nHEAD\r\n"
                             "221 1 <a@b> head\r\n\r\n");
    struct stat info {};
    ASSERT_EQ(::stat(log.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    // Nothing is left beside it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder / ""),
                            std::filesystem::directory_iterator()),
              1);
}

TEST_F(TagSocketTest, LogReplacesALinkPlantedAtItsNameInsteadOfFollowingIt) {
    const LogFolder folder;
    const std::string log = folder / "VEXIL.LOG";
    const std::string victim = folder / "precious.txt";
    std::ofstream(victim) << "the user's own file\n";
    ::chmod(victim.c_str(), 0644);
    std::filesystem::create_symlink(victim, log);
    socket.SetLogFileName(log);
    socket.SaveLog();
    EXPECT_EQ(FileText(victim), "the user's own file\n");
    EXPECT_FALSE(std::filesystem::is_symlink(log));
    EXPECT_EQ(FileText(log), "");
    struct stat info {};
    ASSERT_EQ(::stat(log.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    // An existing log of other permissions is replaced by one of the user's only.
    ::chmod(log.c_str(), 0666);
    socket.SaveLog();
    ASSERT_EQ(::stat(log.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
}

TEST_F(TagSocketTest, LogThatCannotBeWrittenIsReported) {
    socket.SetLogFileName("/nonexistent-folder/vexil.log");
    EXPECT_THROW(socket.SaveLog(), EFCreateError);
}

} // namespace
} // namespace vexil
