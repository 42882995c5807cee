// Servers that misbehave on purpose: every one must end in the right error, without a crash
// and without memory growing with what the server sends.
#include "net/NetErrors.h"
#include "net/TagSocket.h"
#include "platform/TStream.h"

#include "ScriptedServer.h"

#include <gtest/gtest.h>

#include <chrono>

namespace vexil {
namespace {

using namespace std::chrono_literals;
using test::FailureOf;
using test::ScriptedServer;
using test::ServerConnection;

class HostileServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        socket.SetWinsockLoaded(true);
        socket.SetTimeOut(1);
    }
    void Open(const ScriptedServer &server) {
        socket.SetServer(server.Address());
        socket.OpenSocket();
        socket.ConnectSocket();
    }
    TagSocket socket;
};

TEST_F(HostileServerTest, EndlessDataBlockIsCutOffAndTheSocketClosed) {
    ScriptedServer server([](ServerConnection &c) {
        const std::string chunk(1 << 20, 'x');
        // Sends until the client gives up; 300 MiB at most.
        for (int i = 0; i < 300 && c.Send(chunk); ++i) {
        }
    });
    Open(server);
    TMemoryStream block;
    try {
        socket.ReadData(block, -1);
        FAIL() << "no exception";
    } catch (const ESocketError &e) {
        EXPECT_EQ(e.Message(), "[10040] Message too long");
    }
    EXPECT_FALSE(socket.Connected());
    EXPECT_LE(block.Size(), TagSocket::MaxDataBlock);
}

TEST_F(HostileServerTest, MegabyteReplyLineIsRefused) {
    ScriptedServer server(
        [](ServerConnection &c) { c.Send("200 " + std::string(1 << 20, 'y') + "\r\n"); });
    Open(server);
    std::string line;
    try {
        socket.ReadLine(line);
        FAIL() << "no exception";
    } catch (const ESocketError &e) {
        EXPECT_EQ(e.Message(), "[10040] Message too long");
    }
    EXPECT_TRUE(line.empty());
    EXPECT_FALSE(socket.Connected());
}

TEST_F(HostileServerTest, LongButReasonableReplyLineArrivesWhole) {
    const std::string reply = "211 " + std::string(5000, 'g');
    ScriptedServer server([&](ServerConnection &c) { c.SendLine(reply); });
    Open(server);
    std::string line;
    EXPECT_EQ(socket.ReadLine(line), 211);
    EXPECT_EQ(line, reply);
}

TEST_F(HostileServerTest, ServerStoppingMidLineTimesOut) {
    ScriptedServer server([](ServerConnection &c) {
        c.Send("200 half a gree");
        c.WaitForClose();
    });
    Open(server);
    std::string line;
    EXPECT_THROW(socket.ReadLine(line), ETimedOutError);
    EXPECT_FALSE(socket.Connected());
}

TEST_F(HostileServerTest, TricklingServerTimesOutBecauseTheWholeLineMustArriveInTime) {
    ScriptedServer server([](ServerConnection &c) {
        c.Trickle("200 slow\r\n", 400ms);
        c.WaitForClose();
    });
    Open(server);
    std::string line;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(socket.ReadLine(line), ETimedOutError);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
}

TEST_F(HostileServerTest, TricklingDataBlockKeepsTheInactivityTimerAlive) {
    // Every chunk restarts the counter, so a slow but steady block arrives.
    ScriptedServer server([](ServerConnection &c) {
        c.Trickle("a\r\nb\r\n.\r\n", 150ms);
        c.WaitForClose();
    });
    Open(server);
    TMemoryStream block;
    socket.ReadData(block, -1);
    EXPECT_EQ(block.Bytes(), "a\r\nb\r\n");
    socket.CloseSocket();
}

TEST_F(HostileServerTest, ServerClosingMidBlockEndsAtOnce) {
    ScriptedServer server([](ServerConnection &c) {
        c.Send("Subject: cut\r\nbody");
        c.Close();
    });
    // Long enough that waiting for the time-out would show as ETimedOutError.
    socket.SetTimeOut(60);
    Open(server);
    int closed = 0;
    socket.OnClosed = [&](TObject *) { ++closed; };
    TMemoryStream block;
    EXPECT_EQ(FailureOf<ESocketError>([&] { socket.ReadData(block, -1); }),
              "The server closed the connection before the end of the data");
    EXPECT_EQ(closed, 1);
    EXPECT_FALSE(socket.Connected());
    EXPECT_EQ(block.Bytes(), "Subject: cut\r\nbody");
}

TEST_F(HostileServerTest, GarbageAndNulBytesInRepliesAreHarmless) {
    ScriptedServer server([](ServerConnection &c) {
        c.Send(std::string("\0\xFF\x01 junk\r\n", 10));
        c.Send("\r\n");
        c.Send("99\r\n");
    });
    Open(server);
    std::string line;
    EXPECT_EQ(socket.ReadLine(line), -1);
    EXPECT_EQ(line, std::string("\0\xFF\x01 junk", 8));
    EXPECT_EQ(socket.ReadLine(line), -1);
    EXPECT_EQ(line, "");
    EXPECT_EQ(socket.ReadLine(line), -1);
    EXPECT_EQ(line, "99");
}

} // namespace
} // namespace vexil
