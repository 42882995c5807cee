#include "net/TagWinsock.h"

#include "base/MessageTable.h"
#include "net/NetErrors.h"

#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>

namespace vexil {

TagWinsock &TagWinsock::Instance() {
    static TagWinsock instance;
    return instance;
}

TagWinsock::~TagWinsock() {
    Unload();
}

std::string TagWinsock::LibraryPath() {
    if (const char *dir = std::getenv(DirectoryVariable); dir != nullptr && *dir != '\0')
        return (std::filesystem::path(dir) / LibraryName).string();
    std::error_code ec;
    const std::filesystem::path exeFolder =
        std::filesystem::read_symlink("/proc/self/exe", ec).parent_path();
    // A build tree keeps the library beside the executable; an installation keeps it in a
    // private library folder beside bin/.
    const std::filesystem::path installed = exeFolder / ".." / "lib" / "vexil" / LibraryName;
    if (!std::filesystem::exists(exeFolder / LibraryName, ec) &&
        std::filesystem::exists(installed, ec))
        return installed.lexically_normal().string();
    return (exeFolder / LibraryName).string();
}

void TagWinsock::Load() {
    if (Loaded())
        return;
    handle_ = ::dlopen(LibraryPath().c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr)
        throw EWinsockDLLError(MessageText(kMsgWinsockNotFound));
}

void TagWinsock::Unload() {
    if (handle_ != nullptr)
        ::dlclose(handle_);
    handle_ = nullptr;
}

template <typename Function> Function TagWinsock::Lookup(const char *name) const {
    if (!Loaded())
        throw EWinsockDLLError(MessageText(kMsgWinsockNotLoaded));
    void *symbol = ::dlsym(handle_, name);
    if (symbol == nullptr)
        throw EWinsockDLLError(FormatText(MessageText(kMsgFunctionNotFound), {name}));
    return reinterpret_cast<Function>(symbol);
}

int TagWinsock::closesocket(wsock::SOCKET s) {
    return Lookup<wsock::closesocket_t>("closesocket")(s);
}

int TagWinsock::connect(wsock::SOCKET s, const wsock::sockaddr *name, int namelen) {
    return Lookup<wsock::connect_t>("connect")(s, name, namelen);
}

wsock::u_short TagWinsock::htons(wsock::u_short hostshort) {
    return Lookup<wsock::htons_t>("htons")(hostshort);
}

wsock::u_long TagWinsock::inet_addr(const char *cp) {
    return Lookup<wsock::inet_addr_t>("inet_addr")(cp);
}

int TagWinsock::recv(wsock::SOCKET s, char *buf, int len, int flags) {
    return Lookup<wsock::recv_t>("recv")(s, buf, len, flags);
}

int TagWinsock::send(wsock::SOCKET s, const char *buf, int len, int flags) {
    return Lookup<wsock::send_t>("send")(s, buf, len, flags);
}

wsock::SOCKET TagWinsock::socket(int af, int type, int protocol) {
    return Lookup<wsock::socket_t>("socket")(af, type, protocol);
}

int TagWinsock::gethostname(char *name, int namelen) {
    return Lookup<wsock::gethostname_t>("gethostname")(name, namelen);
}

int TagWinsock::WSAStartup(wsock::WORD wVersionRequired, wsock::WSADATA *lpWSAData) {
    return Lookup<wsock::WSAStartup_t>("WSAStartup")(wVersionRequired, lpWSAData);
}

int TagWinsock::WSACleanup() {
    return Lookup<wsock::WSACleanup_t>("WSACleanup")();
}

int TagWinsock::WSAGetLastError() {
    return Lookup<wsock::WSAGetLastError_t>("WSAGetLastError")();
}

int TagWinsock::WSAIsBlocking() {
    return Lookup<wsock::WSAIsBlocking_t>("WSAIsBlocking")();
}

int TagWinsock::WSACancelBlockingCall() {
    return Lookup<wsock::WSACancelBlockingCall_t>("WSACancelBlockingCall")();
}

wsock::HANDLE TagWinsock::WSAAsyncGetServByName(wsock::HWND hWnd, unsigned wMsg, const char *name,
                                                const char *proto, char *buf, int buflen) {
    return Lookup<wsock::WSAAsyncGetServByName_t>("WSAAsyncGetServByName")(hWnd, wMsg, name, proto,
                                                                           buf, buflen);
}

wsock::HANDLE TagWinsock::WSAAsyncGetHostByName(wsock::HWND hWnd, unsigned wMsg, const char *name,
                                                char *buf, int buflen) {
    return Lookup<wsock::WSAAsyncGetHostByName_t>("WSAAsyncGetHostByName")(hWnd, wMsg, name, buf,
                                                                           buflen);
}

int TagWinsock::WSACancelAsyncRequest(wsock::HANDLE hAsyncTaskHandle) {
    return Lookup<wsock::WSACancelAsyncRequest_t>("WSACancelAsyncRequest")(hAsyncTaskHandle);
}

int TagWinsock::WSAAsyncSelect(wsock::SOCKET s, wsock::HWND hWnd, unsigned wMsg, long lEvent) {
    return Lookup<wsock::WSAAsyncSelect_t>("WSAAsyncSelect")(s, hWnd, wMsg, lEvent);
}

} // namespace vexil
