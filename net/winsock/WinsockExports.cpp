// The library's exported functions under their Winsock names. Nothing here may include a
// POSIX socket header: its declarations of recv, send, connect ... would clash with these.
#include "net/winsock/WinsockImpl.h"

#include <type_traits>

using namespace vexil::wsock;

#define VXW_EXPORT extern "C" __attribute__((visibility("default")))

VXW_EXPORT int closesocket(SOCKET s) {
    return impl::CloseSocket(s);
}
VXW_EXPORT int connect(SOCKET s, const sockaddr *name, int namelen) {
    return impl::Connect(s, name, namelen);
}
VXW_EXPORT u_short htons(u_short hostshort) {
    return impl::Htons(hostshort);
}
VXW_EXPORT u_long inet_addr(const char *cp) {
    return impl::InetAddr(cp);
}
VXW_EXPORT int recv(SOCKET s, char *buf, int len, int flags) {
    return impl::Recv(s, buf, len, flags);
}
VXW_EXPORT int send(SOCKET s, const char *buf, int len, int flags) {
    return impl::Send(s, buf, len, flags);
}
VXW_EXPORT SOCKET socket(int af, int type, int protocol) {
    return impl::Socket(af, type, protocol);
}
VXW_EXPORT int gethostname(char *name, int namelen) {
    return impl::GetHostName(name, namelen);
}
VXW_EXPORT int WSAStartup(WORD wVersionRequired, WSADATA *lpWSAData) {
    return impl::Startup(wVersionRequired, lpWSAData);
}
VXW_EXPORT int WSACleanup() {
    return impl::Cleanup();
}
VXW_EXPORT int WSAGetLastError() {
    return impl::GetLastError();
}
VXW_EXPORT int WSAIsBlocking() {
    return impl::IsBlocking();
}
VXW_EXPORT int WSACancelBlockingCall() {
    return impl::CancelBlockingCall();
}
VXW_EXPORT HANDLE WSAAsyncGetServByName(HWND hWnd, unsigned wMsg, const char *name,
                                        const char *proto, char *buf, int buflen) {
    return impl::AsyncGetServByName(hWnd, wMsg, name, proto, buf, buflen);
}
VXW_EXPORT HANDLE WSAAsyncGetHostByName(HWND hWnd, unsigned wMsg, const char *name, char *buf,
                                        int buflen) {
    return impl::AsyncGetHostByName(hWnd, wMsg, name, buf, buflen);
}
VXW_EXPORT int WSACancelAsyncRequest(HANDLE hAsyncTaskHandle) {
    return impl::CancelAsyncRequest(hAsyncTaskHandle);
}
VXW_EXPORT int WSAAsyncSelect(SOCKET s, HWND hWnd, unsigned wMsg, long lEvent) {
    return impl::AsyncSelect(s, hWnd, wMsg, lEvent);
}

// The program calls these through the pointer types of Winsock.h.
static_assert(std::is_same_v<decltype(&closesocket), closesocket_t>);
static_assert(std::is_same_v<decltype(&connect), connect_t>);
static_assert(std::is_same_v<decltype(&htons), htons_t>);
static_assert(std::is_same_v<decltype(&inet_addr), inet_addr_t>);
static_assert(std::is_same_v<decltype(&recv), recv_t>);
static_assert(std::is_same_v<decltype(&send), send_t>);
static_assert(std::is_same_v<decltype(&socket), socket_t>);
static_assert(std::is_same_v<decltype(&gethostname), gethostname_t>);
static_assert(std::is_same_v<decltype(&WSAStartup), WSAStartup_t>);
static_assert(std::is_same_v<decltype(&WSACleanup), WSACleanup_t>);
static_assert(std::is_same_v<decltype(&WSAGetLastError), WSAGetLastError_t>);
static_assert(std::is_same_v<decltype(&WSAIsBlocking), WSAIsBlocking_t>);
static_assert(std::is_same_v<decltype(&WSACancelBlockingCall), WSACancelBlockingCall_t>);
static_assert(std::is_same_v<decltype(&WSAAsyncGetServByName), WSAAsyncGetServByName_t>);
static_assert(std::is_same_v<decltype(&WSAAsyncGetHostByName), WSAAsyncGetHostByName_t>);
static_assert(std::is_same_v<decltype(&WSACancelAsyncRequest), WSACancelAsyncRequest_t>);
static_assert(std::is_same_v<decltype(&WSAAsyncSelect), WSAAsyncSelect_t>);
