#pragma once
// The interface of Vexil's socket library (libvxwsock.so): the subset of Winsock 1.1 that the
// socket component uses, with Winsock's types, error codes and asynchronous lookups, over
// POSIX sockets. The program loads the library at run time and looks every function up by
// its Winsock name (TagWinsock), so this header gives the function types, not prototypes.
//
// Windows posts the library's notifications to a window; here a "window" (HWND) is the write
// end of a pipe, and the library writes one WinsockMessage record into it per notification.
// Socket events are not posted: the socket component polls its sockets itself.

#include <cstdint>

namespace vexil::wsock {

using SOCKET = std::uintptr_t;
using HANDLE = std::uintptr_t;
using HWND = int;
using u_short = std::uint16_t;
using u_long = std::uint32_t;
using WORD = std::uint16_t;

inline constexpr SOCKET INVALID_SOCKET = ~SOCKET{0};
inline constexpr int SOCKET_ERROR = -1;
// These carry a WS_ prefix because POSIX headers define the plain names as macros.
inline constexpr u_long WS_INADDR_NONE = 0xFFFFFFFFu;
inline constexpr int WS_AF_INET = 2;
inline constexpr int WS_SOCK_STREAM = 1;
inline constexpr int WS_MSG_OOB = 1;
inline constexpr int WS_MSG_PEEK = 2;

inline constexpr long FD_READ = 1;
inline constexpr long FD_WRITE = 2;
inline constexpr long FD_CONNECT = 16;
inline constexpr long FD_CLOSE = 32;

inline constexpr int MAXGETHOSTSTRUCT = 1024;

// Error codes.
inline constexpr int WSAEINTR = 10004;
inline constexpr int WSAEBADF = 10009;
inline constexpr int WSAEACCES = 10013;
inline constexpr int WSAEFAULT = 10014;
inline constexpr int WSAEINVAL = 10022;
inline constexpr int WSAEMFILE = 10024;
inline constexpr int WSAEWOULDBLOCK = 10035;
inline constexpr int WSAEINPROGRESS = 10036;
inline constexpr int WSAEALREADY = 10037;
inline constexpr int WSAENOTSOCK = 10038;
inline constexpr int WSAEMSGSIZE = 10040;
inline constexpr int WSAEAFNOSUPPORT = 10047;
inline constexpr int WSAECONNRESET = 10054;
inline constexpr int WSAENOBUFS = 10055;
inline constexpr int WSAENOTCONN = 10057;
inline constexpr int WSAETIMEDOUT = 10060;
inline constexpr int WSAECONNREFUSED = 10061;
inline constexpr int WSAVERNOTSUPPORTED = 10092;
inline constexpr int WSANOTINITIALISED = 10093;
inline constexpr int WSAHOST_NOT_FOUND = 11001;
inline constexpr int WSATRY_AGAIN = 11002;
inline constexpr int WSANO_RECOVERY = 11003;
inline constexpr int WSANO_DATA = 11004;

struct in_addr {
    u_long S_addr; // network byte order
};

struct sockaddr_in {
    short sin_family;
    u_short sin_port; // network byte order
    in_addr sin_addr;
    char sin_zero[8];
};

struct sockaddr {
    u_short sa_family;
    char sa_data[14];
};

struct WSADATA {
    WORD wVersion;
    WORD wHighVersion;
    char szDescription[257];
    char szSystemStatus[129];
    unsigned short iMaxSockets;
    unsigned short iMaxUdpDg;
    char *lpVendorInfo;
};

struct hostent {
    char *h_name;
    char **h_aliases;
    short h_addrtype;
    short h_length;
    char **h_addr_list;
};

struct servent {
    char *s_name;
    char **s_aliases;
    short s_port; // network byte order
    char *s_proto;
};

// One notification, as the library writes it into a window's pipe.
struct WinsockMessage {
    std::uint32_t message;
    std::uint32_t reserved;
    std::uint64_t wParam; // the request's handle for lookups
    std::int64_t lParam;  // WSAMAKEASYNCREPLY(buffer length, error)
};

constexpr long WSAMAKEASYNCREPLY(unsigned buflen, unsigned error) {
    return static_cast<long>(((error & 0xFFFFu) << 16) | (buflen & 0xFFFFu));
}
constexpr std::uint16_t WSAGETASYNCERROR(std::int64_t lParam) {
    return static_cast<std::uint16_t>((lParam >> 16) & 0xFFFF);
}
constexpr std::uint16_t WSAGETSELECTEVENT(std::int64_t lParam) {
    return static_cast<std::uint16_t>(lParam & 0xFFFF);
}

// The exported functions, by the names the program looks them up with.
using closesocket_t = int (*)(SOCKET s);
using connect_t = int (*)(SOCKET s, const sockaddr *name, int namelen);
using htons_t = u_short (*)(u_short hostshort);
using inet_addr_t = u_long (*)(const char *cp);
using recv_t = int (*)(SOCKET s, char *buf, int len, int flags);
using send_t = int (*)(SOCKET s, const char *buf, int len, int flags);
using socket_t = SOCKET (*)(int af, int type, int protocol);
using gethostname_t = int (*)(char *name, int namelen);
using WSAStartup_t = int (*)(WORD wVersionRequired, WSADATA *lpWSAData);
using WSACleanup_t = int (*)();
using WSAGetLastError_t = int (*)();
using WSAIsBlocking_t = int (*)();
using WSACancelBlockingCall_t = int (*)();
using WSAAsyncGetServByName_t = HANDLE (*)(HWND hWnd, unsigned wMsg, const char *name,
                                           const char *proto, char *buf, int buflen);
using WSAAsyncGetHostByName_t = HANDLE (*)(HWND hWnd, unsigned wMsg, const char *name, char *buf,
                                           int buflen);
using WSACancelAsyncRequest_t = int (*)(HANDLE hAsyncTaskHandle);
using WSAAsyncSelect_t = int (*)(SOCKET s, HWND hWnd, unsigned wMsg, long lEvent);

} // namespace vexil::wsock
