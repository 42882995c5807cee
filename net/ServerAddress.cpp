#include "net/ServerAddress.h"

#include "net/NetErrors.h"

namespace vexil {

ServerAddress SplitServerAddress(const std::string &Server) {
    ServerAddress result;
    const std::size_t colon = Server.find(':');
    result.Host = Server.substr(0, colon);
    if (colon == std::string::npos)
        return result;
    const std::string text = Server.substr(colon + 1);
    unsigned number = 0;
    bool valid = !text.empty() && text.size() <= 5;
    for (char c : text) {
        valid = valid && c >= '0' && c <= '9';
        if (valid)
            number = number * 10 + static_cast<unsigned>(c - '0');
    }
    if (!valid || number < 1 || number > 65535)
        throw ESocketError("The port of the news server \"" + Server +
                           "\" must be a number from 1 to 65535.");
    result.Port = static_cast<std::uint16_t>(number);
    return result;
}

void CheckServerAddress(const std::string &Server) {
    SplitServerAddress(Server);
}

} // namespace vexil
