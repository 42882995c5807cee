#pragma once
// The program's one binding of the socket library (libvxwsock.so), loaded at run time. Every
// wrapper looks its function up by name at each call, so a library that is missing, not
// loaded, or lacks a function fails with its own EWinsockDLLError.

#include "net/winsock/Winsock.h"

#include <string>

namespace vexil {

class TagWinsock {
public:
    // The file name of the library.
    static constexpr const char *LibraryName = "libvxwsock.so";
    // Names a folder to load the library from instead of the executable's own.
    static constexpr const char *DirectoryVariable = "VEXIL_WINSOCK_DIR";

    // The one instance of the program.
    static TagWinsock &Instance();

    TagWinsock(const TagWinsock &) = delete;
    TagWinsock &operator=(const TagWinsock &) = delete;
    ~TagWinsock();

    // Throws EWinsockDLLError "Winsock not found" when the library cannot be loaded.
    void Load();
    void Unload();
    bool Loaded() const { return handle_ != nullptr; }
    // Where Load looks for the library.
    static std::string LibraryPath();

    int closesocket(wsock::SOCKET s);
    int connect(wsock::SOCKET s, const wsock::sockaddr *name, int namelen);
    wsock::u_short htons(wsock::u_short hostshort);
    wsock::u_long inet_addr(const char *cp);
    int recv(wsock::SOCKET s, char *buf, int len, int flags);
    int send(wsock::SOCKET s, const char *buf, int len, int flags);
    wsock::SOCKET socket(int af, int type, int protocol);
    int gethostname(char *name, int namelen);
    int WSAStartup(wsock::WORD wVersionRequired, wsock::WSADATA *lpWSAData);
    int WSACleanup();
    int WSAGetLastError();
    int WSAIsBlocking();
    int WSACancelBlockingCall();
    wsock::HANDLE WSAAsyncGetServByName(wsock::HWND hWnd, unsigned wMsg, const char *name,
                                        const char *proto, char *buf, int buflen);
    wsock::HANDLE WSAAsyncGetHostByName(wsock::HWND hWnd, unsigned wMsg, const char *name,
                                        char *buf, int buflen);
    int WSACancelAsyncRequest(wsock::HANDLE hAsyncTaskHandle);
    int WSAAsyncSelect(wsock::SOCKET s, wsock::HWND hWnd, unsigned wMsg, long lEvent);

private:
    TagWinsock() = default;

    // The function of that name in the loaded library.
    template <typename Function> Function Lookup(const char *name) const;

    void *handle_ = nullptr;
};

} // namespace vexil
