#pragma once
// The library's implementation behind its exported Winsock names. Kept apart so that the file
// defining the exports never sees the POSIX declarations of the same names.

#include "net/winsock/Winsock.h"

namespace vexil::wsock::impl {

int CloseSocket(SOCKET s);
int Connect(SOCKET s, const sockaddr *name, int namelen);
u_short Htons(u_short hostshort);
u_long InetAddr(const char *cp);
int Recv(SOCKET s, char *buf, int len, int flags);
int Send(SOCKET s, const char *buf, int len, int flags);
SOCKET Socket(int af, int type, int protocol);
int GetHostName(char *name, int namelen);
int Startup(WORD wVersionRequired, WSADATA *lpWSAData);
int Cleanup();
int GetLastError();
int IsBlocking();
int CancelBlockingCall();
HANDLE AsyncGetServByName(HWND hWnd, unsigned wMsg, const char *name, const char *proto, char *buf,
                          int buflen);
HANDLE AsyncGetHostByName(HWND hWnd, unsigned wMsg, const char *name, char *buf, int buflen);
int CancelAsyncRequest(HANDLE hAsyncTaskHandle);
int AsyncSelect(SOCKET s, HWND hWnd, unsigned wMsg, long lEvent);

// False, with WSANOTINITIALISED as the last error, while no start-up is in force.
bool RequireStartup();
// The calling thread's last error, as WSAGetLastError reports it.
void SetLastError(int code);
// The Winsock code for a POSIX errno value.
int ErrorFromErrno(int err);
// The Winsock code for a getaddrinfo result.
int ErrorFromGai(int gai, int err);

} // namespace vexil::wsock::impl
