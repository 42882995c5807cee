#include "ScriptedServer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

namespace vexil::test {

namespace {

thread_local std::vector<std::string> *t_received = nullptr;

int ListenOn(std::uint16_t &port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 || ::listen(fd, 8) != 0)
        throw std::runtime_error("scripted server: cannot listen on 127.0.0.1");
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &len);
    port = ntohs(addr.sin_port);
    return fd;
}

bool Readable(int fd, double seconds) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, static_cast<int>(seconds * 1000)) > 0;
}

} // namespace

struct ServerConnection::TDeflate {
    z_stream in{};
    z_stream out{};
    TDeflate() {
        inflateInit2(&in, -15);
        deflateInit2(&out, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    }
    ~TDeflate() {
        inflateEnd(&in);
        deflateEnd(&out);
    }
};

ServerConnection::ServerConnection(int fd) : fd_(fd) {}

void ServerConnection::StartDeflate() {
    deflate_ = std::make_unique<TDeflate>();
}

bool ServerConnection::Take(const char *Bytes, std::size_t Size) {
    if (!deflate_) {
        pending_.append(Bytes, Size);
        return true;
    }
    wireIn_ += Size;
    z_stream &z = deflate_->in;
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(Bytes));
    z.avail_in = static_cast<uInt>(Size);
    do {
        char out[16384];
        z.next_out = reinterpret_cast<Bytef *>(out);
        z.avail_out = sizeof out;
        const int result = inflate(&z, Z_SYNC_FLUSH);
        if (result != Z_OK && result != Z_BUF_ERROR)
            return false;
        pending_.append(out, sizeof out - z.avail_out);
    } while (z.avail_out == 0);
    return true;
}

ServerConnection::~ServerConnection() {
    if (fd_ >= 0)
        ::close(fd_);
}

std::string ServerConnection::ReadLine(double Seconds) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(Seconds);
    for (;;) {
        const std::size_t lf = pending_.find('\n');
        if (lf != std::string::npos) {
            std::string line = pending_.substr(0, lf);
            pending_.erase(0, lf + 1);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (t_received != nullptr)
                t_received->push_back(line);
            return line;
        }
        const double left =
            std::chrono::duration<double>(until - std::chrono::steady_clock::now()).count();
        if (fd_ < 0 || left <= 0 || !Readable(fd_, left))
            return {};
        char buffer[4096];
        const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
        if (n <= 0 || !Take(buffer, static_cast<std::size_t>(n)))
            return {};
    }
}

bool ServerConnection::Send(std::string_view Bytes) {
    if (!deflate_)
        return SendRaw(Bytes);
    z_stream &z = deflate_->out;
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(Bytes.data()));
    z.avail_in = static_cast<uInt>(Bytes.size());
    std::string compressed;
    do {
        char out[16384];
        z.next_out = reinterpret_cast<Bytef *>(out);
        z.avail_out = sizeof out;
        deflate(&z, Z_SYNC_FLUSH);
        compressed.append(out, sizeof out - z.avail_out);
    } while (z.avail_out == 0);
    wireOut_ += compressed.size();
    return SendRaw(compressed);
}

bool ServerConnection::SendRaw(std::string_view Bytes) {
    while (!Bytes.empty() && fd_ >= 0) {
        const ssize_t n = ::send(fd_, Bytes.data(), Bytes.size(), MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        Bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return fd_ >= 0;
}

bool ServerConnection::Expect(std::string_view Command, std::string_view Reply) {
    const std::string line = ReadLine();
    if (line != Command) {
        failures.push_back("expected \"" + std::string(Command) + "\", got \"" + line + "\"");
        return false;
    }
    if (!Reply.empty())
        SendLine(Reply);
    return true;
}

void ServerConnection::Trickle(std::string_view Bytes, std::chrono::milliseconds Pause) {
    for (char c : Bytes) {
        if (!Send(std::string_view(&c, 1)))
            return;
        std::this_thread::sleep_for(Pause);
    }
}

void ServerConnection::Close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

void ServerConnection::Reset() {
    if (fd_ < 0)
        return;
    const linger abort{1, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    Close();
}

void ServerConnection::WaitForClose(double Seconds) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(Seconds);
    char buffer[65536];
    while (fd_ >= 0 && std::chrono::steady_clock::now() < until) {
        if (!Readable(fd_, 0.05))
            continue;
        if (::recv(fd_, buffer, sizeof buffer, 0) <= 0)
            return;
    }
}

ScriptedServer::ScriptedServer(Script script, int Connections) {
    listenFd_ = ListenOn(port_);
    thread_ =
        std::thread([this, script = std::move(script), Connections] { Run(script, Connections); });
}

ScriptedServer::~ScriptedServer() {
    stopping_ = true;
    if (thread_.joinable())
        thread_.join();
    ::close(listenFd_);
}

void ScriptedServer::Run(Script script, int connections) {
    std::vector<std::string> received;
    t_received = &received;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    for (int i = 0; i < connections && !stopping_;) {
        if (std::chrono::steady_clock::now() > deadline) {
            std::lock_guard lock(mutex_);
            failures_.push_back("the client did not connect");
            break;
        }
        if (!Readable(listenFd_, 0.05))
            continue;
        deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        ++i;
        ServerConnection connection(fd);
        script(connection);
        std::lock_guard lock(mutex_);
        failures_.insert(failures_.end(), connection.failures.begin(), connection.failures.end());
    }
    std::lock_guard lock(mutex_);
    received_ = std::move(received);
    t_received = nullptr;
}

std::vector<std::string> ScriptedServer::Failures() {
    if (thread_.joinable())
        thread_.join();
    std::lock_guard lock(mutex_);
    return failures_;
}

std::vector<std::string> ScriptedServer::Received() {
    if (thread_.joinable())
        thread_.join();
    std::lock_guard lock(mutex_);
    return received_;
}

std::uint16_t UnusedPort() {
    std::uint16_t port = 0;
    const int fd = ListenOn(port);
    ::close(fd);
    return port;
}

} // namespace vexil::test
