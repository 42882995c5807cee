#include "base/AsciiCase.h"

#include <algorithm>

namespace vexil {

std::string UpperAscii(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), UpperAsciiChar);
    return out;
}

std::string LowerAscii(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), LowerAsciiChar);
    return out;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return LowerAsciiChar(x) == LowerAsciiChar(y);
           });
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

std::size_t FindNoCase(std::string_view text, std::string_view what) {
    if (what.empty())
        return 0;
    const auto it =
        std::search(text.begin(), text.end(), what.begin(), what.end(),
                    [](char a, char b) { return LowerAsciiChar(a) == LowerAsciiChar(b); });
    return it == text.end() ? std::string_view::npos : static_cast<std::size_t>(it - text.begin());
}

} // namespace vexil
