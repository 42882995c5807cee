#include "message/Base64.h"

#include "message/CodecTables.h"
#include "platform/Exception.h"
#include "platform/MessagePump.h"
#include "platform/ShortText.h"

#include <array>
#include <cstdint>
#include <stdexcept>

namespace vexil {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr int Base64Value(unsigned char c) {
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    if (c == '=')
        return 0;
    return -1;
}

constexpr SextetTables kTables = MakeSextetTables(Base64Value);

} // namespace

std::size_t Base64Decode(std::string_view text, char *out, std::size_t outSize) {
    if (outSize < Base64DecodedMax(text.size()))
        throw std::length_error("Base64Decode: output buffer too small");
    ProcessPendingMessages();
    const std::size_t written = DecodeSextets(kTables, text, out);
    std::size_t fill = 0;
    for (std::size_t i = text.size(); i > 0 && text[i - 1] == '='; --i)
        ++fill;
    return written > fill ? written - fill : 0;
}

std::string Base64DecodeLine(std::string_view line) {
    line = line.substr(0, kShortTextMax);
    char buffer[Base64DecodedMax(kShortTextMax)];
    return std::string(buffer, Base64Decode(line, buffer, sizeof buffer));
}

std::string Base64EncodeBlock(std::string_view bytes) {
    ProcessPendingMessages();
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    EncodeSextets(kAlphabet, bytes, out);
    while (out.size() % 4 != 0)
        out += '=';
    return out;
}

} // namespace vexil
