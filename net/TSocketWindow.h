#pragma once
// Stands in for the socket component's hidden window: the socket library posts the end of a
// lookup into it (a pipe), and the waits poll it together with the socket.

#include "net/winsock/Winsock.h"

#include <optional>

namespace vexil {

class TSocketWindow {
public:
    TSocketWindow();
    TSocketWindow(const TSocketWindow &) = delete;
    TSocketWindow &operator=(const TSocketWindow &) = delete;
    ~TSocketWindow();

    // What the library is given as the window to post to.
    wsock::HWND Handle() const { return writeFd_; }

    // Waits at most Milliseconds for a posted message or for Events on Fd (when Fd >= 0).
    // Returns the events seen on Fd; Posted tells whether a message is waiting.
    short Wait(int Fd, short Events, int Milliseconds, bool &Posted);
    // The next posted message, if one is waiting.
    std::optional<wsock::WinsockMessage> NextMessage();

private:
    int readFd_ = -1;
    int writeFd_ = -1;
};

} // namespace vexil
