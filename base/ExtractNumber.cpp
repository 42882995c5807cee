#include "base/ExtractNumber.h"

#include <charconv>
#include <cmath>
#include <string>

namespace vexil {

double ExtractNumber(std::string_view Text) {
    std::string kept;
    for (char c : Text)
        if ((c >= '0' && c <= '9') || c == '-' || c == '.')
            kept += c;
    if (kept.empty())
        return 0;
    double value = 0;
    const char *end = kept.data() + kept.size();
    const auto [stop, error] = std::from_chars(kept.data(), end, value, std::chars_format::fixed);
    if (error == std::errc::result_out_of_range && stop == end)
        return kept.front() == '-' ? -HUGE_VAL : HUGE_VAL;
    if (error != std::errc() || stop != end)
        return 0;
    return value;
}

} // namespace vexil
