// latency-proxy: a TCP relay on 127.0.0.1 that holds every chunk it reads for a fixed time
// before passing it on, each way, so that tests and benchmarks meet a long network path on
// loopback (these machines have no traffic control in the kernel). It reads whatever arrives
// at once and only shifts it in time, so it does not limit bandwidth. Single-threaded around
// poll(2); it ends by itself after its lifetime (and, if asked, after a quiet spell), so a
// forgotten one cannot linger.
#include "platform/Exception.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using Millis = std::chrono::milliseconds;

class ProxyError : public vexil::Exception {
public:
    using Exception::Exception;
};

// A command line that cannot be run; the exit status is then 2.
class UsageError : public vexil::Exception {
public:
    using Exception::Exception;
};

std::string SystemText(const std::string &what) {
    return what + ": " + std::strerror(errno);
}

struct Options {
    sockaddr_in target{};
    int listenPort = 0;
    Millis delay{0};
    std::chrono::seconds lifetime{600};
    std::chrono::seconds idle{0};
};

// Owns one socket descriptor.
class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    Fd(Fd &&other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    Fd &operator=(Fd &&other) noexcept {
        std::swap(fd_, other.fd_);
        return *this;
    }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    ~Fd() { Close(); }
    int Get() const { return fd_; }
    void Close() {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }
    // Closes with a reset, so that the peer learns the path broke rather than ended.
    void Reset() {
        if (fd_ < 0)
            return;
        const linger hard{1, 0};
        ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        Close();
    }

private:
    int fd_;
};

void MakeNonBlocking(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0)
        throw ProxyError(SystemText("fcntl"));
    // Small chunks must leave when due, not when Nagle lets them.
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

// One way of a relayed connection: what is read from one socket waits until it is due and is
// then written to the other; the end of the stream is passed on as a half-close, in turn.
class Direction {
public:
    // Reading pauses while chunks hold this much memory, so a stalled reader cannot exhaust it.
    static constexpr std::size_t kMaxHeld = 64u << 20;

    bool WantsRead() const { return !readEnded_ && held_ < kMaxHeld; }
    bool HasDue(Clock::time_point now) const {
        return !queue_.empty() && queue_.front().due <= now;
    }
    std::optional<Clock::time_point> NextDue() const {
        if (queue_.empty())
            return std::nullopt;
        return queue_.front().due;
    }
    bool Finished() const { return writeEnded_; }

    // Reads what the socket holds, up to a burst so that the other way is not starved; false
    // when the connection broke.
    bool Read(int from, Clock::time_point due) {
        for (int burst = 0; burst < 4 && WantsRead(); ++burst) {
            std::unique_ptr<char[]> buffer = TakeBuffer();
            const ssize_t n = ::recv(from, buffer.get(), kBufferSize, 0);
            if (n > 0) {
                Keep(due, std::move(buffer), static_cast<std::size_t>(n));
            } else if (n == 0) {
                queue_.push_back({due, nullptr, 0, 0, 0, true});
                readEnded_ = true;
            } else if (errno == EINTR) {
                continue;
            } else {
                spare_.push_back(std::move(buffer));
                return errno == EAGAIN || errno == EWOULDBLOCK;
            }
        }
        return true;
    }

    // Writes every chunk that is due, as far as the socket takes it; false when it broke.
    bool Write(int to, Clock::time_point now) {
        while (HasDue(now)) {
            Chunk &chunk = queue_.front();
            if (chunk.end) {
                ::shutdown(to, SHUT_WR);
                writeEnded_ = true;
                queue_.pop_front();
                continue;
            }
            const ssize_t n =
                ::send(to, chunk.data.get() + chunk.sent, chunk.size - chunk.sent, MSG_NOSIGNAL);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                return errno == EAGAIN || errno == EWOULDBLOCK;
            }
            chunk.sent += static_cast<std::size_t>(n);
            if (chunk.sent == chunk.size) {
                held_ -= chunk.capacity;
                if (chunk.capacity == kBufferSize && spare_.size() < kSpares)
                    spare_.push_back(std::move(chunk.data));
                queue_.pop_front();
            }
        }
        return true;
    }

