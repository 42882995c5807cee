#pragma once
// Base64 (RFC 2045) one line at a time, the way articles carry it: the decoder reads a whole
// line of four-character groups and the encoder writes one line per block of up to 57 bytes.

#include <cstddef>
#include <string>
#include <string_view>

namespace vexil {

// The most bytes that Base64Decode can produce from a text of textSize characters.
constexpr std::size_t Base64DecodedMax(std::size_t textSize) {
    return (textSize + 3) / 4 * 3;
}

// Decodes one base64 line into out, which holds outSize bytes, at least
// Base64DecodedMax(text.size()). "=" is a fill character worth zero bits anywhere; as many
// bytes as the line ends in "=" are dropped from the end. A trailing group of two or three
// characters gives one or two bytes. Returns the number of bytes written. Any character
// outside the alphabet (a blank included) raises EInOutError "Invalid Character".
std::size_t Base64Decode(std::string_view text, char *out, std::size_t outSize);

// Base64Decode as short text: the line is cut at 255 characters first.
std::string Base64DecodeLine(std::string_view line);

// The encoded text of a block of bytes, padded with "=" to a multiple of four characters;
// 57 bytes make one 76-character line.
std::string Base64EncodeBlock(std::string_view bytes);

} // namespace vexil
