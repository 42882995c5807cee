#include "platform/Exception.h"

namespace vexil {

EFCreateError::EFCreateError(const std::string &path)
    : Exception(FormatText("Cannot create file %s", {path})) {}

EFOpenError::EFOpenError(const std::string &path)
    : Exception(FormatText("Cannot open file %s", {path})) {}

EListError::EListError(long long index)
    : Exception(FormatText("List index out of bounds (%d)", {std::to_string(index)})) {}

std::string FormatText(std::string_view pattern, std::initializer_list<std::string_view> args) {
    std::string out;
    out.reserve(pattern.size() + 32);
    auto next = args.begin();
    for (size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c == '%' && i + 1 < pattern.size()) {
            const char m = pattern[i + 1];
            if (m == '%') {
                out += '%';
                ++i;
                continue;
            }
            if ((m == 's' || m == 'd') && next != args.end()) {
                out += *next++;
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

} // namespace vexil
