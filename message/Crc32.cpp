#include "message/Crc32.h"

#include <array>
#include <bit>
#include <cstring>
#include <stdexcept>

#if defined(__x86_64__) || defined(__i386__)
#define VEXIL_CRC32_X86 1
#include <immintrin.h>
#endif

namespace vexil {

namespace {

constexpr std::uint32_t kPolynomial = 0xEDB88320u;

// Slicing-by-8: table k gives the CRC contribution of a byte followed by k zero bytes.
using SliceTables = std::array<std::array<std::uint32_t, 256>, 8>;

constexpr SliceTables MakeSliceTables() {
    SliceTables t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int bit = 0; bit < 8; ++bit)
            c = (c & 1) ? (c >> 1) ^ kPolynomial : c >> 1;
        t[0][i] = c;
    }
    for (std::size_t k = 1; k < 8; ++k)
        for (std::size_t i = 0; i < 256; ++i)
            t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
    return t;
}

constexpr SliceTables kSlice = MakeSliceTables();

// The table methods work on the register value, already inverted.
std::uint32_t TableBytes(std::uint32_t reg, const unsigned char *p, std::size_t n) {
    for (; n > 0; --n, ++p)
        reg = kSlice[0][(reg ^ *p) & 0xFF] ^ (reg >> 8);
    return reg;
}

std::uint32_t TableUpdate(std::uint32_t reg, const unsigned char *p, std::size_t n) {
    if constexpr (std::endian::native == std::endian::little) {
        for (; n >= 8; n -= 8, p += 8) {
            std::uint64_t word;
            std::memcpy(&word, p, 8);
            const std::uint32_t lo = static_cast<std::uint32_t>(word) ^ reg;
            const std::uint32_t hi = static_cast<std::uint32_t>(word >> 32);
            reg = kSlice[7][lo & 0xFF] ^ kSlice[6][(lo >> 8) & 0xFF] ^
                  kSlice[5][(lo >> 16) & 0xFF] ^ kSlice[4][lo >> 24] ^ kSlice[3][hi & 0xFF] ^
                  kSlice[2][(hi >> 8) & 0xFF] ^ kSlice[1][(hi >> 16) & 0xFF] ^ kSlice[0][hi >> 24];
        }
    }
    return TableBytes(reg, p, n);
}

#ifdef VEXIL_CRC32_X86

bool HasPclmul() {
    static const bool has = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse2");
    return has;
}

#define VEXIL_PCLMUL __attribute__((target("pclmul,sse2")))

VEXIL_PCLMUL inline __m128i Load(const unsigned char *q) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i *>(q));
}

// x moved forward over a distance whose two constants k holds, added to next.
VEXIL_PCLMUL inline __m128i Fold(__m128i x, __m128i k, __m128i next) {
    const __m128i lo = _mm_clmulepi64_si128(x, k, 0x00);
    const __m128i hi = _mm_clmulepi64_si128(x, k, 0x11);
    return _mm_xor_si128(_mm_xor_si128(lo, hi), next);
}

// The 16-byte blocks left after the wide folding, then 128 bits to 64 and a Barrett
// reduction to 32.
VEXIL_PCLMUL std::uint32_t FoldTail(__m128i x1, const unsigned char *p, std::size_t n) {
    const __m128i k3k4 = _mm_set_epi64x(0x00ccaa009e, 0x01751997d0);
    const __m128i k5 = _mm_set_epi64x(0, 0x0163cd6124);
    const __m128i poly = _mm_set_epi64x(0x01f7011641, 0x01db710641);
    const __m128i low32 = _mm_setr_epi32(~0, 0, ~0, 0);
    for (; n >= 16; n -= 16, p += 16)
        x1 = Fold(x1, k3k4, Load(p));

    __m128i x2 = _mm_clmulepi64_si128(x1, k3k4, 0x10);
    x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), x2);
    x2 = _mm_srli_si128(x1, 4);
    x1 = _mm_and_si128(x1, low32);
    x1 = _mm_xor_si128(_mm_clmulepi64_si128(x1, k5, 0x00), x2);

    x2 = _mm_and_si128(x1, low32);
    x2 = _mm_clmulepi64_si128(x2, poly, 0x10);
    x2 = _mm_and_si128(x2, low32);
    x2 = _mm_clmulepi64_si128(x2, poly, 0x00);
    x1 = _mm_xor_si128(x1, x2);
    return static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(x1, 4)));
}

