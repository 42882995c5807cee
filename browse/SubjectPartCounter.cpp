#include "browse/SubjectPartCounter.h"

namespace vexil {

namespace {

constexpr std::size_t MaxDigits = 6;

// Reads the digits at Text[Pos...], moving Pos past them; nothing when there are none or
// too many.
std::optional<std::uint32_t> ReadCount(std::string_view Text, std::size_t &Pos) {
    std::uint32_t value = 0;
    const std::size_t start = Pos;
    while (Pos < Text.size() && Text[Pos] >= '0' && Text[Pos] <= '9') {
        if (Pos - start == MaxDigits)
            return std::nullopt;
        value = value * 10 + static_cast<std::uint32_t>(Text[Pos] - '0');
        ++Pos;
    }
    if (Pos == start)
        return std::nullopt;
    return value;
}

// The counter opening at Subject[Open], and the position just past its closing bracket.
std::optional<TSubjectPart> CounterAt(std::string_view Subject, std::size_t Open,
                                      std::size_t &End) {
    const char close = Subject[Open] == '(' ? ')' : ']';
    std::size_t pos = Open + 1;
    const auto number = ReadCount(Subject, pos);
    if (!number || pos >= Subject.size() || Subject[pos] != '/')
        return std::nullopt;
    ++pos;
    const auto total = ReadCount(Subject, pos);
    if (!total || pos >= Subject.size() || Subject[pos] != close)
        return std::nullopt;
    if (*number < 1 || *number > *total)
        return std::nullopt;
    End = pos + 1;
    return TSubjectPart{*number, *total, {}};
}

} // namespace

std::optional<TSubjectPart> ParseSubjectPart(std::string_view Subject) {
    for (std::size_t open = Subject.find_last_of("(["); open != std::string_view::npos;
         open = open == 0 ? std::string_view::npos : Subject.find_last_of("([", open - 1)) {
        std::size_t end = 0;
        if (auto part = CounterAt(Subject, open, end)) {
            part->Stem = std::string(Subject.substr(0, open)) + std::string(Subject.substr(end));
            return part;
        }
    }
    return std::nullopt;
}

} // namespace vexil
