// latency-proxy between a client and a small server inside the test, both on 127.0.0.1.
#include "tests/support/ToolRun.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>

extern char **environ;

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using vexil::test::ToolResult;
using vexil::test::ToolRun;

// A connected or listening TCP socket on 127.0.0.1 whose reads give up after 20 s.
class Socket {
public:
    explicit Socket(int fd) : fd_(fd) {
        if (fd_ < 0)
            throw std::runtime_error("socket failed");
        const timeval limit{20, 0};
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    }
    Socket(Socket &&other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Socket(const Socket &) = delete;
    Socket &operator=(const Socket &) = delete;
    ~Socket() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int Fd() const { return fd_; }

    static Socket Listen() {
        Socket s(::socket(AF_INET, SOCK_STREAM, 0));
        sockaddr_in a = Loopback(0);
        if (::bind(s.fd_, reinterpret_cast<sockaddr *>(&a), sizeof a) < 0 || ::listen(s.fd_, 8) < 0)
            throw std::runtime_error("cannot listen");
        return s;
    }
    static Socket Connect(int port) {
        Socket s(::socket(AF_INET, SOCK_STREAM, 0));
        sockaddr_in a = Loopback(port);
        if (::connect(s.fd_, reinterpret_cast<sockaddr *>(&a), sizeof a) < 0)
            throw std::runtime_error("cannot connect to port " + std::to_string(port));
        return s;
    }
    Socket Accept() const { return Socket(::accept(fd_, nullptr, nullptr)); }
    int Port() const {
        sockaddr_in a{};
        socklen_t length = sizeof a;
        ::getsockname(fd_, reinterpret_cast<sockaddr *>(&a), &length);
        return ntohs(a.sin_port);
    }

    void Send(const std::string &bytes) const {
        for (std::size_t sent = 0; sent < bytes.size();) {
            const ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (n <= 0)
                throw std::runtime_error("send failed");
            sent += static_cast<std::size_t>(n);
        }
    }
    // Exactly Count bytes, or fewer when the stream ends first.
    std::string Receive(std::size_t Count) const {
        std::string bytes(Count, '\0');
        std::size_t got = 0;
        while (got < Count) {
            const ssize_t n = ::recv(fd_, bytes.data() + got, Count - got, 0);
            if (n < 0)
                throw std::runtime_error("recv failed or timed out");
            if (n == 0)
                break;
            got += static_cast<std::size_t>(n);
        }
        bytes.resize(got);
        return bytes;
    }
    // What one read gives, at most Limit bytes; empty at the end of the stream.
    std::string ReceiveSome(std::size_t Limit) const {
        std::string bytes(Limit, '\0');
        const ssize_t n = ::recv(fd_, bytes.data(), Limit, 0);
        if (n < 0)
            throw std::runtime_error("recv failed or timed out");
        bytes.resize(static_cast<std::size_t>(n));
        return bytes;
    }
    // Everything up to the end of the stream; throws on a reset or a time-out.
    std::string ReceiveAll() const {
        std::string bytes, chunk;
        while (!(chunk = ReceiveSome(1 << 16)).empty())
            bytes += chunk;
        return bytes;
    }
    void EndWriting() const { ::shutdown(fd_, SHUT_WR); }

private:
    static sockaddr_in Loopback(int port) {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(static_cast<uint16_t>(port));
        return a;
    }

    int fd_;
};

// The proxy running in the background; ended when the test ends.
class Proxy {
public:
    Proxy(int TargetPort, int DelayMs) {
        const std::string binary =
            std::string(std::getenv("VEXIL_BINARY_DIR")) + "/tools/latency-proxy";
        const std::string target = "127.0.0.1:" + std::to_string(TargetPort);
        const std::string delay = std::to_string(DelayMs);
        const char *argv[] = {binary.c_str(), "--target",   target.c_str(), "--delay-ms",
                              delay.c_str(),  "--lifetime", "120",          nullptr};
        int out[2];
        if (::pipe(out) < 0)
            throw std::runtime_error("pipe failed");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        const int failed = posix_spawn(&pid_, binary.c_str(), &actions, nullptr,
                                       const_cast<char **>(argv), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        std::string line;
        for (char c; !failed && ::read(out[0], &c, 1) == 1 && c != '\n';)
            line += c;
        ::close(out[0]);
        if (failed || line.empty())
            throw std::runtime_error("latency-proxy did not start");
        port_ = std::stoi(line);
    }
    ~Proxy() {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
    int Port() const { return port_; }

private:
    pid_t pid_ = -1;
    int port_ = 0;
};

// A server that handles one connection on its own thread.
class OneShotServer {
public:
    explicit OneShotServer(std::function<void(const Socket &)> Handle)
        : listener_(Socket::Listen()), thread_([this, Handle] {
              try {
                  Handle(listener_.Accept());
              } catch (const std::exception &e) {
                  error_ = e.what();
              }
          }) {}
    ~OneShotServer() {
        if (thread_.joinable())
            thread_.join();
    }
    int Port() const { return listener_.Port(); }
    // Waits for the handler and gives what went wrong in it, if anything.
    std::string Finish() {
        thread_.join();
        return error_;
    }

private:
    Socket listener_;
    std::string error_;
    std::thread thread_;
};

void Echo(const Socket &connection) {
    for (std::string chunk; !(chunk = connection.ReceiveSome(1 << 16)).empty();)
        connection.Send(chunk);
}

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

TEST(LatencyProxyTest, HoldsEveryChunkForTheDelayInEachDirection) {
    constexpr int kDelay = 100;
    OneShotServer server([](const Socket &c) {
        c.Send("200 hello\r\n");
        Echo(c);
    });
    Proxy proxy(server.Port(), kDelay);
    const auto connected = Clock::now();
    Socket client = Socket::Connect(proxy.Port());
    EXPECT_EQ(client.Receive(11), "200 hello\r\n");
    EXPECT_GE(MillisecondsSince(connected), kDelay);
    for (int i = 0; i < 3; ++i) {
        const auto sent = Clock::now();
        client.Send("PING\r\n");
        EXPECT_EQ(client.Receive(6), "PING\r\n");
        EXPECT_GE(MillisecondsSince(sent), 2 * kDelay) << "round trip " << i;
    }
    client.EndWriting();
    EXPECT_EQ(client.ReceiveAll(), "");
    EXPECT_EQ(server.Finish(), "");
}

TEST(LatencyProxyTest, LargeTransferArrivesIntactAndInOrderBothWays) {
    std::string data(24 << 20, '\0');
    std::mt19937 random(14);
    for (char &c : data)
        c = static_cast<char>(random());
    OneShotServer server([](const Socket &c) {
        Echo(c);
        c.EndWriting();
    });
    Proxy proxy(server.Port(), 5);
    Socket client = Socket::Connect(proxy.Port());
    std::thread writer([&] {
        client.Send(data);
        client.EndWriting();
    });
    const std::string back = client.ReceiveAll();
    writer.join();
    EXPECT_EQ(back.size(), data.size());
    EXPECT_TRUE(back == data) << "the bytes came back changed or out of order";
    EXPECT_EQ(server.Finish(), "");
}

TEST(LatencyProxyTest, EndOfStreamIsPassedOnInTurnEachWay) {
    std::string seenByServer;
    OneShotServer server([&](const Socket &c) {
        seenByServer = c.ReceiveAll(); // ends only at the client's half-close
        c.Send("reply after the end of the request");
    });
    Proxy proxy(server.Port(), 20);
    Socket client = Socket::Connect(proxy.Port());
    client.Send("request");
    client.EndWriting();
    EXPECT_EQ(client.ReceiveAll(), "reply after the end of the request");
    EXPECT_EQ(server.Finish(), "");
    EXPECT_EQ(seenByServer, "request");
}

TEST(LatencyProxyTest, ClientOfATargetThatRefusesIsDisconnected) {
    int closedPort;
    {
        const Socket unused = Socket::Listen();
        closedPort = unused.Port();
    }
    Proxy proxy(closedPort, 10);
    Socket client = Socket::Connect(proxy.Port());
    char byte;
    const ssize_t n = ::recv(client.Fd(), &byte, 1, 0);
    EXPECT_LE(n, 0) << "the connection stayed open";
    if (n < 0) {
        EXPECT_EQ(errno, ECONNRESET) << "not closed within the time-out";
    }
}

TEST(LatencyProxyTest, RefusesTargetsOffThisMachineAndBadOptions) {
    ToolRun tool("latency-proxy");
    for (const char *arguments :
         {"--target 192.0.2.1:119 --delay-ms 10", "--target 10.0.0.1:563 --delay-ms 10",
          "--target example.com:119 --delay-ms 10", "--target '[::1]:119' --delay-ms 10",
          "--target 127.0.0.1:0 --delay-ms 10", "--target 127.0.0.1:119 --delay-ms -5",
          "--target 127.0.0.1:119 --delay-ms 10 --listen 70000", "--target 127.0.0.1:119",
          "--delay-ms 10 --lifetime"}) {
        const ToolResult r = tool.Run(arguments);
        EXPECT_EQ(r.status, 2) << arguments;
        EXPECT_EQ(r.out, "") << arguments;
        EXPECT_NE(r.err.find("usage: latency-proxy"), std::string::npos) << arguments;
    }
    const ToolResult r = tool.Run("--target 192.0.2.1:119 --delay-ms 10");
    EXPECT_NE(r.err.find("refusing target '192.0.2.1:119'"), std::string::npos) << r.err;
}

TEST(LatencyProxyTest, EndsAfterItsLifetimeOrWhenNothingMoves) {
    ToolRun tool("latency-proxy");
    ToolResult r = tool.Run("--target 127.0.0.1:9 --delay-ms 1 --lifetime 1");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_GT(std::atoi(r.out.c_str()), 0) << r.out;
    EXPECT_NE(r.err.find("lifetime of 1 s is over"), std::string::npos) << r.err;

    r = tool.Run("--target localhost:9 --delay-ms 1 --idle 1 --lifetime 600");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("nothing moved for 1 s"), std::string::npos) << r.err;
}

} // namespace
