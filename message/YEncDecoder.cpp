#include "message/YEncDecoder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <stdexcept>

#if defined(__x86_64__) || defined(__i386__)
#define VEXIL_YENC_X86 1
#include <immintrin.h>
#endif

namespace vexil {

namespace {

using Byte = unsigned char;

// Where the decoding loop stands. lineStart: the next byte begins a line; escape: an "="
// was read and the next data byte is escaped.
struct Cursor {
    const Byte *p;
    const Byte *end;
    Byte *out;
    bool lineStart = true;
    bool escape = false;
    bool stopped = false;
    YEncStop stop = YEncStop::InputEnd;
};

void StopAt(Cursor &c, const Byte *line, YEncStop why) {
    c.p = line;
    c.stopped = true;
    c.stop = why;
}

// Handles the start of a line: a keyword line ends the data. Returns false when decoding
// stops here.
bool EnterLine(Cursor &c) {
    if (c.end - c.p >= 2 && c.p[0] == '=' && c.p[1] == 'y') {
        StopAt(c, c.p, YEncStop::KeywordLine);
        return false;
    }
    c.lineStart = false;
    return true;
}

// Decodes bytes one at a time until limit.
void ScalarDecode(Cursor &c, const Byte *limit) {
    Byte *out = c.out;
    while (c.p < limit) {
        if (c.lineStart && !EnterLine(c))
            break;
        const Byte ch = *c.p++;
        if (ch == '\n') {
            c.lineStart = true;
        } else if (ch == '\r') {
            // dropped, line start or not
        } else if (c.escape) {
            *out++ = static_cast<Byte>(ch - 106);
            c.escape = false;
        } else if (ch == '=') {
            c.escape = true;
        } else {
            *out++ = static_cast<Byte>(ch - 42);
        }
    }
    c.out = out;
}

#ifdef VEXIL_YENC_X86

// What a block of 16 or 32 bytes needs, from one bit per byte for "=", CR and LF. The vector
// path takes blocks whose escapes are single "=" before a data byte and whose lines do not
// start with "="; anything else (keyword lines, "==", an "=" before a line end) goes to the
// scalar loop for that block.
struct BlockPlan {
    std::uint32_t remove;
    bool scalar;
    bool nextLineStart;
    bool nextEscape;
};

inline BlockPlan PlanBlock(std::uint32_t eq, std::uint32_t cr, std::uint32_t lf, unsigned width,
                           const Cursor &c) {
    const std::uint32_t all = width == 32 ? ~0u : (1u << width) - 1;
    const std::uint32_t lineStarts = ((lf << 1) | (c.lineStart ? 1u : 0u)) & all;
    const std::uint32_t breaks = eq | cr | lf;
    std::uint32_t scalar = lineStarts & eq;
    scalar |= (eq << 1) & breaks & all;
    if (c.escape)
        scalar |= breaks & 1u;
    const unsigned top = width - 1;
    return BlockPlan{breaks, scalar != 0, ((lf >> top) & 1u) != 0, ((eq >> top) & 1u) != 0};
}

// Shuffle patterns that pack the kept bytes of a group of eight to its front.
constexpr std::array<std::uint64_t, 256> MakePackTable() {
    std::array<std::uint64_t, 256> table{};
    for (unsigned mask = 0; mask < 256; ++mask) {
        std::uint64_t pattern = 0;
        unsigned n = 0;
        for (unsigned i = 0; i < 8; ++i)
            if (mask & (1u << i))
                pattern |= std::uint64_t{i} << (8 * n++);
        for (; n < 8; ++n)
            pattern |= std::uint64_t{0x80} << (8 * n);
        table[mask] = pattern;
    }
    return table;
}

constexpr std::array<std::uint64_t, 256> kPackTable = MakePackTable();

bool HasSse2() {
    static const bool has = __builtin_cpu_supports("sse2");
    return has;
}

bool HasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
    return has;
}

__attribute__((target("sse2"))) void Sse2Decode(Cursor &c, const Byte *limit) {
    const __m128i equals = _mm_set1_epi8('=');
    const __m128i crs = _mm_set1_epi8('\r');
    const __m128i lfs = _mm_set1_epi8('\n');
    const __m128i offset = _mm_set1_epi8(42);
    const __m128i escapeOffset = _mm_set1_epi8(64);
    // 32 bytes ahead, so that the last run's 16-byte copy stays inside the output.
    while (c.p < limit && c.end - c.p >= 32) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(c.p));
        const __m128i isEq = _mm_cmpeq_epi8(v, equals);
        const auto eq = static_cast<std::uint32_t>(_mm_movemask_epi8(isEq));
        const auto cr = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, crs)));
        const auto lf = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, lfs)));
        const BlockPlan plan = PlanBlock(eq, cr, lf, 16, c);
        if (plan.scalar) {
            ScalarDecode(c, c.p + 16);
            if (c.stopped)
                return;
            continue;
        }
        __m128i escaped = _mm_slli_si128(isEq, 1);
        if (c.escape)
            escaped = _mm_or_si128(escaped, _mm_cvtsi32_si128(0xFF));
        const __m128i decoded =
            _mm_sub_epi8(_mm_sub_epi8(v, offset), _mm_and_si128(escaped, escapeOffset));
        // Removed bytes are few: copy the runs between them, 16 bytes at a time.
        alignas(16) Byte bytes[32] = {};
        _mm_store_si128(reinterpret_cast<__m128i *>(bytes), decoded);
        Byte *out = c.out;
        unsigned from = 0;
        for (std::uint32_t removed = plan.remove; removed != 0; removed &= removed - 1) {
            const auto at = static_cast<unsigned>(std::countr_zero(removed));
            _mm_storeu_si128(reinterpret_cast<__m128i *>(out),
                             _mm_loadu_si128(reinterpret_cast<const __m128i *>(bytes + from)));
            out += at - from;
            from = at + 1;
        }
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out),
                         _mm_loadu_si128(reinterpret_cast<const __m128i *>(bytes + from)));
        c.out = out + (16 - from);
        c.p += 16;
        c.lineStart = plan.nextLineStart;
        c.escape = plan.nextEscape;
    }
    ScalarDecode(c, limit);
}

