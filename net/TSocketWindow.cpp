#include "net/TSocketWindow.h"

#include "platform/Exception.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace vexil {

TSocketWindow::TSocketWindow() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        throw Exception(
            FormatText("Cannot create the socket's notification pipe: %s", {std::strerror(errno)}));
    readFd_ = fds[0];
    writeFd_ = fds[1];
}

TSocketWindow::~TSocketWindow() {
    ::close(readFd_);
    ::close(writeFd_);
}

short TSocketWindow::Wait(int Fd, short Events, int Milliseconds, bool &Posted) {
    pollfd fds[2] = {{readFd_, POLLIN, 0}, {Fd, Events, 0}};
    const nfds_t count = Fd >= 0 && Events != 0 ? 2 : 1;
    Posted = false;
    if (::poll(fds, count, Milliseconds) <= 0)
        return 0;
    Posted = (fds[0].revents & POLLIN) != 0;
    return count == 2 ? fds[1].revents : 0;
}

std::optional<wsock::WinsockMessage> TSocketWindow::NextMessage() {
    wsock::WinsockMessage message{};
    if (::read(readFd_, &message, sizeof message) != static_cast<ssize_t>(sizeof message))
        return std::nullopt;
    return message;
}

} // namespace vexil
