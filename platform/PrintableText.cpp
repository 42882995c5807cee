#include "platform/PrintableText.h"

#include "platform/Exception.h"

#include <cstddef>

namespace vexil {

namespace {

bool IsAsciiControl(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}

bool IsContinuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

// The length of the well-formed UTF-8 sequence at from, 0 when none begins there. The
// bounds of the second byte follow Unicode's table of well-formed sequences.
std::size_t Utf8SequenceAt(std::string_view bytes, std::size_t from) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[from + i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80)
        return 1;
    std::size_t length;
    unsigned char low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0; // overlong
        else if (lead == 0xED)
            high = 0x9F; // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90; // overlong
        else if (lead == 0xF4)
            high = 0x8F; // past U+10FFFF
    } else
        return 0;
    if (bytes.size() - from < length || byte(1) < low || byte(1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (!IsContinuation(byte(i)))
            return 0;
    return length;
}

} // namespace

bool IsUtf8Text(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t n = Utf8SequenceAt(bytes, i);
        if (n == 0)
            return false;
        i += n;
    }
    return true;
}

std::string PrintableText(std::string_view bytes) {
    const bool utf8 = IsUtf8Text(bytes);
    std::string shown;
    shown.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        const std::size_t n = utf8 ? Utf8SequenceAt(bytes, i) : 1;
        // U+0080-U+009F are C2 80 to C2 9F in UTF-8.
        const bool c1 = utf8 ? c == 0xC2 && static_cast<unsigned char>(bytes[i + 1]) < 0xA0
                             : c >= 0x80 && c < 0xA0;
        if (c == '\t')
            shown += ' ';
        else if (IsAsciiControl(c) || c1)
            shown += kControlMark;
        else
            shown.append(bytes.substr(i, n));
        i += n;
    }
    return shown;
}

std::string PrintableMessage(const std::exception &error) {
    if (const auto *own = dynamic_cast<const Exception *>(&error))
        return PrintableText(own->Message());
    return PrintableText(error.what());
}

} // namespace vexil
