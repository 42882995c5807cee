// The news client against a real server (bench/nntp-bench.sh starts a private INN with a
// group of 1000 picture articles): headers per second for the header walk, and megabytes per
// second for article fetches, with and without decoding the articles.
#include "message/TmsArticle.h"
#include "net/TmsNNTP.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

namespace {

using namespace vexil;

std::string Env(const char *name) {
    const char *value = std::getenv(name);
    return value != nullptr ? value : "";
}

// Counts the bytes of every article block; decodes it as the browser does when asked to.
class CountingArticle : public TmsArticle {
public:
    explicit CountingArticle(bool decode) : decode_(decode) {}
    void LoadFromStream(TStream &stream) override {
        bytes += stream.Size();
        if (decode_)
            TmsArticle::LoadFromStream(stream);
    }
    std::int64_t bytes = 0;

private:
    bool decode_;
};

void Prepare(TmsNNTP &nntp) {
    nntp.SetWinsockLoaded(true);
    nntp.SetServer(Env("VEXIL_BENCH_SERVER"));
    nntp.SetTimeOut(60);
    nntp.SetNewsGroup(Env("VEXIL_BENCH_GROUP"));
}

void HeaderWalk(benchmark::State &state) {
    TmsNNTP nntp;
    Prepare(nntp);
    std::int64_t headers = 0;
    for (auto _ : state) {
        nntp.SetLastRetrieved(-1);
        nntp.RetrieveHeaders(0, false);
        headers += nntp.HeaderList().Count();
    }
    state.counters["headers_per_s"] =
        benchmark::Counter(static_cast<double>(headers), benchmark::Counter::kIsRate);
}

void ArticleFetch(benchmark::State &state, bool decode) {
    TmsNNTP nntp;
    Prepare(nntp);
    CountingArticle article(decode);
    nntp.SetArticle(&article);
    for (auto _ : state)
        for (int n = nntp.FirstArticle(); n <= nntp.LastArticle(); ++n)
            nntp.RetrieveArticle(n);
    state.counters["MB_per_s"] =
        benchmark::Counter(static_cast<double>(article.bytes) / 1e6, benchmark::Counter::kIsRate);
    state.counters["bytes"] = static_cast<double>(article.bytes) / state.iterations();
}

} // namespace

// Several repetitions: the script takes the best, as it does for the peer, so that the load
// of a shared machine weighs on both alike.
BENCHMARK(HeaderWalk)->Iterations(3)->Repetitions(5)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(ArticleFetch, transfer, false)
    ->Iterations(3)
    ->Repetitions(5)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(ArticleFetch, decoded, true)
    ->Iterations(3)
    ->Repetitions(5)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_MAIN();