// Folding with carry-less multiplication (the method of Gopal et al., "Fast CRC Computation
// for Generic Polynomials Using PCLMULQDQ", with the constants of the reflected polynomial:
// folding over D bits multiplies by x^(D+32) and x^(D-32) mod P, reflected and shifted by
// one). Eight 16-byte lanes over 128-byte blocks, enough to hide the multiplier's latency; n
// is a multiple of 16 and at least 128.
VEXIL_PCLMUL std::uint32_t PclmulFold(std::uint32_t reg, const unsigned char *p, std::size_t n) {
    const __m128i k1024 = _mm_set_epi64x(0x014a7fe880, 0x01e88ef372);
    const __m128i k128 = _mm_set_epi64x(0x00ccaa009e, 0x01751997d0);
    __m128i x[8];
    for (int i = 0; i < 8; ++i)
        x[i] = Load(p + 16 * i);
    x[0] = _mm_xor_si128(x[0], _mm_cvtsi32_si128(static_cast<int>(reg)));
    p += 128;
    n -= 128;
    for (; n >= 128; n -= 128, p += 128)
        for (int i = 0; i < 8; ++i)
            x[i] = Fold(x[i], k1024, Load(p + 16 * i));
    __m128i folded = x[0];
    for (int i = 1; i < 8; ++i)
        folded = Fold(folded, k128, x[i]);
    return FoldTail(folded, p, n);
}

bool HasVpclmul() {
    static const bool has =
        HasPclmul() && __builtin_cpu_supports("avx2") && __builtin_cpu_supports("vpclmulqdq");
    return has;
}

#define VEXIL_VPCLMUL __attribute__((target("vpclmulqdq,pclmul,avx2")))

VEXIL_VPCLMUL inline __m256i Load256(const unsigned char *q) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i *>(q));
}

VEXIL_VPCLMUL inline __m256i Fold256(__m256i x, __m256i k, __m256i next) {
    const __m256i lo = _mm256_clmulepi64_epi128(x, k, 0x00);
    const __m256i hi = _mm256_clmulepi64_epi128(x, k, 0x11);
    return _mm256_xor_si256(_mm256_xor_si256(lo, hi), next);
}

// The same folding with two 16-byte lanes per register: four registers over 128-byte
// blocks. n is a multiple of 16 and at least 128.
VEXIL_VPCLMUL std::uint32_t VpclmulFold(std::uint32_t reg, const unsigned char *p, std::size_t n) {
    const __m256i k1024 = _mm256_set_epi64x(0x014a7fe880, 0x01e88ef372, 0x014a7fe880, 0x01e88ef372);
    const __m256i k256 = _mm256_set_epi64x(0x015a546366, 0x00f1da05aa, 0x015a546366, 0x00f1da05aa);
    const __m128i k128 = _mm_set_epi64x(0x00ccaa009e, 0x01751997d0);
    __m256i x1 = _mm256_xor_si256(Load256(p),
                                  _mm256_zextsi128_si256(_mm_cvtsi32_si128(static_cast<int>(reg))));
    __m256i x2 = Load256(p + 32);
    __m256i x3 = Load256(p + 64);
    __m256i x4 = Load256(p + 96);
    p += 128;
    n -= 128;
    for (; n >= 128; n -= 128, p += 128) {
        x1 = Fold256(x1, k1024, Load256(p));
        x2 = Fold256(x2, k1024, Load256(p + 32));
        x3 = Fold256(x3, k1024, Load256(p + 64));
        x4 = Fold256(x4, k1024, Load256(p + 96));
    }
    x1 = Fold256(x1, k256, x2);
    x1 = Fold256(x1, k256, x3);
    x1 = Fold256(x1, k256, x4);
    const __m128i x = Fold(_mm256_castsi256_si128(x1), k128, _mm256_extracti128_si256(x1, 1));
    return FoldTail(x, p, n);
}

