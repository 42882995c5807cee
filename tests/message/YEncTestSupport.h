#pragma once
// Shared by the yEnc tests: decoding with every kernel the processor has, and a small walk
// over an article's yEnc lines.

#include "ArticleTestSupport.h"

#include "message/YEncDecoder.h"
#include "message/YEncFileCheck.h"
#include "message/YEncHeader.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>

namespace vexil::test {

inline const char *KernelName(YEncKernel kernel) {
    switch (kernel) {
    case YEncKernel::Scalar:
        return "scalar";
    case YEncKernel::Sse2:
        return "SSE2";
    case YEncKernel::Avx2:
        return "AVX2";
    default:
        return "best";
    }
}

struct Decoded {
    std::string bytes;
    YEncDecodeResult result;
};

inline Decoded DecodeWith(YEncKernel kernel, std::string_view text) {
    Decoded d;
    d.bytes.assign(text.size(), '\0');
    YEncDecodeOptions options;
    options.kernel = kernel;
    d.result = YEncDecode(text, d.bytes.data(), options);
    d.bytes.resize(d.result.written);
    return d;
}

// Decodes text with every available kernel, expects them all to agree, and returns the
// scalar result.
inline Decoded DecodeAll(std::string_view text) {
    const Decoded reference = DecodeWith(YEncKernel::Scalar, text);
    for (const YEncKernel kernel : AvailableYEncKernels()) {
        const Decoded d = DecodeWith(kernel, text);
        EXPECT_TRUE(d.bytes == reference.bytes) << KernelName(kernel);
        EXPECT_EQ(d.result.crc, reference.result.crc) << KernelName(kernel);
        EXPECT_EQ(d.result.consumed, reference.result.consumed) << KernelName(kernel);
        EXPECT_EQ(d.result.stop, reference.result.stop) << KernelName(kernel);
    }
    return reference;
}

// Encoded text written by hand, decoded the plain way: line ends dropped, "=" escapes the
// next byte.
inline std::string HandDecoded(std::string_view encoded) {
    std::string out;
    bool escape = false;
    for (const char c : encoded) {
        if (c == '\r' || c == '\n')
            continue;
        if (escape)
            out += static_cast<char>(c - 106);
        else if (c != '=')
            out += static_cast<char>(c - 42);
        escape = !escape && c == '=';
    }
    return out;
}

// One yEnc file or part found in an article as the news client frames it.
struct ArticlePart {
    YEncBegin begin;
    std::optional<YEncPart> part;
    std::optional<YEncEnd> end;
    Decoded data;
};

inline std::string_view LineAt(std::string_view text, std::size_t pos) {
    const std::size_t eol = text.find('\n', pos);
    return text.substr(pos, eol == std::string_view::npos ? text.size() - pos : eol + 1 - pos);
}

// Finds the first "=ybegin" line of the article and decodes what follows with kernel.
inline std::optional<ArticlePart> ReadArticlePart(std::string_view article, YEncKernel kernel) {
    std::size_t pos = 0;
    std::optional<YEncBegin> begin;
    while (pos < article.size() && !begin) {
        const std::string_view line = LineAt(article, pos);
        begin = ParseYEncBegin(line);
        pos += line.size();
    }
    if (!begin)
        return std::nullopt;
    ArticlePart p{*begin, std::nullopt, std::nullopt, {}};
    if (p.begin.part) {
        const std::string_view line = LineAt(article, pos);
        p.part = ParseYEncPart(line);
        if (p.part)
            pos += line.size();
    }
    p.data = DecodeWith(kernel, article.substr(pos));
    if (p.data.result.stop == YEncStop::KeywordLine)
        p.end = ParseYEncEnd(LineAt(article, pos + p.data.result.consumed));
    return p;
}

// The check's view of a decoded part: a single-part file covers the whole file and its
// crc32= is its own CRC.
inline YEncPartData PartData(const ArticlePart &p) {
    YEncPartData d;
    d.range = p.part ? *p.part : YEncPart{1, p.begin.size};
    if (p.end) {
        d.endSize = p.end->size;
        d.pcrc32 = p.part ? p.end->pcrc32 : p.end->crc32;
    }
    d.decodedSize = p.data.bytes.size();
    d.decodedCrc = p.data.result.crc;
    return d;
}

} // namespace vexil::test
