#include "net/TmsMailBase.h"

namespace vexil {

void TmsMailBase::Connect() {
    if (Connected())
        return;
    OpenSocket();
    Login();
}

void TmsMailBase::Disconnect() {
    if (!Connected())
        return;
    try {
        Logout();
    } catch (...) {
        // A failed goodbye still ends the connection.
        CloseSocket();
        throw;
    }
    CloseSocket();
}

} // namespace vexil
