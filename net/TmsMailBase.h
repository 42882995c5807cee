#pragma once
// The common base of line-protocol clients: connecting opens the socket and logs in,
// disconnecting logs out and closes it. What logging in and out means is the protocol's.

#include "net/TagSocket.h"

namespace vexil {

class TmsMailBase : public TagSocket {
public:
    TmsMailBase() = default;

    // When not connected: OpenSocket, then Login. Nothing otherwise.
    void Connect();
    // When connected: Logout, then CloseSocket, which also follows a failed Logout.
    // Nothing otherwise.
    void Disconnect();

protected:
    // Runs right after the socket was opened.
    virtual void Login() = 0;
    // Leaves the server.
    virtual void Logout() = 0;
};

} // namespace vexil