__attribute__((target("avx2,popcnt"))) void Avx2Decode(Cursor &c, const Byte *limit) {
    const __m256i equals = _mm256_set1_epi8('=');
    const __m256i crs = _mm256_set1_epi8('\r');
    const __m256i lfs = _mm256_set1_epi8('\n');
    const __m256i offset = _mm256_set1_epi8(42);
    const __m256i escapeOffset = _mm256_set1_epi8(64);
    const __m256i upperHalf = _mm256_set_epi64x(0x0808080808080808, 0, 0x0808080808080808, 0);
    while (c.p < limit && c.end - c.p >= 32) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(c.p));
        const __m256i isEq = _mm256_cmpeq_epi8(v, equals);
        const auto eq = static_cast<std::uint32_t>(_mm256_movemask_epi8(isEq));
        const auto cr = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(v, crs)));
        const auto lf = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(v, lfs)));
        const BlockPlan plan = PlanBlock(eq, cr, lf, 32, c);
        if (plan.scalar) {
            ScalarDecode(c, c.p + 32);
            if (c.stopped)
                return;
            continue;
        }
        // isEq moved up one byte across the lane boundary: the bytes that follow an "=".
        __m256i escaped = _mm256_alignr_epi8(isEq, _mm256_permute2x128_si256(isEq, isEq, 0x08), 15);
        if (c.escape)
            escaped = _mm256_or_si256(escaped, _mm256_set_epi64x(0, 0, 0, 0xFF));
        const __m256i decoded =
            _mm256_sub_epi8(_mm256_sub_epi8(v, offset), _mm256_and_si256(escaped, escapeOffset));
        // Packing costs the same whether bytes drop or not, and saves a branch that random
        // data would mispredict every other block.
        const std::uint32_t keep = ~plan.remove;
        const unsigned k0 = keep & 0xFF, k1 = (keep >> 8) & 0xFF;
        const unsigned k2 = (keep >> 16) & 0xFF, k3 = keep >> 24;
        const __m256i pattern =
            _mm256_add_epi8(_mm256_set_epi64x(static_cast<long long>(kPackTable[k3]),
                                              static_cast<long long>(kPackTable[k2]),
                                              static_cast<long long>(kPackTable[k1]),
                                              static_cast<long long>(kPackTable[k0])),
                            upperHalf);
        const __m256i packed = _mm256_shuffle_epi8(decoded, pattern);
        const __m128i lo = _mm256_castsi256_si128(packed);
        const __m128i hi = _mm256_extracti128_si256(packed, 1);
        Byte *out = c.out;
        _mm_storel_epi64(reinterpret_cast<__m128i *>(out), lo);
        out += std::popcount(k0);
        _mm_storel_epi64(reinterpret_cast<__m128i *>(out), _mm_unpackhi_epi64(lo, lo));
        out += std::popcount(k1);
        _mm_storel_epi64(reinterpret_cast<__m128i *>(out), hi);
        out += std::popcount(k2);
        _mm_storel_epi64(reinterpret_cast<__m128i *>(out), _mm_unpackhi_epi64(hi, hi));
        out += std::popcount(k3);
        c.out = out;
        c.p += 32;
        c.lineStart = plan.nextLineStart;
        c.escape = plan.nextEscape;
    }
    ScalarDecode(c, limit);
}

