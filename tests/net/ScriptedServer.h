#pragma once
// A news server on 127.0.0.1 that plays a script written in the test: it accepts connections
// on a free port and runs the script for each on a thread of its own, so that the client
// under test runs as it does in the program, on the test's thread.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace vexil::test {

// The server's side of one connection.
class ServerConnection {
public:
    explicit ServerConnection(int fd);
    ServerConnection(const ServerConnection &) = delete;
    ServerConnection &operator=(const ServerConnection &) = delete;
    ~ServerConnection();

    // The next line the client sent, without CR LF; empty at the end or after Seconds.
    std::string ReadLine(double Seconds = 10);
    // Sends bytes as they are (compressed and flushed once StartDeflate was called); false
    // when the client is gone.
    bool Send(std::string_view Bytes);
    // Bytes as they are, past any compression: a stream the client must refuse.
    bool SendRaw(std::string_view Bytes);
    // From the next byte on both directions are raw deflate streams, as after a 206 reply
    // to COMPRESS DEFLATE. A client's bytes that do not inflate end the reading.
    void StartDeflate();
    // Compressed bytes received and sent since StartDeflate.
    std::size_t WireReceived() const { return wireIn_; }
    std::size_t WireSent() const { return wireOut_; }
    bool SendLine(std::string_view Line) { return Send(std::string(Line) + "\r\n"); }
    // Reads the client's next line and checks it; then sends Reply (with CR LF) when given.
    // A mismatch is recorded and makes the server's Failures() non-empty.
    bool Expect(std::string_view Command, std::string_view Reply = {});
    // Sends the bytes one by one with a pause between them.
    void Trickle(std::string_view Bytes, std::chrono::milliseconds Pause);
    // Closes in order (FIN) or aborts the connection (RST).
    void Close();
    void Reset();
    // Waits until the client closes its side (or Seconds pass).
    void WaitForClose(double Seconds = 10);

    std::vector<std::string> failures;

private:
    struct TDeflate;
    // Adds received bytes to pending_, inflated when compressed; false when they are bad.
    bool Take(const char *Bytes, std::size_t Size);

    int fd_;
    std::string pending_;
    std::unique_ptr<TDeflate> deflate_;
    std::size_t wireIn_ = 0;
    std::size_t wireOut_ = 0;
};

class ScriptedServer {
public:
    using Script = std::function<void(ServerConnection &)>;

    // Runs script once for each of the first Connections connections.
    explicit ScriptedServer(Script script, int Connections = 1);
    ScriptedServer(const ScriptedServer &) = delete;
    ScriptedServer &operator=(const ScriptedServer &) = delete;
    ~ScriptedServer();

    std::uint16_t Port() const { return port_; }
    // "127.0.0.1:port", for the client's Server property.
    std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }
    // Waits for the script to finish; then the recorded mismatches.
    std::vector<std::string> Failures();
    // The lines the script read from the client, in order.
    std::vector<std::string> Received();

private:
    void Run(Script script, int connections);

    int listenFd_ = -1;
    std::uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    std::mutex mutex_;
    std::vector<std::string> failures_;
    std::vector<std::string> received_;
    std::thread thread_;
    friend class ServerConnection;
};

// The message of the E that f raises; a test failure when it raises none.
template <typename E, typename F> std::string FailureOf(F &&f) {
    try {
        f();
    } catch (const E &e) {
        return e.Message();
    }
    ADD_FAILURE() << "no exception";
    return {};
}

// A port on 127.0.0.1 where nothing listens (taken from the kernel and given back).
std::uint16_t UnusedPort();

} // namespace vexil::test
