#include "message/YEncHeader.h"

#include <limits>

namespace vexil {

namespace {

std::string_view WithoutLineEnd(std::string_view line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.remove_suffix(1);
    return line;
}

// The parameters after "=y<keyword>": the keyword must be followed by a blank or the end.
std::optional<std::string_view> Parameters(std::string_view line, std::string_view keyword) {
    line = WithoutLineEnd(line);
    if (!line.starts_with(keyword))
        return std::nullopt;
    line.remove_prefix(keyword.size());
    if (!line.empty() && line.front() != ' ' && line.front() != '\t')
        return std::nullopt;
    return line;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::optional<std::uint64_t> Decimal(std::string_view text, std::uint64_t max) {
    if (text.empty())
        return std::nullopt;
    std::uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        const auto digit = static_cast<std::uint64_t>(c - '0');
        if (value > (max - digit) / 10)
            return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

// Sizes and offsets stay below 2^63 so that sums of two of them cannot wrap.
std::optional<std::uint64_t> Decimal63(std::string_view text) {
    return Decimal(text, std::numeric_limits<std::int64_t>::max());
}

std::optional<std::uint32_t> Decimal32(std::string_view text) {
    const auto value = Decimal(text, std::numeric_limits<std::uint32_t>::max());
    if (!value)
        return std::nullopt;
    return static_cast<std::uint32_t>(*value);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::optional<std::uint32_t> Crc(std::string_view text) {
    if (text.empty() || text.size() > 16)
        return std::nullopt;
    std::uint64_t value = 0;
    for (const char c : text) {
        const int d = HexDigit(c);
        if (d < 0)
            return std::nullopt;
        value = (value << 4) | static_cast<std::uint64_t>(d);
    }
    const auto upper = static_cast<std::uint32_t>(value >> 32);
    if (upper != 0 && upper != 0xFFFFFFFFu)
        return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

// Walks "key=value" words separated by blanks; a word without "=" is skipped.
template <typename OnWord> bool ForEachWord(std::string_view text, OnWord onWord) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        while (pos < text.size() && IsBlank(text[pos]))
            ++pos;
        std::size_t end = pos;
        while (end < text.size() && !IsBlank(text[end]))
            ++end;
        const std::string_view word = text.substr(pos, end - pos);
        const std::size_t eq = word.find('=');
        if (eq != std::string_view::npos && !onWord(word.substr(0, eq), word.substr(eq + 1)))
            return false;
        pos = end;
    }
    return true;
}

// Sets field from a value once; a second value, or one that does not parse, fails.
template <typename T, typename Parse>
bool SetOnce(std::optional<T> &field, std::string_view value, Parse parse) {
    if (field)
        return false;
    field = parse(value);
    return field.has_value();
}

// The offset of "name=" at the start of a word, or npos.
std::size_t FindName(std::string_view params) {
    for (std::size_t pos = params.find("name="); pos != std::string_view::npos;
         pos = params.find("name=", pos + 1))
        if (pos > 0 && IsBlank(params[pos - 1]))
            return pos;
    return std::string_view::npos;
}

std::string Unquoted(std::string_view name) {
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"')
        name = name.substr(1, name.size() - 2);
    // A line break inside the quotes is no more part of the name than one outside them.
    while (!name.empty() && (name.back() == '\n' || name.back() == '\r'))
        name.remove_suffix(1);
    return std::string(name);
}

} // namespace

bool IsYEncKeywordLine(std::string_view line) {
    return line.size() >= 2 && line[0] == '=' && line[1] == 'y';
}

std::optional<YEncBegin> ParseYEncBegin(std::string_view line) {
    const auto params = Parameters(line, "=ybegin");
    if (!params)
        return std::nullopt;
    const std::size_t namePos = FindName(*params);
    if (namePos == std::string_view::npos)
        return std::nullopt;
    YEncBegin begin;
    std::optional<std::uint64_t> size;
    const bool ok = ForEachWord(params->substr(0, namePos), [&](auto key, auto value) {
        if (key == "part")
            return SetOnce(begin.part, value, Decimal32) && *begin.part > 0;
        if (key == "total")
            return SetOnce(begin.total, value, Decimal32) && *begin.total > 0;
        if (key == "line") {
            // Advisory only, so a value that does not parse is dropped rather than the file.
            if (!begin.line)
                begin.line = Decimal63(value);
            return true;
        }
        if (key == "size")
            return SetOnce(size, value, Decimal63);
        return true;
    });
    if (!ok || !size)
        return std::nullopt;
    begin.size = *size;
    begin.name = Unquoted(params->substr(namePos + 5));
    return begin;
}

std::optional<YEncPart> ParseYEncPart(std::string_view line) {
    const auto params = Parameters(line, "=ypart");
    if (!params)
        return std::nullopt;
    std::optional<std::uint64_t> begin, end;
    const bool ok = ForEachWord(*params, [&](auto key, auto value) {
        if (key == "begin")
            return SetOnce(begin, value, Decimal63);
        if (key == "end")
            return SetOnce(end, value, Decimal63);
        return true;
    });
    if (!ok || !begin || !end || *begin == 0 || *end < *begin)
        return std::nullopt;
    return YEncPart{*begin, *end};
}

std::optional<YEncEnd> ParseYEncEnd(std::string_view line) {
    const auto params = Parameters(line, "=yend");
    if (!params)
        return std::nullopt;
    YEncEnd end;
    const bool ok = ForEachWord(*params, [&](auto key, auto value) {
        if (key == "size")
            return SetOnce(end.size, value, Decimal63);
        if (key == "part")
            return SetOnce(end.part, value, Decimal32);
        if (key == "pcrc32")
            return SetOnce(end.pcrc32, value, Crc);
        if (key == "crc32")
            return SetOnce(end.crc32, value, Crc);
        return true;
    });
    if (!ok)
        return std::nullopt;
    return end;
}

} // namespace vexil
