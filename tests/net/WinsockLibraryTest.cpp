// The socket library through its run-time binding: loading, the failures of a missing
// library or function, start-up, error codes and the asynchronous lookups.
#include "net/NetErrors.h"
#include "net/TagWinsock.h"
#include "net/winsock/Winsock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace vexil {
namespace {

using namespace wsock;

TagWinsock &W() {
    return TagWinsock::Instance();
}

// Points the binding at another folder for the length of a test.
class LibraryFolder {
public:
    explicit LibraryFolder(const std::string &folder) {
        if (const char *old = std::getenv(TagWinsock::DirectoryVariable))
            previous_ = old;
        ::setenv(TagWinsock::DirectoryVariable, folder.c_str(), 1);
        W().Unload();
    }
    ~LibraryFolder() {
        W().Unload();
        ::setenv(TagWinsock::DirectoryVariable, previous_.c_str(), 1);
    }

private:
    std::string previous_;
};

class Pipe {
public:
    Pipe() { EXPECT_EQ(::pipe(fds_), 0); }
    ~Pipe() {
        ::close(fds_[0]);
        ::close(fds_[1]);
    }
    HWND Window() const { return fds_[1]; }
    // The next posted message, waiting up to a few seconds.
    bool Next(WinsockMessage &message, int ms = 5000) {
        pollfd p{fds_[0], POLLIN, 0};
        if (::poll(&p, 1, ms) <= 0)
            return false;
        return ::read(fds_[0], &message, sizeof message) == sizeof message;
    }

private:
    int fds_[2];
};

class WinsockLibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        W().Load();
        WSADATA data{};
        ASSERT_EQ(W().WSAStartup(0x0101, &data), 0);
    }
    void TearDown() override {
        if (W().Loaded())
            W().WSACleanup();
    }
};

TEST(TagWinsock, CallsBeforeLoadingFail) {
    W().Unload();
    EXPECT_FALSE(W().Loaded());
    try {
        W().WSAGetLastError();
        FAIL() << "no exception";
    } catch (const EWinsockDLLError &e) {
        EXPECT_EQ(e.Message(), "Winsock is not loaded");
    }
}

TEST(TagWinsock, MissingLibraryIsNotFound) {
    const auto empty = std::filesystem::temp_directory_path() / "vexil-no-winsock";
    std::filesystem::create_directories(empty);
    LibraryFolder folder(empty.string());
    try {
        W().Load();
        FAIL() << "no exception";
    } catch (const EWinsockDLLError &e) {
        EXPECT_EQ(e.Message(), "Winsock not found");
    }
    EXPECT_FALSE(W().Loaded());
}

TEST(TagWinsock, MissingFunctionIsNamed) {
    LibraryFolder folder(VEXIL_PARTIAL_WINSOCK_DIR);
    W().Load();
    EXPECT_EQ(W().htons(0x1234), 0x3412); // present in the partial library
    try {
        W().WSAStartup(0x0101, nullptr);
        FAIL() << "no exception";
    } catch (const EWinsockDLLError &e) {
        EXPECT_EQ(e.Message(), "Function WSAStartup not found");
    }
}

TEST(TagWinsock, LooksForTheLibraryInTheNamedFolder) {
    LibraryFolder folder("/some/folder");
    EXPECT_EQ(TagWinsock::LibraryPath(), "/some/folder/libvxwsock.so");
}

TEST(WinsockLibrary, StartupWantsVersionOnePointOne) {
    W().Load();
    WSADATA data{};
    EXPECT_EQ(W().WSAStartup(0x0001, &data), WSAVERNOTSUPPORTED);
    EXPECT_EQ(W().WSAStartup(0x0202, &data), 0);
    EXPECT_EQ(data.wVersion, 0x0101);
    EXPECT_EQ(W().WSACleanup(), 0);
}

TEST(WinsockLibrary, CallsWithoutStartupReportIt) {
    W().Load();
    while (W().WSACleanup() == 0) {
    }
    EXPECT_EQ(W().socket(WS_AF_INET, WS_SOCK_STREAM, 0), INVALID_SOCKET);
    EXPECT_EQ(W().WSAGetLastError(), WSANOTINITIALISED);
    EXPECT_EQ(W().WSACleanup(), SOCKET_ERROR);
}

TEST_F(WinsockLibraryTest, AddressesAndByteOrder) {
    const unsigned char loopback[4] = {127, 0, 0, 1};
    u_long expected = 0;
    std::memcpy(&expected, loopback, 4);
    EXPECT_EQ(W().inet_addr("127.0.0.1"), expected);
    EXPECT_EQ(W().inet_addr("localhost"), WS_INADDR_NONE);
    EXPECT_EQ(W().inet_addr(""), WS_INADDR_NONE);
    EXPECT_EQ(W().inet_addr(nullptr), WS_INADDR_NONE);
    EXPECT_EQ(W().htons(119), 0x7700);
    char name[512];
    EXPECT_EQ(W().gethostname(name, sizeof name), 0);
    EXPECT_GT(std::strlen(name), 0u);
    char tiny[1];
    EXPECT_EQ(W().gethostname(tiny, sizeof tiny), SOCKET_ERROR);
    EXPECT_EQ(W().WSAGetLastError(), WSAEFAULT);
}

