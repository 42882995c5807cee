// yEnc decoding of a 16 MB file in memory, CRC-32 included, by each kernel the processor
// has: lines of 128 characters as posted, either as stored (CR LF) or as a news server sends
// them (leading dots doubled, undone in the same pass). bytes_per_second counts decoded
// bytes. Beside it, the CRC-32 methods alone with zlib's crc32 as the floor.
#include "message/Crc32.h"
#include "message/YEncDecoder.h"
#include "message/YEncEncoder.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstring>
#include <random>
#include <string>

namespace {

constexpr std::size_t kFileSize = 16 << 20;

const std::string &File() {
    static const std::string bytes = [] {
        std::mt19937_64 rng(42);
        std::string s(kFileSize, '\0');
        for (std::size_t i = 0; i + 8 <= s.size(); i += 8) {
            const auto v = rng();
            std::memcpy(&s[i], &v, 8);
        }
        return s;
    }();
    return bytes;
}

// The encoded text; in server form, the leading dots doubled.
const std::string &Encoded(bool serverForm) {
    static const std::string stored = vexil::YEncEncode(File(), 128);
    static const std::string wire = [] {
        std::string out;
        out.reserve(stored.size() + stored.size() / 100);
        bool lineStart = true;
        for (const char c : stored) {
            if (lineStart && c == '.')
                out += '.';
            out += c;
            lineStart = c == '\n';
        }
        return out;
    }();
    return serverForm ? wire : stored;
}

void BM_YEncDecode(benchmark::State &state, vexil::YEncKernel kernel, bool serverForm) {
    const auto kernels = vexil::AvailableYEncKernels();
    if (std::find(kernels.begin(), kernels.end(), kernel) == kernels.end()) {
        state.SkipWithError("kernel not available on this processor");
        return;
    }
    const std::string &text = Encoded(serverForm);
    std::string out(text.size(), '\0');
    vexil::YEncDecodeOptions options;
    options.kernel = kernel;
    options.serverForm = serverForm;
    const std::uint32_t expected = vexil::Crc32(File());
    for (auto _ : state) {
        const auto result = vexil::YEncDecode(text, out.data(), options);
        if (result.written != kFileSize || result.crc != expected) {
            state.SkipWithError("decoded bytes differ from the file");
            return;
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kFileSize));
}

void BM_Crc32(benchmark::State &state, vexil::Crc32Method method) {
    const auto methods = vexil::AvailableCrc32Methods();
    if (std::find(methods.begin(), methods.end(), method) == methods.end()) {
        state.SkipWithError("method not available on this processor");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(vexil::Crc32(File(), method));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kFileSize));
}

void BM_Crc32Zlib(benchmark::State &state) {
    const std::string &file = File();
    for (auto _ : state)
        benchmark::DoNotOptimize(
            crc32(0, reinterpret_cast<const Bytef *>(file.data()), static_cast<uInt>(file.size())));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kFileSize));
}

} // namespace

using vexil::Crc32Method;
using vexil::YEncKernel;

BENCHMARK_CAPTURE(BM_YEncDecode, scalar, YEncKernel::Scalar, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_YEncDecode, sse2, YEncKernel::Sse2, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_YEncDecode, avx2, YEncKernel::Avx2, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_YEncDecode, scalar_server_form, YEncKernel::Scalar, true)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_YEncDecode, sse2_server_form, YEncKernel::Sse2, true)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_YEncDecode, avx2_server_form, YEncKernel::Avx2, true)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Crc32, table, Crc32Method::Table)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Crc32, pclmul, Crc32Method::Pclmul)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Crc32Zlib)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
