// yEnc decoding in memory, CRC-32 included, by each kernel the processor has, of a 1 MB file
// (an article's worth, which stays in the cache) and of a 16 MB one (which does not): lines of
// 128 characters as posted (CR LF), as the framer hands them over. bytes_per_second counts
// decoded bytes. Beside it,
// the CRC-32 methods alone with zlib's crc32 as the floor.
#include "message/Crc32.h"
#include "message/YEncDecoder.h"
#include "message/YEncEncoder.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <random>
#include <string>

namespace {

struct Payload {
    std::string file;
    std::string stored; // encoded
};

std::string RandomBytes(std::size_t n) {
    std::mt19937_64 rng(42);
    std::string s(n, '\0');
    for (std::size_t i = 0; i + 8 <= s.size(); i += 8) {
        const auto v = rng();
        std::memcpy(&s[i], &v, 8);
    }
    return s;
}

const Payload &PayloadOf(std::size_t size) {
    static std::map<std::size_t, Payload> payloads;
    auto it = payloads.find(size);
    if (it == payloads.end()) {
        Payload p;
        p.file = RandomBytes(size);
        p.stored = vexil::YEncEncode(p.file, 128);
        it = payloads.emplace(size, std::move(p)).first;
    }
    return it->second;
}

void BM_YEncDecode(benchmark::State &state, vexil::YEncKernel kernel) {
    const auto kernels = vexil::AvailableYEncKernels();
    if (std::find(kernels.begin(), kernels.end(), kernel) == kernels.end()) {
        state.SkipWithError("kernel not available on this processor");
        return;
    }
    const Payload &payload = PayloadOf(static_cast<std::size_t>(state.range(0)));
    const std::string &text = payload.stored;
    std::string out(text.size(), '\0');
    vexil::YEncDecodeOptions options;
    options.kernel = kernel;
    const std::uint32_t expected = vexil::Crc32(payload.file);
    for (auto _ : state) {
        const auto result = vexil::YEncDecode(text, out.data(), options);
        if (result.written != payload.file.size() || result.crc != expected) {
            state.SkipWithError("decoded bytes differ from the file");
            return;
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * payload.file.size()));
}

void BM_Crc32(benchmark::State &state, vexil::Crc32Method method) {
    const auto methods = vexil::AvailableCrc32Methods();
    if (std::find(methods.begin(), methods.end(), method) == methods.end()) {
        state.SkipWithError("method not available on this processor");
        return;
    }
    const std::string &file = PayloadOf(static_cast<std::size_t>(state.range(0))).file;
    for (auto _ : state)
        benchmark::DoNotOptimize(vexil::Crc32(file, method));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.size()));
}

void BM_Crc32Zlib(benchmark::State &state) {
    const std::string &file = PayloadOf(static_cast<std::size_t>(state.range(0))).file;
    for (auto _ : state)
        benchmark::DoNotOptimize(
            crc32(0, reinterpret_cast<const Bytef *>(file.data()), static_cast<uInt>(file.size())));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.size()));
}

} // namespace

using vexil::Crc32Method;
using vexil::YEncKernel;

// Arguments: the file's size.
#define VEXIL_SIZES ->Arg(1 << 20)->Arg(16 << 20)->Unit(benchmark::kMicrosecond)
BENCHMARK_CAPTURE(BM_YEncDecode, scalar, YEncKernel::Scalar) VEXIL_SIZES;
BENCHMARK_CAPTURE(BM_YEncDecode, sse2, YEncKernel::Sse2) VEXIL_SIZES;
BENCHMARK_CAPTURE(BM_YEncDecode, avx2, YEncKernel::Avx2) VEXIL_SIZES;
BENCHMARK_CAPTURE(BM_Crc32, table, Crc32Method::Table) VEXIL_SIZES;
BENCHMARK_CAPTURE(BM_Crc32, pclmul, Crc32Method::Pclmul) VEXIL_SIZES;
BENCHMARK_CAPTURE(BM_Crc32, vpclmul, Crc32Method::Vpclmul) VEXIL_SIZES;
BENCHMARK(BM_Crc32Zlib) VEXIL_SIZES;

BENCHMARK_MAIN();
