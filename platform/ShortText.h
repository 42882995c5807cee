#pragma once
// Many values of the article and news model are short texts: at most 255 characters, and a
// longer value is cut, never refused. One definition keeps every cut at the same place.

#include <cstddef>
#include <string>
#include <string_view>

namespace vexil {

inline constexpr std::size_t kShortTextMax = 255;

inline std::string ShortText(std::string_view text) {
    return std::string(text.substr(0, kShortTextMax));
}

inline void CutToShortText(std::string &text) {
    if (text.size() > kShortTextMax)
        text.resize(kShortTextMax);
}

} // namespace vexil
