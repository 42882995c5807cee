#pragma once
// Case changes of ASCII letters only, byte by byte: file names are bytes here, and no other
// byte may change with the locale.

#include <string>

namespace vexil {

inline std::string UpperAscii(std::string text) {
    for (char &c : text)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    return text;
}

inline std::string LowerAscii(std::string text) {
    for (char &c : text)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return text;
}

} // namespace vexil
