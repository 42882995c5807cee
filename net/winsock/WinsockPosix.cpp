// Sockets, errors and start-up of the library, over POSIX.
#include "net/winsock/WinsockImpl.h"

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vexil::wsock::impl {

namespace {

thread_local int t_lastError = 0;
std::atomic<int> g_startups{0};

int Fd(SOCKET s) {
    return s > static_cast<SOCKET>(INT32_MAX) ? -1 : static_cast<int>(s);
}

int FailWithErrno() {
    SetLastError(ErrorFromErrno(errno));
    return SOCKET_ERROR;
}

int PosixFlags(int flags) {
    int out = MSG_NOSIGNAL;
    if (flags & WS_MSG_OOB)
        out |= MSG_OOB;
    if (flags & WS_MSG_PEEK)
        out |= MSG_PEEK;
    return out;
}

void CopyText(char *to, std::size_t size, const char *text) {
    std::strncpy(to, text, size - 1);
    to[size - 1] = '\0';
}

} // namespace

bool RequireStartup() {
    if (g_startups.load() > 0)
        return true;
    SetLastError(WSANOTINITIALISED);
    return false;
}

void SetLastError(int code) {
    t_lastError = code;
}

int GetLastError() {
    return t_lastError;
}

int ErrorFromErrno(int err) {
    switch (err) {
    case EINTR:
        return WSAEINTR;
    case EBADF:
        return WSAEBADF;
    case EACCES:
        return WSAEACCES;
    case EFAULT:
        return WSAEFAULT;
    case EINVAL:
        return WSAEINVAL;
    case EMFILE:
    case ENFILE:
        return WSAEMFILE;
    case EAGAIN:
        return WSAEWOULDBLOCK;
    // A non-blocking connect under way is "would block" in Winsock.
    case EINPROGRESS:
        return WSAEWOULDBLOCK;
    case EALREADY:
        return WSAEALREADY;
    case ENOTSOCK:
        return WSAENOTSOCK;
    case EDESTADDRREQ:
        return 10039;
    case EMSGSIZE:
        return WSAEMSGSIZE;
    case EPROTOTYPE:
        return 10041;
    case ENOPROTOOPT:
        return 10042;
    case EPROTONOSUPPORT:
        return 10043;
    case ESOCKTNOSUPPORT:
        return 10044;
    case EOPNOTSUPP:
        return 10045;
    case EPFNOSUPPORT:
        return 10046;
    case EAFNOSUPPORT:
        return WSAEAFNOSUPPORT;
    case EADDRINUSE:
        return 10048;
    case EADDRNOTAVAIL:
        return 10049;
    case ENETDOWN:
        return 10050;
    case ENETUNREACH:
        return 10051;
    case ENETRESET:
        return 10052;
    case ECONNABORTED:
        return 10053;
    // The peer went away: sending into a closed connection is a reset to the caller.
    case EPIPE:
    case ECONNRESET:
        return WSAECONNRESET;
    case ENOBUFS:
    case ENOMEM:
        return WSAENOBUFS;
    case EISCONN:
        return 10056;
    case ENOTCONN:
        return WSAENOTCONN;
    case ESHUTDOWN:
        return 10058;
    case ETOOMANYREFS:
        return 10059;
    case ETIMEDOUT:
        return WSAETIMEDOUT;
    case ECONNREFUSED:
        return WSAECONNREFUSED;
    case ELOOP:
        return 10062;
    case ENAMETOOLONG:
        return 10063;
    case EHOSTDOWN:
        return 10064;
    case EHOSTUNREACH:
        return 10065;
    case ENOTEMPTY:
        return 10066;
    case EUSERS:
        return 10068;
    case EDQUOT:
        return 10069;
    case ESTALE:
        return 10070;
    case EREMOTE:
        return 10071;
    default:
        return WSAEINVAL;
    }
}

int ErrorFromGai(int gai, int err) {
    switch (gai) {
    case 0:
        return 0;
    case EAI_NONAME:
        return WSAHOST_NOT_FOUND;
    case EAI_AGAIN:
        return WSATRY_AGAIN;
#ifdef EAI_NODATA
    case EAI_NODATA:
        return WSANO_DATA;
#endif
#ifdef EAI_ADDRFAMILY
    case EAI_ADDRFAMILY:
        return WSANO_DATA;
#endif
    case EAI_MEMORY:
        return WSAENOBUFS;
    case EAI_SYSTEM:
        return ErrorFromErrno(err);
    default:
        return WSANO_RECOVERY;
    }
}

int CloseSocket(SOCKET s) {
    if (!RequireStartup())
        return SOCKET_ERROR;
    const int fd = Fd(s);
    if (fd < 0 || ::close(fd) != 0) {
        SetLastError(WSAENOTSOCK);
        return SOCKET_ERROR;
    }
    return 0;
}

int Connect(SOCKET s, const sockaddr *name, int namelen) {
    if (!RequireStartup())
        return SOCKET_ERROR;
    if (name == nullptr || namelen < static_cast<int>(sizeof(wsock::sockaddr_in))) {
        SetLastError(WSAEFAULT);
        return SOCKET_ERROR;
    }
    wsock::sockaddr_in in{};
    std::memcpy(&in, name, sizeof in);
    if (in.sin_family != WS_AF_INET) {
        SetLastError(WSAEAFNOSUPPORT);
        return SOCKET_ERROR;
    }
    ::sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = in.sin_port;
    addr.sin_addr.s_addr = in.sin_addr.S_addr;
    if (::connect(Fd(s), reinterpret_cast<const ::sockaddr *>(&addr), sizeof addr) != 0)
        return FailWithErrno();
    return 0;
}

u_short Htons(u_short hostshort) {
    return ::htons(hostshort);
}

u_long InetAddr(const char *cp) {
    if (cp == nullptr)
        return WS_INADDR_NONE;
    ::in_addr addr{};
    if (::inet_aton(cp, &addr) == 0)
        return WS_INADDR_NONE;
    return addr.s_addr;
}

int Recv(SOCKET s, char *buf, int len, int flags) {
    if (!RequireStartup())
        return SOCKET_ERROR;
    if (buf == nullptr || len < 0) {
        SetLastError(WSAEFAULT);
        return SOCKET_ERROR;
    }
    const ssize_t n = ::recv(Fd(s), buf, static_cast<std::size_t>(len), PosixFlags(flags));
    if (n < 0)
        return FailWithErrno();
    // A server that writes a reply in pieces under Nagle's rule waits for our ACK before the
    // next piece; a delayed ACK would cost 40 ms per reply. The flag lapses, so renew it.
    const int one = 1;
    if (n > 0 && !(flags & WS_MSG_PEEK))
        ::setsockopt(Fd(s), IPPROTO_TCP, TCP_QUICKACK, &one, sizeof one);
    return static_cast<int>(n);
}

int Send(SOCKET s, const char *buf, int len, int flags) {
    if (!RequireStartup())
        return SOCKET_ERROR;
    if (buf == nullptr || len < 0) {
        SetLastError(WSAEFAULT);
        return SOCKET_ERROR;
    }
    const ssize_t n = ::send(Fd(s), buf, static_cast<std::size_t>(len), PosixFlags(flags));
    return n < 0 ? FailWithErrno() : static_cast<int>(n);
}

SOCKET Socket(int af, int type, int protocol) {
    if (!RequireStartup())
        return INVALID_SOCKET;
    if (af != WS_AF_INET) {
        SetLastError(WSAEAFNOSUPPORT);
        return INVALID_SOCKET;
    }
    if (type != WS_SOCK_STREAM) {
        SetLastError(10044);
        return INVALID_SOCKET;
    }
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, protocol);
    if (fd < 0) {
        FailWithErrno();
        return INVALID_SOCKET;
    }
    return static_cast<SOCKET>(fd);
}

