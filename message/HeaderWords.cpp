#include "message/HeaderWords.h"

#include "message/Base64.h"
#include "message/HeaderText.h"
#include "message/TQuotedPrintable.h"
#include "platform/Exception.h"
#include "platform/ShortText.h"

#include <algorithm>
#include <optional>

namespace vexil {

namespace {

// The position of the "?=" that closes the word opened at start: the first one after the
// "?" that follows the charset and the encoding letter, since encoded text may itself begin
// with "=". A word without that structure closes at its first "?=".
std::size_t FindClose(std::string_view value, std::size_t start) {
    const std::size_t charsetEnd = value.find('?', start + 2);
    if (charsetEnd != std::string_view::npos && charsetEnd + 2 < value.size() &&
        value[charsetEnd + 2] == '?')
        return value.find("?=", charsetEnd + 3);
    return value.find("?=", start + 2);
}

// The bytes of "charset?X?text", or nothing when the word cannot be decoded.
std::optional<std::string> DecodeWord(std::string_view word) {
    const std::size_t q = word.find('?');
    if (q == std::string_view::npos || q + 2 >= word.size() || word[q + 2] != '?')
        return std::nullopt;
    const char letter = word[q + 1];
    const std::string_view text = word.substr(q + 3);
    if (letter == 'B' || letter == 'b') {
        try {
            return Base64DecodeLine(text);
        } catch (const EInOutError &) {
            return std::nullopt;
        }
    }
    if (letter == 'Q' || letter == 'q')
        return QPDecodeText(text);
    return std::nullopt;
}

} // namespace

std::string DecodeHeaderWords(std::string_view input) {
    std::string value = ShortText(input);
    std::size_t from = 0;
    for (;;) {
        const std::size_t start = value.find("=?", from);
        if (start == std::string::npos)
            break;
        const std::size_t close = FindClose(value, start);
        if (close == std::string::npos)
            break;
        const std::optional<std::string> decoded =
            DecodeWord(std::string_view(value).substr(start + 2, close - start - 2));
        if (!decoded) {
            from = close + 2;
            continue;
        }
        std::string next = value.substr(0, start);
        next += *decoded;
        next += TrimText(std::string_view(value).substr(close + 2));
        std::replace(next.begin(), next.end(), '_', ' ');
        value = std::move(next);
        // What was decoded is looked at again: the value only shrinks, so this ends.
        from = start;
    }
    return value;
}

} // namespace vexil
