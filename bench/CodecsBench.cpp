// The three line decoders over 16 MB payloads as articles carry them: base64 in lines of 76
// characters, uuencode in lines of 61, quoted-printable text. MB/s counts encoded bytes per
// second of wall time. Base64 runs beside OpenSSL's EVP decoder on the same bytes in this
// process, each writing into a small buffer it reuses, with the ratio on CPU time (target:
// at least as fast).
// VEXIL_BENCH_BASE64=FILE decodes that file's base64 lines instead of a generated payload,
// so that bench/codecs.sh can time coreutils on exactly the same bytes.
#include "bench/PeerRatio.h"
#include "message/Base64.h"
#include "message/TQuotedPrintable.h"
#include "message/UUCode.h"
#include "platform/TStream.h"

#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kPayload = 16 << 20;

std::string RandomBytes(std::size_t n) {
    std::mt19937_64 rng(42);
    std::string s(n, '\0');
    for (std::size_t i = 0; i + 8 <= n; i += 8) {
        const auto v = rng();
        std::memcpy(&s[i], &v, 8);
    }
    return s;
}

std::string ReadFile(const char *path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

const std::string &Base64Payload() {
    static const std::string text = [] {
        if (const char *file = std::getenv("VEXIL_BENCH_BASE64"))
            return ReadFile(file);
        const std::string bytes = RandomBytes(kPayload / 4 * 3);
        std::string out;
        for (std::size_t pos = 0; pos < bytes.size(); pos += 57)
            out += vexil::Base64EncodeBlock(std::string_view(bytes).substr(pos, 57)) + "\n";
        return out;
    }();
    return text;
}

const std::string &UUPayload() {
    static const std::string text = [] {
        const std::string bytes = RandomBytes(kPayload / 61 * 45);
        std::string out;
        for (std::size_t pos = 0; pos < bytes.size(); pos += 45)
            out += vexil::UUEncodeBlock(std::string_view(bytes).substr(pos, 45)) + "\n";
        return out;
    }();
    return text;
}

// Latin-1 prose with line ends, as a quoted-printable body carries it.
const std::vector<std::string> &QPLines() {
    static const std::vector<std::string> lines = [] {
        std::mt19937 rng(7);
        const char *words[] = {"Gr\xfc\xdf"
                               "e",
                               "picture",
                               "K\xf6ln",
                               "=",
                               "news",
                               "the",
                               "caf\xe9",
                               "binaries",
                               "a",
                               "of"};
        std::string text;
        while (text.size() < kPayload / 2) {
            std::string line;
            while (line.size() < 50 + rng() % 60)
                line += std::string(words[rng() % 10]) + " ";
            text += line + "\r\n";
        }
        vexil::TMemoryStream stream(text);
        std::vector<std::string> out;
        vexil::TQuotedPrintable(stream, out).Encode();
        return out;
    }();
    return lines;
}

// Calls decode(line, out) for every line of text and counts the encoded bytes.
template <typename Decode>
void DecodeLines(benchmark::State &state, const std::string &text, Decode decode) {
    std::string out(1 << 12, '\0');
    std::size_t produced = 0;
    for (auto _ : state) {
        const char *p = text.data();
        const char *const end = p + text.size();
        while (p < end) {
            const char *lf = static_cast<const char *>(std::memchr(p, '\n', end - p));
            if (lf == nullptr)
                lf = end;
            std::size_t n = static_cast<std::size_t>(lf - p);
            if (n > 0 && p[n - 1] == '\r')
                --n;
            if (n > 0)
                produced += decode(std::string_view(p, n), out.data(), out.size());
            p = lf + 1;
        }
        benchmark::DoNotOptimize(out.data());
    }
    benchmark::DoNotOptimize(produced);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void VexilBase64(benchmark::State &state) {
    DecodeLines(state, Base64Payload(), vexil::Base64Decode);
}

// OpenSSL's streaming decoder, fed in pieces that fit its output into a 4 KB buffer: it
// finds the line ends itself.
void OpenSSLBase64(benchmark::State &state) {
    const std::string &text = Base64Payload();
    constexpr std::size_t kPiece = 4096;
    std::vector<unsigned char> out(kPiece);
    EVP_ENCODE_CTX *context = EVP_ENCODE_CTX_new();
    std::size_t produced = 0;
    for (auto _ : state) {
        EVP_DecodeInit(context);
        int n = 0;
        for (std::size_t pos = 0; pos < text.size(); pos += kPiece) {
            const int size = int(std::min(kPiece, text.size() - pos));
            if (EVP_DecodeUpdate(context, out.data(), &n,
                                 reinterpret_cast<const unsigned char *>(text.data() + pos),
                                 size) < 0) {
                state.SkipWithError("EVP_DecodeUpdate rejected the payload");
                break;
            }
            produced += std::size_t(n);
        }
        if (EVP_DecodeFinal(context, out.data(), &n) < 0)
            state.SkipWithError("EVP_DecodeFinal rejected the payload");
        benchmark::DoNotOptimize(out.data());
    }
    EVP_ENCODE_CTX_free(context);
    benchmark::DoNotOptimize(produced);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void BM_Base64DecodeLineShortText(benchmark::State &state) {
    DecodeLines(state, Base64Payload(), [](std::string_view line, char *, std::size_t) {
        return vexil::Base64DecodeLine(line).size();
    });
}

void BM_UUDecode(benchmark::State &state) {
    DecodeLines(state, UUPayload(), vexil::UUDecode);
}

void BM_QuotedPrintableDecode(benchmark::State &state) {
    std::vector<std::string> lines = QPLines();
    std::size_t bytes = 0;
    for (const auto &l : lines)
        bytes += l.size() + 2;
    for (auto _ : state) {
        vexil::TMemoryStream out;
        vexil::TQuotedPrintable(out, lines).Decode();
        benchmark::DoNotOptimize(out.Bytes().data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

} // namespace

BENCHMARK(BM_Base64DecodeLineShortText)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_UUDecode)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_QuotedPrintableDecode)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char **argv) {
    benchmark::RegisterBenchmark("Vexil/base64_lines_76", VexilBase64)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->MinTime(1.0);
    benchmark::RegisterBenchmark("OpenSSL-EVP/base64_lines_76", OpenSSLBase64)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->MinTime(1.0);
    return vexil::bench::RunWithRatios(argc, argv, "Vexil", "OpenSSL-EVP", 1.0);
}