private:
    static constexpr std::size_t kBufferSize = 256 * 1024;
    // A read smaller than this is copied out, so that small chunks do not each hold a buffer.
    static constexpr std::size_t kSmallRead = 32 * 1024;
    // Read buffers are reused: fresh ones would cost page faults on every chunk.
    static constexpr std::size_t kSpares = 8;

    struct Chunk {
        Clock::time_point due;
        std::unique_ptr<char[]> data;
        std::size_t size;
        std::size_t capacity;
        std::size_t sent;
        bool end;
    };

    std::unique_ptr<char[]> TakeBuffer() {
        if (spare_.empty())
            return std::make_unique_for_overwrite<char[]>(kBufferSize);
        std::unique_ptr<char[]> buffer = std::move(spare_.back());
        spare_.pop_back();
        return buffer;
    }

    void Keep(Clock::time_point due, std::unique_ptr<char[]> buffer, std::size_t size) {
        std::size_t capacity = kBufferSize;
        if (size < kSmallRead) {
            auto copy = std::make_unique_for_overwrite<char[]>(size);
            std::memcpy(copy.get(), buffer.get(), size);
            spare_.push_back(std::move(buffer));
            buffer = std::move(copy);
            capacity = size;
        }
        queue_.push_back({due, std::move(buffer), size, capacity, 0, false});
        held_ += capacity;
    }

    std::deque<Chunk> queue_;
    std::vector<std::unique_ptr<char[]>> spare_;
    std::size_t held_ = 0;
    bool readEnded_ = false;
    bool writeEnded_ = false;
};

// A client connection and the proxy's own connection to the target.
class Relay {
public:
    Relay(Fd client, const sockaddr_in &target) : client_(std::move(client)) {
        server_ = Fd(::socket(AF_INET, SOCK_STREAM, 0));
        if (server_.Get() < 0)
            throw ProxyError(SystemText("socket"));
        MakeNonBlocking(server_.Get());
        if (::connect(server_.Get(), reinterpret_cast<const sockaddr *>(&target), sizeof target) ==
            0)
            connecting_ = false;
        else if (errno != EINPROGRESS)
            Break();
    }

    bool Done() const { return broken_ || (up_.Finished() && down_.Finished()); }

    // The poll entries for the client and the server socket; a socket with nothing to wait
    // for is left out, so that a hang-up it already reported does not wake the loop again.
    void Watch(std::vector<pollfd> &fds, Clock::time_point now) const {
        short client = 0, server = 0;
        if (up_.WantsRead())
            client |= POLLIN;
        if (down_.HasDue(now))
            client |= POLLOUT;
        if (connecting_) {
            server = POLLOUT;
        } else {
            if (down_.WantsRead())
                server |= POLLIN;
            if (up_.HasDue(now))
                server |= POLLOUT;
        }
        fds.push_back({client ? client_.Get() : -1, client, 0});
        fds.push_back({server ? server_.Get() : -1, server, 0});
    }

    std::optional<Clock::time_point> NextDue() const {
        const auto up = connecting_ ? std::nullopt : up_.NextDue();
        const auto down = down_.NextDue();
        if (up && down)
            return std::min(*up, *down);
        return up ? up : down;
    }

    // Reads what poll found and writes what is due.
    void Serve(const pollfd &client, const pollfd &server, Clock::time_point now, Millis delay) {
        constexpr short kReady = POLLIN | POLLHUP | POLLERR;
        if (connecting_ && server.revents) {
            int error = 0;
            socklen_t length = sizeof error;
            ::getsockopt(server_.Get(), SOL_SOCKET, SO_ERROR, &error, &length);
            connecting_ = false;
            broken_ = error != 0;
        }
        if (!broken_ && (client.revents & kReady))
            broken_ = !up_.Read(client_.Get(), now + delay);
        if (!broken_ && !connecting_ && (server.revents & kReady))
            broken_ = !down_.Read(server_.Get(), now + delay);
        if (!broken_ && !connecting_)
            broken_ = !up_.Write(server_.Get(), now);
        if (!broken_)
            broken_ = !down_.Write(client_.Get(), now);
        if (broken_)
            Break();
    }

private:
    void Break() {
        broken_ = true;
        client_.Reset();
        server_.Reset();
    }

