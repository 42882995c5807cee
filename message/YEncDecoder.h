#pragma once
// Decodes the encoded lines of one yEnc file or part, from the line after "=ybegin" (or
// "=ypart") up to the "=yend" line, in one pass that also computes the CRC of the bytes
// written. Line ends (CR LF, LF, a lone CR) are dropped; every other byte is data, a blank
// or TAB at the end of a line included. "=" escapes the next byte even across a line end;
// lines may be of any length.

#include "message/Crc32.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace vexil {

// The implementations of the decoding loop; Best is the fastest the processor supports. All
// give the same result; the others exist so that tests, fuzzers and benchmarks run each.
enum class YEncKernel { Best, Scalar, Sse2, Avx2 };

// The kernels this processor can run, Scalar first; Best is not listed.
std::vector<YEncKernel> AvailableYEncKernels();

// The kernel that Best stands for on this processor.
YEncKernel BestYEncKernel();

// Why decoding stopped.
enum class YEncStop {
    InputEnd,    // every byte was decoded
    KeywordLine, // at a line starting with "=y" (normally "=yend")
};

struct YEncDecodeOptions {
    YEncKernel kernel = YEncKernel::Best;
    Crc32Method crcMethod = Crc32Method::Best;
    // The CRC of the bytes decoded before, when a part is decoded in several calls.
    std::uint32_t crc = 0;
};

struct YEncDecodeResult {
    // Bytes of the input used; where decoding stopped at a line, the offset of that line.
    std::size_t consumed = 0;
    std::size_t written = 0;
    std::uint32_t crc = 0; // CRC-32 of the written bytes, continued from options.crc
    YEncStop stop = YEncStop::InputEnd;
};

// Decodes in, taken to start at the beginning of a line, into out, which must hold at least
// in.size() bytes and must not overlap in (the vector kernels store whole blocks, so bytes
// past `written` may be overwritten). A kernel the processor lacks raises
// std::invalid_argument.
YEncDecodeResult YEncDecode(std::string_view in, char *out, const YEncDecodeOptions &options = {});

} // namespace vexil