std::uint32_t PclmulUpdate(std::uint32_t reg, const unsigned char *p, std::size_t n) {
    if (n >= 128) {
        const std::size_t blocks = n & ~std::size_t{15};
        reg = PclmulFold(reg, p, blocks);
        p += blocks;
        n -= blocks;
    }
    return TableBytes(reg, p, n);
}

std::uint32_t VpclmulUpdate(std::uint32_t reg, const unsigned char *p, std::size_t n) {
    if (n >= 128) {
        const std::size_t blocks = n & ~std::size_t{15};
        reg = VpclmulFold(reg, p, blocks);
        p += blocks;
        n -= blocks;
    }
    return PclmulUpdate(reg, p, n);
}

#else

bool HasPclmul() {
    return false;
}

bool HasVpclmul() {
    return false;
}

std::uint32_t PclmulUpdate(std::uint32_t reg, const unsigned char *p, std::size_t n) {
    return TableUpdate(reg, p, n);
}

std::uint32_t VpclmulUpdate(std::uint32_t reg, const unsigned char *p, std::size_t n) {
    return TableUpdate(reg, p, n);
}

#endif

// Polynomial arithmetic modulo the CRC polynomial, bit-reflected: bit 31 is x^0.
std::uint32_t MultiplyModP(std::uint32_t a, std::uint32_t b) {
    std::uint32_t product = 0;
    for (std::uint32_t m = 1u << 31; m != 0; m >>= 1) {
        if (a & m)
            product ^= b;
        b = (b & 1) ? (b >> 1) ^ kPolynomial : b >> 1;
    }
    return product;
}

// x^(2^k) mod P for k = 0..66, so that x^(8 n) costs one multiplication per set bit of a
// 64-bit n.
using PowerTable = std::array<std::uint32_t, 67>;

PowerTable MakePowerTable() {
    PowerTable t{};
    std::uint32_t p = 1u << 30; // x^1
    for (auto &entry : t) {
        entry = p;
        p = MultiplyModP(p, p);
    }
    return t;
}

// x^(8 * bytes) mod P.
std::uint32_t ShiftForBytes(std::uint64_t bytes) {
    static const PowerTable powers = MakePowerTable();
    std::uint32_t p = 1u << 31; // x^0
    for (std::size_t k = 3; bytes != 0 && k < powers.size(); ++k, bytes >>= 1)
        if (bytes & 1)
            p = MultiplyModP(powers[k], p);
    return p;
}

} // namespace

std::vector<Crc32Method> AvailableCrc32Methods() {
    std::vector<Crc32Method> methods{Crc32Method::Table};
    if (HasPclmul())
        methods.push_back(Crc32Method::Pclmul);
    if (HasVpclmul())
        methods.push_back(Crc32Method::Vpclmul);
    return methods;
}

Crc32Method BestCrc32Method() {
    if (HasVpclmul())
        return Crc32Method::Vpclmul;
    return HasPclmul() ? Crc32Method::Pclmul : Crc32Method::Table;
}

std::uint32_t Crc32(std::uint32_t crc, const void *data, std::size_t size, Crc32Method method) {
    if (method == Crc32Method::Best)
        method = BestCrc32Method();
    const auto *p = static_cast<const unsigned char *>(data);
    switch (method) {
    case Crc32Method::Pclmul:
        if (!HasPclmul())
            throw std::invalid_argument("CRC-32 with carry-less multiplication is not available");
        return ~PclmulUpdate(~crc, p, size);
    case Crc32Method::Vpclmul:
        if (!HasVpclmul())
            throw std::invalid_argument("CRC-32 with 256-bit carry-less multiplication is not "
                                        "available");
        return ~VpclmulUpdate(~crc, p, size);
    default:
        return ~TableUpdate(~crc, p, size);
    }
}

std::uint32_t Crc32Combine(std::uint32_t first, std::uint32_t second, std::uint64_t secondSize) {
    return MultiplyModP(ShiftForBytes(secondSize), first) ^ second;
}

} // namespace vexil
