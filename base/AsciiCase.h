#pragma once
// Letter case of ASCII letters only, byte by byte. Protocol words, header names and file
// names are bytes here; no other byte may change with the user's locale.

#include <string>
#include <string_view>

namespace vexil {

constexpr char UpperAsciiChar(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

constexpr char LowerAsciiChar(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string UpperAscii(std::string_view text);
std::string LowerAscii(std::string_view text);

// Whether both texts are equal, ignoring the case of ASCII letters.
bool EqualsNoCase(std::string_view a, std::string_view b);
// Whether text begins with prefix, ignoring the case of ASCII letters.
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
// Where what first occurs in text, ignoring the case of ASCII letters; npos when nowhere.
// An empty what is found at 0.
std::size_t FindNoCase(std::string_view text, std::string_view what);

} // namespace vexil
