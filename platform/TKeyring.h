#pragma once
// The desktop's keyring as the login password sees it: one secret under each name. The
// password store speaks to it through this interface, so that its rules stay free of the
// toolkit and can be tried against a keyring that misbehaves on purpose.

#include "platform/Exception.h"

#include <optional>
#include <string>

namespace vexil {

// The keyring refused a request or did not answer in time; what it held is untouched.
class EKeyringError : public Exception {
public:
    using Exception::Exception;
};

// There is no keyring to ask: no Secret Service on the session bus, or no session bus.
class EKeyringMissing : public EKeyringError {
public:
    using EKeyringError::EKeyringError;
};

class TKeyring {
public:
    virtual ~TKeyring() = default;
    // nullopt when the keyring holds nothing under name.
    virtual std::optional<std::string> Read(const std::string &name) = 0;
    virtual void Write(const std::string &name, const std::string &secret) = 0;
    // Removing what is not there is no failure.
    virtual void Remove(const std::string &name) = 0;
};

} // namespace vexil
