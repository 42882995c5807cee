#pragma once
// The news server as the user writes it: "host", "host:port", or either behind "nntps://"
// for a secure connection (or "nntp://", which changes nothing).

#include <cstdint>
#include <string>

namespace vexil {

struct ServerAddress {
    std::string Host;
    // 0 when the address names no port: the service lookup and the default port decide.
    std::uint16_t Port = 0;
    // Written with "nntps://".
    bool Secure = false;
};

// The port of news over TLS; a server on it is spoken to over TLS whatever the address says.
inline constexpr std::uint16_t kSecureNewsPort = 563;

// Splits an address; a port that is not a number from 1 to 65535 raises ESocketError
// with a message naming the address.
ServerAddress SplitServerAddress(const std::string &Server);

// Raises what SplitServerAddress raises, for callers that only check what a user typed.
void CheckServerAddress(const std::string &Server);

} // namespace vexil
