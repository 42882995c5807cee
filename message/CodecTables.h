#pragma once
// The machinery that base64 and uuencode share: both put three bytes into four characters of
// six bits each and differ only in the alphabet. Private to the codecs.

#include "platform/Exception.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vexil {

// One table per position in a group of four, each value already shifted into its place of
// the 24-bit group, so a group costs four loads and three ORs. A character outside the
// alphabet sets bit 24, which survives the ORs and is tested once per group.
struct SextetTables {
    std::array<std::uint32_t, 256> at[4];
};

inline constexpr std::uint32_t kInvalidSextet = 1u << 24;

template <typename ValueOf> constexpr SextetTables MakeSextetTables(ValueOf valueOf) {
    SextetTables t{};
    for (int c = 0; c < 256; ++c) {
        const int v = valueOf(static_cast<unsigned char>(c));
        for (int k = 0; k < 4; ++k)
            t.at[k][c] = v < 0 ? kInvalidSextet : static_cast<std::uint32_t>(v) << (18 - 6 * k);
    }
    return t;
}

[[noreturn]] inline void ThrowInvalidCharacter() {
    throw EInOutError("Invalid Character");
}

// Decodes groups of four characters into three bytes each; a last group of k < 4 characters
// counts as completed with zero values and gives k - 1 bytes. Returns the bytes written;
// out must hold (text.size() + 3) / 4 * 3 bytes.
inline std::size_t DecodeSextets(const SextetTables &t, std::string_view text, char *out) {
    const auto *p = reinterpret_cast<const unsigned char *>(text.data());
    const auto *const end = p + text.size();
    char *o = out;
    while (end - p >= 4) {
        const std::uint32_t g = t.at[0][p[0]] | t.at[1][p[1]] | t.at[2][p[2]] | t.at[3][p[3]];
        if (g & kInvalidSextet)
            ThrowInvalidCharacter();
        o[0] = static_cast<char>(g >> 16);
        o[1] = static_cast<char>(g >> 8);
        o[2] = static_cast<char>(g);
        o += 3;
        p += 4;
    }
    const std::size_t rest = static_cast<std::size_t>(end - p);
    if (rest > 0) {
        std::uint32_t g = 0;
        for (std::size_t k = 0; k < rest; ++k)
            g |= t.at[k][p[k]];
        if (g & kInvalidSextet)
            ThrowInvalidCharacter();
        for (std::size_t k = 0; k + 1 < rest; ++k)
            *o++ = static_cast<char>(g >> (16 - 8 * k));
    }
    return static_cast<std::size_t>(o - out);
}

// Appends n + 1 characters for each group of n (1..3) bytes, most significant bits first,
// without fill characters.
inline void EncodeSextets(const char *alphabet, std::string_view bytes, std::string &out) {
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    std::size_t n = bytes.size();
    for (; n >= 3; n -= 3, p += 3) {
        const std::uint32_t g = (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2];
        out += alphabet[(g >> 18) & 63];
        out += alphabet[(g >> 12) & 63];
        out += alphabet[(g >> 6) & 63];
        out += alphabet[g & 63];
    }
    if (n > 0) {
        std::uint32_t g = std::uint32_t{p[0]} << 16;
        if (n == 2)
            g |= std::uint32_t{p[1]} << 8;
        for (std::size_t k = 0; k <= n; ++k)
            out += alphabet[(g >> (18 - 6 * k)) & 63];
    }
}

} // namespace vexil
