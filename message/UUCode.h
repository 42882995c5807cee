#pragma once
// uuencode one line at a time: a length character, then groups of four characters for three
// bytes each. Value 0 is written as the grave accent, never as a blank.

#include <cstddef>
#include <string>
#include <string_view>

namespace vexil {

// The most bytes that UUDecode can produce from a line of lineSize characters.
constexpr std::size_t UUDecodedMax(std::size_t lineSize) {
    return lineSize == 0 ? 0 : lineSize / 4 * 3 + 3;
}

// Decodes one uuencoded line into out, which holds outSize bytes, at least
// UUDecodedMax(line.size()). The first character gives the byte count; the result is cut to
// it (a count larger than the line holds gives the bytes the line holds). A character other
// than "!" to "_" or the grave accent (a blank included) raises EInOutError
// "Invalid Character". Returns the number of bytes written.
std::size_t UUDecode(std::string_view line, char *out, std::size_t outSize);

// UUDecode as short text: the line is cut at 255 characters first.
std::string UUDecodeLine(std::string_view line);

// One uuencoded line, length character included, for up to 45 bytes (more is a caller
// error: std::length_error); the last group is not
// padded, so 2 bytes give the length character and three characters.
std::string UUEncodeBlock(std::string_view bytes);

} // namespace vexil
