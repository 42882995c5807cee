// The asynchronous host and service lookups. Each runs on a thread of its own; when it ends,
// the result is written into the caller's buffer and a notification into the caller's
// window, both under one lock, so that a cancelled request touches neither.
#include "net/winsock/WinsockImpl.h"

#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace vexil::wsock::impl {

namespace {

constexpr std::size_t kMaxAddresses = 35;

// What a lookup found, before it is laid out in the caller's buffer.
struct Found {
    int error = 0;
    std::string name;
    std::vector<u_long> addresses; // network byte order
    short port = 0;                // network byte order
    std::string proto;
};

struct Request {
    HWND window;
    unsigned message;
    char *buffer;
    int length;
};

std::mutex g_mutex;
std::map<HANDLE, Request> g_pending;
HANDLE g_nextHandle = 1;

// Lays out structures in the caller's buffer, aligned, never past its end.
class BufferWriter {
public:
    BufferWriter(char *buffer, int length)
        : base_(buffer), size_(static_cast<std::size_t>(length)) {}

    template <typename T> T *Take(std::size_t count) {
        const std::uintptr_t at = reinterpret_cast<std::uintptr_t>(base_) + used_;
        used_ += (alignof(T) - at % alignof(T)) % alignof(T);
        const std::size_t bytes = sizeof(T) * count;
        T *p = used_ + bytes <= size_ ? reinterpret_cast<T *>(base_ + used_) : nullptr;
        used_ += bytes;
        return p;
    }
    char *Text(const std::string &text) {
        char *p = Take<char>(text.size() + 1);
        if (p != nullptr)
            std::memcpy(p, text.c_str(), text.size() + 1);
        return p;
    }
    bool Fits() const { return used_ <= size_; }
    std::size_t Used() const { return used_; }

private:
    char *base_;
    std::size_t size_;
    std::size_t used_ = 0;
};

// Returns the bytes used, or 0 when the buffer is too small (needed then says how many).
std::size_t WriteHostEnt(const Found &found, char *buffer, int length, std::size_t &needed) {
    BufferWriter w(buffer, length);
    hostent *h = w.Take<hostent>(1);
    char **aliases = w.Take<char *>(1);
    char **list = w.Take<char *>(found.addresses.size() + 1);
    std::vector<char *> addrs;
    for (u_long a : found.addresses) {
        char *p = w.Take<char>(4);
        if (p != nullptr)
            std::memcpy(p, &a, 4);
        addrs.push_back(p);
    }
    char *name = w.Text(found.name);
    needed = w.Used();
    if (!w.Fits())
        return 0;
    aliases[0] = nullptr;
    for (std::size_t i = 0; i < addrs.size(); ++i)
        list[i] = addrs[i];
    list[addrs.size()] = nullptr;
    *h = hostent{name, aliases, WS_AF_INET, 4, list};
    return needed;
}

std::size_t WriteServEnt(const Found &found, char *buffer, int length, std::size_t &needed) {
    BufferWriter w(buffer, length);
    servent *s = w.Take<servent>(1);
    char **aliases = w.Take<char *>(1);
    char *name = w.Text(found.name);
    char *proto = w.Text(found.proto);
    needed = w.Used();
    if (!w.Fits())
        return 0;
    aliases[0] = nullptr;
    *s = servent{name, aliases, found.port, proto};
    return needed;
}

Found LookUpHost(const std::string &host) {
    Found found;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_CANONNAME;
    addrinfo *list = nullptr;
    const int gai = ::getaddrinfo(host.c_str(), nullptr, &hints, &list);
    found.error = ErrorFromGai(gai, errno);
    if (gai != 0)
        return found;
    found.name = list->ai_canonname != nullptr ? list->ai_canonname : host;
    for (addrinfo *a = list; a != nullptr && found.addresses.size() < kMaxAddresses; a = a->ai_next)
        if (a->ai_family == AF_INET)
            found.addresses.push_back(
                reinterpret_cast<::sockaddr_in *>(a->ai_addr)->sin_addr.s_addr);
    ::freeaddrinfo(list);
    if (found.addresses.empty())
        found.error = WSANO_DATA;
    return found;
}

Found LookUpService(const std::string &name, const std::string &proto) {
    Found found;
    ::servent entry{};
    ::servent *result = nullptr;
    std::vector<char> scratch(4096);
    const int rc = ::getservbyname_r(name.c_str(), proto.c_str(), &entry, scratch.data(),
                                     scratch.size(), &result);
    if (rc != 0 || result == nullptr) {
        found.error = WSANO_DATA;
        return found;
    }
    found.name = result->s_name;
    found.port = static_cast<short>(result->s_port);
    found.proto = result->s_proto;
    return found;
}

using Writer = std::size_t (*)(const Found &, char *, int, std::size_t &);

// Delivers a finished lookup unless it was cancelled meanwhile.
void Finish(HANDLE handle, const Found &found, Writer write) {
    std::lock_guard lock(g_mutex);
    const auto it = g_pending.find(handle);
    if (it == g_pending.end())
        return;
    const Request request = it->second;
    g_pending.erase(it);
    unsigned error = static_cast<unsigned>(found.error);
    std::size_t size = 0;
    if (error == 0 && write(found, request.buffer, request.length, size) == 0)
        error = WSAENOBUFS;
    WinsockMessage message{};
    message.message = request.message;
    message.wParam = handle;
    message.lParam = WSAMAKEASYNCREPLY(static_cast<unsigned>(size), error);
    // A pipe takes a record this small in one piece; a full or closed one drops it.
    [[maybe_unused]] const ssize_t n = ::write(request.window, &message, sizeof message);
}

HANDLE Begin(const Request &request, std::function<void(HANDLE)> work) {
    if (request.buffer == nullptr || request.length <= 0) {
        SetLastError(WSAEFAULT);
        return 0;
    }
    std::lock_guard lock(g_mutex);
    const HANDLE handle = g_nextHandle++;
    g_pending.emplace(handle, request);
    try {
        std::thread([handle, work = std::move(work)] { work(handle); }).detach();
    } catch (const std::exception &) {
        g_pending.erase(handle);
        SetLastError(WSAENOBUFS);
        return 0;
    }
    return handle;
}

} // namespace