    Fd client_;
    Fd server_;
    Direction up_;   // client to server
    Direction down_; // server to client
    bool connecting_ = true;
    bool broken_ = false;
};

class LatencyProxy {
public:
    static constexpr std::size_t kMaxRelays = 256;

    explicit LatencyProxy(const Options &options) : options_(options) {
        listener_ = Fd(::socket(AF_INET, SOCK_STREAM, 0));
        if (listener_.Get() < 0)
            throw ProxyError(SystemText("socket"));
        const int on = 1;
        ::setsockopt(listener_.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(options.listenPort));
        if (::bind(listener_.Get(), reinterpret_cast<sockaddr *>(&address), sizeof address) < 0)
            throw ProxyError(
                SystemText("cannot listen on 127.0.0.1:" + std::to_string(options.listenPort)));
        if (::listen(listener_.Get(), 128) < 0)
            throw ProxyError(SystemText("listen"));
        MakeNonBlocking(listener_.Get());
        socklen_t length = sizeof address;
        ::getsockname(listener_.Get(), reinterpret_cast<sockaddr *>(&address), &length);
        port_ = ntohs(address.sin_port);
    }

    int Port() const { return port_; }

    // Relays until the lifetime is over or, with an idle limit, nothing moved for that long.
    // Returns why it stopped.
    std::string Run() {
        const auto start = Clock::now();
        const auto end = start + options_.lifetime;
        lastActivity_ = start;
        std::vector<pollfd> fds;
        for (;;) {
            auto now = Clock::now();
            if (now >= end)
                return "its lifetime of " + std::to_string(options_.lifetime.count()) +
                       " s is over";
            if (options_.idle.count() > 0 && now - lastActivity_ >= options_.idle)
                return "nothing moved for " + std::to_string(options_.idle.count()) + " s";
            fds.clear();
            fds.push_back({relays_.size() < kMaxRelays ? listener_.Get() : -1, POLLIN, 0});
            for (const Relay &relay : relays_)
                relay.Watch(fds, now);
            const timespec timeout = Timeout(now, end);
            if (::ppoll(fds.data(), fds.size(), &timeout, nullptr) < 0) {
                if (errno == EINTR)
                    continue;
                throw ProxyError(SystemText("poll"));
            }
            now = Clock::now();
            if (fds[0].revents & POLLIN)
                Accept();
            ServeRelays(fds, now);
        }
    }

private:
    // To the nanosecond: poll's whole milliseconds would add up to one to every delay.
    timespec Timeout(Clock::time_point now, Clock::time_point end) const {
        auto wake = end;
        if (options_.idle.count() > 0)
            wake = std::min(wake, lastActivity_ + options_.idle);
        // A chunk already due waits for POLLOUT instead: counting it would spin.
        for (const Relay &relay : relays_)
            if (const auto due = relay.NextDue(); due && *due > now)
                wake = std::min(wake, *due);
        const auto wait =
            std::chrono::duration_cast<std::chrono::nanoseconds>(std::clamp<Clock::duration>(
                wake - now, Clock::duration::zero(), std::chrono::minutes(1)));
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(wait);
        return {static_cast<time_t>(seconds.count()), static_cast<long>((wait - seconds).count())};
    }

    void Accept() {
        while (relays_.size() < kMaxRelays) {
            Fd client(::accept(listener_.Get(), nullptr, nullptr));
            if (client.Get() < 0) {
                if (errno == EINTR || errno == ECONNABORTED)
                    continue;
                if (errno == EAGAIN || errno == EWOULDBLOCK)
                    return;
                throw ProxyError(SystemText("accept"));
            }
            MakeNonBlocking(client.Get());
            relays_.emplace_back(std::move(client), options_.target);
            lastActivity_ = Clock::now();
        }
    }

