#pragma once
// Runs the registered benchmarks and, for each case measured both as "OURS/case" and as
// "PEER/case", prints how fast ours is against the peer in the same run (peer time divided
// by ours: above 1 means faster than the peer). The ratio is taken on CPU time, which other
// work on a shared machine does not inflate; a benchmark with manual time (a peer run as a
// process of its own, timed by the CPU time of that process) counts with that time. With
// --benchmark_repetitions the ratio is that of the medians, which one disturbed repetition
// does not move.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace vexil::bench {

class PeerRatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run> &runs) override {
        for (const Run &run : runs) {
            if (run.error_occurred)
                continue;
            if (run.run_type == Run::RT_Iteration && run.repetitions <= 1)
                Record(run.run_name.str(), run);
            else if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                Record(run.run_name.str(), run);
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // Prints one line per case; returns how many cases missed the target ratio.
    int PrintRatios(const std::string &ours, const std::string &peer, double target) const {
        int missed = 0;
        for (const auto &[name, time] : times_) {
            if (name.rfind(ours + "/", 0) != 0)
                continue;
            const std::string rest = name.substr(ours.size());
            const auto other = times_.find(peer + rest);
            if (other == times_.end() || time <= 0)
                continue;
            const double ratio = other->second / time;
            missed += ratio < target;
            std::printf("ratio %s : %s%s = %.2f on CPU time (target %.2f)%s\n", ours.c_str(),
                        peer.c_str(), rest.c_str(), ratio, target,
                        ratio < target ? "  MISSED" : "");
        }
        return missed;
    }

private:
    void Record(std::string name, const Run &run) {
        const std::string manual = "/manual_time";
        const bool isManual = name.size() > manual.size() &&
                              name.compare(name.size() - manual.size(), manual.size(), manual) == 0;
        if (isManual)
            name.resize(name.size() - manual.size());
        times_[name] = isManual ? run.GetAdjustedRealTime() : run.GetAdjustedCPUTime();
    }

    std::map<std::string, double> times_;
};

// The usual benchmark main, then the ratios.
inline int RunWithRatios(int argc, char **argv, const std::string &ours, const std::string &peer,
                         double target) {
    benchmark::Initialize(&argc, argv);
    PeerRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    reporter.PrintRatios(ours, peer, target);
    return 0;
}

} // namespace vexil::bench