HANDLE AsyncGetHostByName(HWND hWnd, unsigned wMsg, const char *name, char *buf, int buflen) {
    if (!RequireStartup())
        return 0;
    if (name == nullptr) {
        SetLastError(WSAEFAULT);
        return 0;
    }
    return Begin(Request{hWnd, wMsg, buf, buflen}, [host = std::string(name)](HANDLE handle) {
        Finish(handle, LookUpHost(host), WriteHostEnt);
    });
}

HANDLE AsyncGetServByName(HWND hWnd, unsigned wMsg, const char *name, const char *proto, char *buf,
                          int buflen) {
    if (!RequireStartup())
        return 0;
    if (name == nullptr) {
        SetLastError(WSAEFAULT);
        return 0;
    }
    return Begin(Request{hWnd, wMsg, buf, buflen},
                 [service = std::string(name),
                  protocol = std::string(proto != nullptr ? proto : "tcp")](HANDLE handle) {
                     Finish(handle, LookUpService(service, protocol), WriteServEnt);
                 });
}

int CancelAsyncRequest(HANDLE hAsyncTaskHandle) {
    std::lock_guard lock(g_mutex);
    if (g_pending.erase(hAsyncTaskHandle) == 1)
        return 0;
    SetLastError(hAsyncTaskHandle != 0 && hAsyncTaskHandle < g_nextHandle ? WSAEALREADY
                                                                          : WSAEINVAL);
    return SOCKET_ERROR;
}

} // namespace vexil::wsock::impl
