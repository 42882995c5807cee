#pragma once
// CRC-32 with the polynomial of zlib, PNG and yEnc (reflected 0xEDB88320, inverted before and
// after), and the combination of two CRCs without the bytes behind them.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace vexil {

// How the CRC is computed: slicing-by-8 tables, carry-less multiplication on 128-bit
// registers (PCLMULQDQ) or on 256-bit ones (VPCLMULQDQ with AVX2). Best is the fastest one
// the processor supports; the others exist so that tests and benchmarks can run each.
enum class Crc32Method { Best, Table, Pclmul, Vpclmul };

// The methods this processor can run, Table always first; Best is not listed.
std::vector<Crc32Method> AvailableCrc32Methods();

// The method that Best stands for on this processor.
Crc32Method BestCrc32Method();

// The CRC of size bytes continued from crc (0 to start), as zlib's crc32(crc, data, size).
// A method the processor lacks raises std::invalid_argument.
std::uint32_t Crc32(std::uint32_t crc, const void *data, std::size_t size,
                    Crc32Method method = Crc32Method::Best);

inline std::uint32_t Crc32(std::string_view bytes, Crc32Method method = Crc32Method::Best) {
    return Crc32(0, bytes.data(), bytes.size(), method);
}

// The CRC of A followed by B from the CRC of A, the CRC of B and the length of B, as zlib's
// crc32_combine; costs O(log secondSize) and reads no data.
std::uint32_t Crc32Combine(std::uint32_t first, std::uint32_t second, std::uint64_t secondSize);

} // namespace vexil
