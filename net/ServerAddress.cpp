#include "net/ServerAddress.h"

#include "base/AsciiCase.h"
#include "net/NetErrors.h"

namespace vexil {

namespace {

// Takes Scheme off the front of Rest (letter case aside); true when it was there.
bool TakeScheme(std::string &Rest, std::string_view Scheme) {
    if (!StartsWithNoCase(Rest, Scheme))
        return false;
    Rest.erase(0, Scheme.size());
    return true;
}

} // namespace

ServerAddress SplitServerAddress(const std::string &Server) {
    ServerAddress result;
    std::string rest = Server;
    result.Secure = TakeScheme(rest, "nntps://");
    if (!result.Secure)
        TakeScheme(rest, "nntp://");
    // "nntps://host/" as copied from a browser's address bar.
    if (!rest.empty() && rest.back() == '/')
        rest.pop_back();
    const std::size_t colon = rest.find(':');
    result.Host = rest.substr(0, colon);
    if (colon == std::string::npos)
        return result;
    const std::string text = rest.substr(colon + 1);
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