TEST_F(WinsockLibraryTest, SocketErrorsAreWinsockCodes) {
    EXPECT_EQ(W().socket(99, WS_SOCK_STREAM, 0), INVALID_SOCKET);
    EXPECT_EQ(W().WSAGetLastError(), WSAEAFNOSUPPORT);
    const SOCKET s = W().socket(WS_AF_INET, WS_SOCK_STREAM, 0);
    ASSERT_NE(s, INVALID_SOCKET);
    char byte;
    EXPECT_EQ(W().recv(s, &byte, 1, 0), SOCKET_ERROR);
    EXPECT_EQ(W().WSAGetLastError(), WSAENOTCONN);
    EXPECT_EQ(W().WSAAsyncSelect(s, -1, 0, 51), 0);
    EXPECT_EQ(W().closesocket(s), 0);
    EXPECT_EQ(W().closesocket(s), SOCKET_ERROR);
    EXPECT_EQ(W().WSAGetLastError(), WSAENOTSOCK);
    EXPECT_EQ(W().WSAIsBlocking(), 0);
    EXPECT_EQ(W().WSACancelBlockingCall(), SOCKET_ERROR);
}

TEST_F(WinsockLibraryTest, HostLookupPostsItsEnd) {
    Pipe window;
    alignas(std::max_align_t) char buffer[MAXGETHOSTSTRUCT];
    const HANDLE h =
        W().WSAAsyncGetHostByName(window.Window(), 1172, "localhost", buffer, sizeof buffer);
    ASSERT_NE(h, 0u);
    WinsockMessage m{};
    ASSERT_TRUE(window.Next(m));
    EXPECT_EQ(m.message, 1172u);
    EXPECT_EQ(m.wParam, h);
    EXPECT_EQ(WSAGETASYNCERROR(m.lParam), 0);
    const auto *entry = reinterpret_cast<const hostent *>(buffer);
    EXPECT_EQ(entry->h_length, 4);
    ASSERT_NE(entry->h_addr_list[0], nullptr);
    EXPECT_EQ(std::memcmp(entry->h_addr_list[0], "\x7F\x00\x00\x01", 4), 0);
    // Once delivered, a request can no longer be cancelled.
    EXPECT_EQ(W().WSACancelAsyncRequest(h), SOCKET_ERROR);
    EXPECT_EQ(W().WSAGetLastError(), WSAEALREADY);
    EXPECT_EQ(W().WSACancelAsyncRequest(999999), SOCKET_ERROR);
    EXPECT_EQ(W().WSAGetLastError(), WSAEINVAL);
}

TEST_F(WinsockLibraryTest, HostLookupFailuresCarryTheirCode) {
    Pipe window;
    alignas(std::max_align_t) char buffer[MAXGETHOSTSTRUCT];
    ASSERT_NE(W().WSAAsyncGetHostByName(window.Window(), 1, "no-such-host.invalid", buffer,
                                        sizeof buffer),
              0u);
    WinsockMessage m{};
    ASSERT_TRUE(window.Next(m));
    EXPECT_EQ(WSAGETASYNCERROR(m.lParam), WSAHOST_NOT_FOUND);
    // A buffer too small for the result is reported, not overrun.
    char small[8];
    ASSERT_NE(W().WSAAsyncGetHostByName(window.Window(), 1, "localhost", small, sizeof small), 0u);
    ASSERT_TRUE(window.Next(m));
    EXPECT_EQ(WSAGETASYNCERROR(m.lParam), WSAENOBUFS);
}

TEST_F(WinsockLibraryTest, ServiceLookupGivesThePortInNetworkOrder) {
    Pipe window;
    alignas(std::max_align_t) char buffer[MAXGETHOSTSTRUCT];
    ASSERT_NE(
        W().WSAAsyncGetServByName(window.Window(), 1173, "nntp", "tcp", buffer, sizeof buffer), 0u);
    WinsockMessage m{};
    ASSERT_TRUE(window.Next(m));
    EXPECT_EQ(WSAGETASYNCERROR(m.lParam), 0);
    const auto *entry = reinterpret_cast<const servent *>(buffer);
    EXPECT_EQ(W().htons(static_cast<u_short>(entry->s_port)), 119);
    EXPECT_STREQ(entry->s_name, "nntp");
    ASSERT_NE(W().WSAAsyncGetServByName(window.Window(), 1173, "no-such-service", "tcp", buffer,
                                        sizeof buffer),
              0u);
    ASSERT_TRUE(window.Next(m));
    EXPECT_EQ(WSAGETASYNCERROR(m.lParam), WSANO_DATA);
}

TEST_F(WinsockLibraryTest, CancelledLookupPostsNothingAndWritesNothing) {
    Pipe window;
    for (int i = 0; i < 20; ++i) {
        alignas(std::max_align_t) char buffer[MAXGETHOSTSTRUCT];
        std::memset(buffer, 0x5A, sizeof buffer);
        const HANDLE h =
            W().WSAAsyncGetHostByName(window.Window(), 1, "localhost", buffer, sizeof buffer);
        ASSERT_NE(h, 0u);
        WinsockMessage m{};
        if (W().WSACancelAsyncRequest(h) == 0) {
            EXPECT_FALSE(window.Next(m, 100)) << "a cancelled request posted its end";
            EXPECT_EQ(static_cast<unsigned char>(buffer[0]), 0x5A);
        } else {
            EXPECT_EQ(W().WSAGetLastError(), WSAEALREADY);
            EXPECT_TRUE(window.Next(m));
        }
    }
}

} // namespace
} // namespace vexil
