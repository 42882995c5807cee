// The TLS handshake against scripted servers that are no TLS servers or stop half-way: each
// ends in a clear message, and Stop and the time-out work during the handshake as they do
// during a read.
#include "net/NetErrors.h"
#include "net/ServerAddress.h"
#include "net/TTlsLayer.h"
#include "net/TagSocket.h"
#include "platform/MessagePump.h"

#include "ScriptedServer.h"

#include <gtest/gtest.h>

#include <chrono>

namespace vexil {
namespace {

using test::FailureOf;
using test::ScriptedServer;
using test::ServerConnection;

class TlsHandshakeTest : public ::testing::Test {
protected:
    void SetUp() override {
        socket.SetWinsockLoaded(true);
        socket.SetTimeOut(10);
        socket.OnError = [this](TObject *, std::string &msg) { errors.push_back(msg); };
    }

    // Connects over TLS; the failure's message.
    template <typename E = ESocketError> std::string ConnectFailure(const ScriptedServer &server) {
        socket.SetServer("nntps://" + server.Address());
        socket.OpenSocket();
        return FailureOf<E>([&] { socket.ConnectSocket(); });
    }

    std::vector<std::string> errors;
    TagSocket socket;
};

// What a client's hello looks like to a server that reads lines: no line ends in it.
void SwallowTheHello(ServerConnection &c) {
    c.ReadLine(0.3);
}

TEST_F(TlsHandshakeTest, ServersThatAreNoTlsServersEndWithAClearMessage) {
    struct Case {
        const char *name;
        ScriptedServer::Script script;
        const char *message;
    };
    const Case cases[] = {
        {"plain greeting", [](ServerConnection &c) { c.SendLine("200 plain news here"); },
         "did not answer as a secure (TLS) server"},
        {"close mid-handshake",
         [](ServerConnection &c) {
             SwallowTheHello(c);
             c.Close();
         },
         "closed the connection during the secure (TLS) handshake"},
        {"half a record, then close",
         [](ServerConnection &c) {
             SwallowTheHello(c);
             c.Send(std::string("\x16\x03\x03\x40\x00\x02\x00", 7));
             c.Close();
         },
         "closed the connection during the secure (TLS) handshake"},
        {"garbage handshake",
         [](ServerConnection &c) {
             SwallowTheHello(c);
             c.Send(std::string("\x16\x03\x03\x00\x06\x02\x00\x00\x02\xff\xff", 11));
             c.WaitForClose();
         },
         "did not answer as a secure (TLS) server"},
    };
    for (const Case &c : cases) {
        errors.clear();
        ScriptedServer server(c.script);
        const std::string message = ConnectFailure(server);
        EXPECT_NE(message.find(c.message), std::string::npos) << c.name << ": " << message;
        EXPECT_NE(message.find("127.0.0.1"), std::string::npos) << c.name;
        EXPECT_FALSE(socket.Connected()) << c.name;
        EXPECT_FALSE(socket.Secure()) << c.name;
        EXPECT_EQ(errors, std::vector<std::string>{message}) << c.name;
        socket.ClearFlags();
    }
}

TEST_F(TlsHandshakeTest, AResetDuringTheHandshakeIsReportedAsTheReset) {
    ScriptedServer server([](ServerConnection &c) {
        SwallowTheHello(c);
        c.Reset();
    });
    EXPECT_EQ(ConnectFailure(server), "[10054] Connection reset by peer");
    EXPECT_FALSE(socket.Connected());
}

TagSocket *g_stopTarget = nullptr;
std::chrono::steady_clock::time_point g_stopAt;

// Presses Stop once the handshake has been waiting for a while.
void StopLater() {
    if (g_stopTarget != nullptr && std::chrono::steady_clock::now() >= g_stopAt) {
        TagSocket *target = g_stopTarget;
        g_stopTarget = nullptr;
        target->Cancel();
    }
}

TEST_F(TlsHandshakeTest, StopAndTheTimeOutEndAHandshakeThatHangs) {
    ScriptedServer server(
        [](ServerConnection &c) {
            SwallowTheHello(c);
            c.WaitForClose(15);
        },
        2);
    g_stopTarget = &socket;
    g_stopAt = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
    const MessagePumpHook previous = SetMessagePumpHook(StopLater);
    EXPECT_EQ(ConnectFailure<ECanceledError>(server), "Operation has been canceled");
    SetMessagePumpHook(previous);
    EXPECT_EQ(g_stopTarget, nullptr);
    EXPECT_FALSE(socket.Connected());

    socket.ClearFlags();
    socket.SetTimeOut(1);
    EXPECT_EQ(ConnectFailure<ETimedOutError>(server), "Operation timed out");
    EXPECT_FALSE(socket.Connected());
}

TEST_F(TlsHandshakeTest, TlsIsOnForNntpsAddressesThePortAndTheSwitch) {
    EXPECT_TRUE(SplitServerAddress("nntps://news.example.com").Secure);
    EXPECT_TRUE(SplitServerAddress("NNTPS://news.example.com:443/").Secure);
    EXPECT_EQ(SplitServerAddress("NNTPS://news.example.com:443/").Port, 443);
    EXPECT_EQ(SplitServerAddress("nntps://news.example.com").Host, "news.example.com");
    EXPECT_FALSE(SplitServerAddress("nntp://news.example.com:119").Secure);
    EXPECT_EQ(SplitServerAddress("nntp://news.example.com:119").Host, "news.example.com");
    EXPECT_THROW(SplitServerAddress("nntps://news.example.com:0"), ESocketError);

    // Without a port of its own a secure server is reached on 563.
    socket.SetServer("nntps://127.0.0.1");
    socket.OpenSocket();
    EXPECT_EQ(socket.Port(), kSecureNewsPort);
    socket.CloseSocket();
    socket.SetServer("127.0.0.1");
    socket.SetUseTls(true);
    socket.OpenSocket();
    EXPECT_EQ(socket.Port(), kSecureNewsPort);
    socket.CloseSocket();
    // The switch alone makes a server that names its port a TLS server.
    ScriptedServer server([](ServerConnection &c) { c.SendLine("200 plain news here"); });
    socket.SetServer(server.Address());
    socket.OpenSocket();
    EXPECT_NE(FailureOf<ESocketError>([&] { socket.ConnectSocket(); }).find("secure (TLS)"),
              std::string::npos);
}

TEST_F(TlsHandshakeTest, FingerprintsAreTakenAsUsersWriteThem) {
    std::string normal = "AB";
    for (int i = 0; i < 31; ++i)
        normal += ":01";
    EXPECT_EQ(normal.size(), 95u);
    std::string compact;
    for (char c : normal)
        if (c != ':')
            compact += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(TTlsLayer::NormalFingerprint(compact), normal);
    EXPECT_EQ(TTlsLayer::NormalFingerprint(normal), normal);
    EXPECT_EQ(TTlsLayer::NormalFingerprint(compact.substr(2)), "");
    EXPECT_EQ(TTlsLayer::NormalFingerprint(compact + "00"), "");
    EXPECT_EQ(TTlsLayer::NormalFingerprint("zz" + compact.substr(2)), "");
}

} // namespace
} // namespace vexil
