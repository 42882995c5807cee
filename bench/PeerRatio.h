#pragma once
// Runs the registered benchmarks and, for each case measured both as "OURS/case" and as
// "PEER/case", prints how fast ours is against the peer in the same run (peer time divided
// by ours: above 1 means faster than the peer). The ratio is taken on CPU time, which other
// work on a shared machine does not inflate; a benchmark with manual time (a peer run as a
// process of its own, timed by the CPU time of that process) counts with that time. With
// --benchmark_repetitions the ratio is that of the medians, which one disturbed repetition
// does not move.
//
// The exit status says whether every target was met: a missed target, a case of ours or a
// peer that failed (crashed, or reported an error), or a case with no peer figure to compare
// with all make it non-zero. VEXIL_BENCH_TARGET_FACTOR multiplies every target, so that an
// impossible target can show that a miss is caught.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include <unistd.h>

namespace vexil::bench {

// A peer that cases of ours are compared with. A target of 0 marks a figure shown for
// information only, because the peer runs on another footing (a whole process, say); Note
// says which, beside its ratio.
struct TPeer {
    std::string Name;
    double Target = 0;
    std::string Note;
};

// The factor VEXIL_BENCH_TARGET_FACTOR gives every target (1 when unset).
inline double TargetFactor() {
    const char *text = std::getenv("VEXIL_BENCH_TARGET_FACTOR");
    if (text == nullptr || *text == '\0')
        return 1.0;
    char *end = nullptr;
    const double factor = std::strtod(text, &end);
    if (*end != '\0' || !(factor > 0)) {
        std::fprintf(stderr, "VEXIL_BENCH_TARGET_FACTOR must be a positive number, not \"%s\"\n",
                     text);
        std::exit(2);
    }
    return factor;
}

class PeerRatioReporter : public benchmark::ConsoleReporter {
public:
    // Colours only on a terminal, so that logs stay plain text.
    PeerRatioReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}

    void ReportRuns(const std::vector<Run> &runs) override {
        for (const Run &run : runs) {
            if (run.error_occurred)
                failures_[Key(run)] = run.error_message;
            else if (run.run_type == Run::RT_Iteration && run.repetitions <= 1)
                Record(run);
            else if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                Record(run);
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // Prints one line per case and peer; returns how many checks failed: targets missed,
    // cases or peers that failed, cases without a figure of a peer that has a target.
    int PrintRatios(const std::string &ours, const std::vector<TPeer> &peers, double factor) const {
        int failed = 0;
        int cases = 0;
        for (const std::string &name : Names(ours)) {
            ++cases;
            const std::string rest = name.substr(ours.size());
            if (Failed(name)) {
                ++failed;
                continue;
            }
            for (const TPeer &peer : peers)
                failed += !PrintRatio(name, peer, rest, factor);
        }
        if (cases == 0) {
            std::printf("FAILED: no case of %s was measured\n", ours.c_str());
            ++failed;
        }
        return failed;
    }

private:
    static std::string Key(const Run &run) {
        const auto &name = run.run_name;
        return name.args.empty() ? name.function_name : name.function_name + "/" + name.args;
    }

    void Record(const Run &run) {
        const bool manual = run.run_name.time_type == "manual_time";
        times_[Key(run)] = manual ? run.GetAdjustedRealTime() : run.GetAdjustedCPUTime();
    }

    // The cases of ours that ran, whether they succeeded or not.
    std::vector<std::string> Names(const std::string &ours) const {
        std::vector<std::string> names;
        const auto add = [&](const std::string &name) {
            if (name.rfind(ours + "/", 0) == 0)
                names.push_back(name);
        };
        for (const auto &entry : times_)
            add(entry.first);
        for (const auto &entry : failures_)
            if (times_.count(entry.first) == 0)
                add(entry.first);
        return names;
    }

    // Reports a case that failed; true when it did.
    bool Failed(const std::string &name) const {
        const auto failure = failures_.find(name);
        if (failure == failures_.end())
            return false;
        std::printf("CRASHED: %s failed (%s): no ratio\n", name.c_str(), failure->second.c_str());
        return true;
    }

    // Prints the ratio against one peer; false when that check failed.
    bool PrintRatio(const std::string &name, const TPeer &peer, const std::string &rest,
                    double factor) const {
        const std::string other = peer.Name + rest;
        const bool counts = peer.Target > 0;
        if (Failed(other))
            return !counts;
        const auto ourTime = times_.find(name);
        const auto peerTime = times_.find(other);
        if (peerTime == times_.end() || ourTime->second <= 0) {
            if (counts)
                std::printf("FAILED: no figure of %s to compare %s with\n", other.c_str(),
                            name.c_str());
            return !counts;
        }
        const double ratio = peerTime->second / ourTime->second;
        if (!counts) {
            std::printf("ratio %s : %s = %.2f (%s; no target)\n", name.c_str(), other.c_str(),
                        ratio, peer.Note.c_str());
            return true;
        }
        const double target = peer.Target * factor;
        std::printf("ratio %s : %s = %.2f on CPU time (target %.2f)%s\n", name.c_str(),
                    other.c_str(), ratio, target, ratio < target ? "  MISSED" : "");
        return ratio >= target;
    }

    std::map<std::string, double> times_;
    std::map<std::string, std::string> failures_;
};

// The usual benchmark main, then the ratios; non-zero when any check failed.
inline int RunWithRatios(int argc, char **argv, const std::string &ours,
                         const std::vector<TPeer> &peers) {
    const double factor = TargetFactor();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 2;
    PeerRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    const int failed = reporter.PrintRatios(ours, peers, factor);
    if (failed > 0)
        std::printf("%d check(s) of %s failed\n", failed, ours.c_str());
    return failed > 0 ? 1 : 0;
}

inline int RunWithRatios(int argc, char **argv, const std::string &ours, const std::string &peer,
                         double target) {
    return RunWithRatios(argc, argv, ours, {TPeer{peer, target, ""}});
}

} // namespace vexil::bench
