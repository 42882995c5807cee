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
    Logout();
    CloseSocket();
}

} // namespace vexil
