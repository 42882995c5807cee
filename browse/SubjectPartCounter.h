#pragma once
// The part counter that posters put into the subject of a post in several parts: "(2/5)" or
// "[2/5]", the last one in the subject counting (a file name may itself hold a bracket).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vexil {

struct TSubjectPart {
    std::uint32_t Number = 0; // 1-based
    std::uint32_t Total = 0;
    // The subject with the counter taken out: the same for every part of one post.
    std::string Stem;
};

// The last "(n/m)" or "[n/m]" of Subject with 1 <= n <= m, each at most six digits; nothing
// when there is none. A counter of "(0/m)" (the description some posters send ahead) does not
// count.
std::optional<TSubjectPart> ParseSubjectPart(std::string_view Subject);

} // namespace vexil