    void ServeRelays(const std::vector<pollfd> &fds, Clock::time_point now) {
        // Relays accepted just now have no poll entries yet: they are served next time.
        std::size_t i = 1;
        for (auto it = relays_.begin(); it != relays_.end() && i + 1 < fds.size(); i += 2) {
            const bool moved = fds[i].revents || fds[i + 1].revents;
            it->Serve(fds[i], fds[i + 1], now, options_.delay);
            // Bytes still on their way count as activity too.
            if (moved || it->NextDue())
                lastActivity_ = now;
            it = it->Done() ? relays_.erase(it) : std::next(it);
        }
    }

    Options options_;
    Fd listener_;
    int port_ = 0;
    std::list<Relay> relays_;
    Clock::time_point lastActivity_;
};

long ParseNumber(const std::string &option, const std::string &text, long low, long high) {
    long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < low || value > high)
        throw UsageError(option + " wants a number from " + std::to_string(low) + " to " +
                         std::to_string(high) + ", not '" + text + "'");
    return value;
}

// HOST:PORT where HOST is 127.x.x.x or localhost: the proxy relays only on this machine.
sockaddr_in ParseTarget(const std::string &text) {
    const std::size_t colon = text.rfind(':');
    if (colon == std::string::npos)
        throw UsageError("--target wants HOST:PORT, not '" + text + "'");
    std::string host = text.substr(0, colon);
    if (host == "localhost")
        host = "127.0.0.1";
    sockaddr_in target{};
    target.sin_family = AF_INET;
    if (::inet_pton(AF_INET, host.c_str(), &target.sin_addr) != 1 ||
        (ntohl(target.sin_addr.s_addr) >> 24) != 127)
        throw UsageError("refusing target '" + text +
                         "': only loopback addresses (127.x.x.x or localhost) are relayed");
    target.sin_port =
        htons(static_cast<uint16_t>(ParseNumber("--target", text.substr(colon + 1), 1, 65535)));
    return target;
}

constexpr const char *kUsage =
    "usage: latency-proxy --target HOST:PORT --delay-ms D [--listen PORT] [--lifetime S]\n"
    "                     [--idle S]\n"
    "Listens on 127.0.0.1:PORT (default 0: a free port, printed on standard output) and\n"
    "relays each connection to HOST:PORT (127.x.x.x or localhost only), holding every chunk\n"
    "D milliseconds (0 to 60000) in each direction, so a round trip takes 2*D longer;\n"
    "bandwidth is not limited. Ends after S seconds (--lifetime, default 600, at most 86400)\n"
    "or after S seconds in which nothing moved (--idle, default 0: no such limit).\n";

Options ParseOptions(int argc, char **argv) {
    Options options;
    bool haveTarget = false, haveDelay = false;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (i + 1 >= argc)
            throw UsageError("missing value after " + option);
        const std::string value = argv[++i];
        if (option == "--target") {
            options.target = ParseTarget(value);
            haveTarget = true;
        } else if (option == "--delay-ms") {
            options.delay = Millis(ParseNumber(option, value, 0, 60'000));
            haveDelay = true;
        } else if (option == "--listen") {
            options.listenPort = static_cast<int>(ParseNumber(option, value, 0, 65535));
        } else if (option == "--lifetime") {
            options.lifetime = std::chrono::seconds(ParseNumber(option, value, 1, 86'400));
        } else if (option == "--idle") {
            options.idle = std::chrono::seconds(ParseNumber(option, value, 0, 86'400));
        } else {
            throw UsageError("unknown option " + option);
        }
    }
    if (!haveTarget || !haveDelay)
        throw UsageError("--target and --delay-ms are required");
    return options;
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 2 && std::string(argv[1]) == "--help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    try {
        const Options options = ParseOptions(argc, argv);
        LatencyProxy proxy(options);
        std::printf("%d\n", proxy.Port());
        std::fflush(stdout);
        const std::string reason = proxy.Run();
        std::fprintf(stderr, "latency-proxy: stopping: %s\n", reason.c_str());
        return 0;
    } catch (const UsageError &e) {
        std::fprintf(stderr, "latency-proxy: %s\n", e.what());
        std::fputs(kUsage, stderr);
        return 2;
    } catch (const vexil::Exception &e) {
        std::fprintf(stderr, "latency-proxy: %s\n", e.what());
        return 1;
    }
}
