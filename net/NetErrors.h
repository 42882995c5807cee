#pragma once
// The failures of the news transport. Each carries only its message, which is what the user
// reads in the message box.

#include "platform/Exception.h"

#include <string>
#include <utility>

namespace vexil {

// A Winsock error, or one of the suite's own messages raised through the socket's error path.
class ESocketError : public Exception {
public:
    using Exception::Exception;
};

// The server's certificate failed the check. Besides the message, which names what was
// wrong, it carries what the user needs to trust exactly this certificate for the server.
class ECertificateError : public ESocketError {
public:
    ECertificateError(const std::string &Message, std::string Subject, std::string Fingerprint)
        : ESocketError(Message), Subject(std::move(Subject)), Fingerprint(std::move(Fingerprint)) {}

    // One line, as OpenSSL writes a distinguished name.
    std::string Subject;
    // SHA-256 of the certificate, upper-case hexadecimal pairs joined by ":".
    std::string Fingerprint;
};

// A server reply whose code the client does not accept; the message is the reply line.
class EServerError : public Exception {
public:
    using Exception::Exception;
};

// The user cancelled the operation.
class ECanceledError : public Exception {
public:
    ECanceledError();
    using Exception::Exception;
};

// The time-out counter ran out while an operation waited.
class ETimedOutError : public Exception {
public:
    ETimedOutError();
    using Exception::Exception;
};

// The socket library is missing, not loaded, or lacks a function.
class EWinsockDLLError : public Exception {
public:
    using Exception::Exception;
};

} // namespace vexil