#else

bool HasSse2() {
    return false;
}

bool HasAvx2() {
    return false;
}

void Sse2Decode(Cursor &c, const Byte *limit) {
    ScalarDecode(c, limit);
}

void Avx2Decode(Cursor &c, const Byte *limit) {
    ScalarDecode(c, limit);
}

#endif

using DecodeLoop = void (*)(Cursor &, const Byte *);

DecodeLoop LoopFor(YEncKernel kernel) {
    if (kernel == YEncKernel::Best)
        kernel = BestYEncKernel();
    switch (kernel) {
    case YEncKernel::Avx2:
        if (!HasAvx2())
            throw std::invalid_argument("yEnc decoding with AVX2 is not available");
        return Avx2Decode;
    case YEncKernel::Sse2:
        if (!HasSse2())
            throw std::invalid_argument("yEnc decoding with SSE2 is not available");
        return Sse2Decode;
    default:
        return ScalarDecode;
    }
}

// Decoded bytes are checksummed a window at a time, while they are still in the cache.
constexpr std::size_t kWindow = 16 * 1024;

} // namespace

std::vector<YEncKernel> AvailableYEncKernels() {
    std::vector<YEncKernel> kernels{YEncKernel::Scalar};
    if (HasSse2())
        kernels.push_back(YEncKernel::Sse2);
    if (HasAvx2())
        kernels.push_back(YEncKernel::Avx2);
    return kernels;
}

YEncKernel BestYEncKernel() {
    if (HasAvx2())
        return YEncKernel::Avx2;
    return HasSse2() ? YEncKernel::Sse2 : YEncKernel::Scalar;
}

YEncDecodeResult YEncDecode(std::string_view in, char *out, const YEncDecodeOptions &options) {
    const DecodeLoop loop = LoopFor(options.kernel);
    const auto *const begin = reinterpret_cast<const Byte *>(in.data());
    auto *const outBegin = reinterpret_cast<Byte *>(out);
    Cursor c{begin, begin + in.size(), outBegin};
    std::uint32_t crc = options.crc;
    while (c.p < c.end && !c.stopped) {
        Byte *const from = c.out;
        loop(c, c.p + std::min<std::size_t>(kWindow, static_cast<std::size_t>(c.end - c.p)));
        crc = Crc32(crc, from, static_cast<std::size_t>(c.out - from), options.crcMethod);
    }
    YEncDecodeResult result;
    result.consumed = static_cast<std::size_t>(c.p - begin);
    result.written = static_cast<std::size_t>(c.out - outBegin);
    result.crc = crc;
    result.stop = c.stop;
    return result;
}

} // namespace vexil
