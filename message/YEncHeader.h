#pragma once
// The keyword lines of yEnc: "=ybegin" opens a file or a part of one, "=ypart" gives the
// part's place in the file, "=yend" closes it with its size and CRCs. Each parser takes one
// line, with or without its line end, and answers nothing for a line that is not a valid
// line of its kind; the caller then treats the line as ordinary text.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vexil {

struct YEncBegin {
    std::optional<std::uint32_t> part;  // 1-based; present in multi-part posts
    std::optional<std::uint32_t> total; // number of parts, when the poster gave it
    std::optional<std::uint64_t> line;  // advisory only: lines may be of any length
    std::uint64_t size = 0;             // of the whole file
    // The rest of the line after "name=", surrounding double quotes taken off, otherwise the
    // bytes as posted: the caller makes a file name of it.
    std::string name;
};

struct YEncPart {
    std::uint64_t begin = 0; // 1-based, inclusive
    std::uint64_t end = 0;
    std::uint64_t Size() const { return end - begin + 1; }
};

struct YEncEnd {
    std::optional<std::uint64_t> size;
    std::optional<std::uint32_t> part;
    std::optional<std::uint32_t> pcrc32; // of this part
    std::optional<std::uint32_t> crc32;  // of the whole file
};

// True for a line that starts with "=y": such a line ends the encoded data before it.
bool IsYEncKeywordLine(std::string_view line);

// "=ybegin " with size= and name= (part=, total=, line= optional, other keywords ignored).
// "=ybegin2", a missing size= or name=, a size, part or total that is not decimal or does not
// fit, one given twice, and part= or total= of 0 make it no yEnc header; a bad line= is
// dropped.
std::optional<YEncBegin> ParseYEncBegin(std::string_view line);

// "=ypart begin=B end=E" with 1 <= B <= E.
std::optional<YEncPart> ParseYEncPart(std::string_view line);

// "=yend" with any of size=, part=, pcrc32=, crc32=. CRCs are 1 to 8 hex digits, or 16 when
// sign-extended (the upper half all ones or all zeros).
std::optional<YEncEnd> ParseYEncEnd(std::string_view line);

} // namespace vexil