int GetHostName(char *name, int namelen) {
    if (!RequireStartup())
        return SOCKET_ERROR;
    if (name == nullptr || namelen <= 0) {
        SetLastError(WSAEFAULT);
        return SOCKET_ERROR;
    }
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) != 0)
        return FailWithErrno();
    if (std::strlen(host) >= static_cast<std::size_t>(namelen)) {
        SetLastError(WSAEFAULT);
        return SOCKET_ERROR;
    }
    std::memcpy(name, host, std::strlen(host) + 1);
    return 0;
}

int Startup(WORD wVersionRequired, WSADATA *lpWSAData) {
    const int major = wVersionRequired & 0xFF;
    const int minor = wVersionRequired >> 8;
    if (major < 1 || (major == 1 && minor < 1))
        return WSAVERNOTSUPPORTED;
    if (lpWSAData == nullptr)
        return WSAEFAULT;
    *lpWSAData = WSADATA{};
    lpWSAData->wVersion = 0x0101;
    lpWSAData->wHighVersion = 0x0101;
    CopyText(lpWSAData->szDescription, sizeof lpWSAData->szDescription,
             "Vexil Winsock 1.1 over POSIX sockets");
    CopyText(lpWSAData->szSystemStatus, sizeof lpWSAData->szSystemStatus, "Running");
    lpWSAData->iMaxSockets = 1024;
    lpWSAData->iMaxUdpDg = 0;
    g_startups.fetch_add(1);
    return 0;
}

int Cleanup() {
    int n = g_startups.load();
    while (n > 0 && !g_startups.compare_exchange_weak(n, n - 1)) {
    }
    if (n <= 0) {
        SetLastError(WSANOTINITIALISED);
        return SOCKET_ERROR;
    }
    return 0;
}

int IsBlocking() {
    return 0;
}

int CancelBlockingCall() {
    // No call of this library blocks, so there is never one to cancel.
    SetLastError(WSAEINVAL);
    return SOCKET_ERROR;
}

int AsyncSelect(SOCKET s, HWND hWnd, unsigned wMsg, long lEvent) {
    if (!RequireStartup())
        return SOCKET_ERROR;
    const int fd = Fd(s);
    const int flags = fd < 0 ? -1 : ::fcntl(fd, F_GETFL);
    if (flags < 0) {
        SetLastError(WSAENOTSOCK);
        return SOCKET_ERROR;
    }
    // As in Winsock, selecting notifications makes the socket non-blocking for good.
    if (::fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0)
        return FailWithErrno();
    return 0;
}

} // namespace vexil::wsock::impl
