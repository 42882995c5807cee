// The verdict of the benchmarks with peers: every way a comparison can fail must count, and
// figures for information must never fail a run.
#include "bench/PeerRatio.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using vexil::bench::PeerRatioReporter;
using vexil::bench::TPeer;
using TRun = benchmark::BenchmarkReporter::Run;
using testing::HasSubstr;

// One finished run of a case named NAME ("OURS/case") that took SECONDS of CPU time.
TRun Finished(const std::string &name, double seconds) {
    TRun run;
    run.run_name.function_name = name;
    run.run_type = TRun::RT_Iteration;
    run.repetitions = 1;
    run.iterations = 1;
    run.time_unit = benchmark::kSecond;
    run.cpu_accumulated_time = seconds;
    run.real_accumulated_time = seconds * 3; // a shared machine: wall time counts for nothing
    return run;
}

TRun Failed(const std::string &name, const std::string &why) {
    TRun run = Finished(name, 0);
    run.error_occurred = true;
    run.error_message = why;
    return run;
}

// Reports RUNS and returns the number of failed checks against PEERS; the printed lines go
// to *printed.
int Checks(const std::vector<TRun> &runs, const std::vector<TPeer> &peers, double factor = 1,
           std::string *printed = nullptr) {
    PeerRatioReporter reporter;
    std::ostringstream console;
    reporter.SetOutputStream(&console);
    reporter.SetErrorStream(&console);
    reporter.ReportRuns(runs);
    testing::internal::CaptureStdout();
    const int failed = reporter.PrintRatios("ours", peers, factor);
    const std::string out = testing::internal::GetCapturedStdout();
    if (printed != nullptr)
        *printed = out;
    return failed;
}

TEST(PeerRatio, ATargetIsMetOrMissedOnCpuTime) {
    const std::vector<TRun> runs = {Finished("ours/a", 1), Finished("peer/a", 2)};
    std::string out;
    EXPECT_EQ(Checks(runs, {{"peer", 1.5, ""}}, 1, &out), 0);
    EXPECT_THAT(out, HasSubstr("= 2.00"));
    EXPECT_EQ(Checks(runs, {{"peer", 2.5, ""}}, 1, &out), 1);
    EXPECT_THAT(out, HasSubstr("MISSED"));
    // A factor makes a met target impossible, as the scripts' self-check does.
    EXPECT_EQ(Checks(runs, {{"peer", 1.5, ""}}, 1000), 1);
}

TEST(PeerRatio, EveryCaseCountsOnItsOwn) {
    const std::vector<TRun> runs = {Finished("ours/fast", 1), Finished("peer/fast", 3),
                                    Finished("ours/slow", 2), Finished("peer/slow", 1),
                                    Finished("other/slow", 0.1)};
    EXPECT_EQ(Checks(runs, {{"peer", 1, ""}}), 1);
}

TEST(PeerRatio, ACrashedSideLeavesNoRatioAndFails) {
    std::string out;
    EXPECT_EQ(Checks({Finished("ours/a", 1), Failed("peer/a", "djpeg crashed: signal 6")},
                     {{"peer", 1, ""}}, 1, &out),
              1);
    EXPECT_THAT(out, HasSubstr("CRASHED: peer/a failed (djpeg crashed: signal 6)"));
    EXPECT_EQ(Checks({Failed("ours/a", "the picture did not load"), Finished("peer/a", 1)},
                     {{"peer", 1, ""}}, 1, &out),
              1);
    EXPECT_THAT(out, HasSubstr("CRASHED: ours/a"));
}

TEST(PeerRatio, AMissingFigureFails) {
    EXPECT_EQ(Checks({Finished("ours/a", 1)}, {{"peer", 1, ""}}), 1);
    EXPECT_EQ(Checks({Finished("peer/a", 1)}, {{"peer", 1, ""}}), 1);
}

TEST(PeerRatio, AFigureForInformationNeverFails) {
    const TPeer process{"process", 0, "whole process"};
    std::string out;
    EXPECT_EQ(Checks({Finished("ours/a", 1), Finished("process/a", 0.1)}, {process}, 1, &out), 0);
    EXPECT_THAT(out, HasSubstr("whole process; no target"));
    EXPECT_EQ(Checks({Finished("ours/a", 1), Failed("process/a", "killed")}, {process}, 1, &out),
              0);
    EXPECT_THAT(out, HasSubstr("CRASHED: process/a"));
    EXPECT_EQ(Checks({Finished("ours/a", 1)}, {process}), 0);
}

TEST(PeerRatio, RepetitionsCompareMediansAndManualTimeCountsAsMeasured) {
    TRun ourMedian = Finished("ours/a", 1);
    ourMedian.run_type = TRun::RT_Aggregate;
    ourMedian.aggregate_name = "median";
    TRun ourMean = ourMedian;
    ourMean.aggregate_name = "mean";
    ourMean.cpu_accumulated_time = 10;
    TRun ourRepetition = Finished("ours/a", 0.1);
    ourRepetition.repetitions = 5;
    // A peer run as a process of its own: its manual time is that process's CPU time.
    TRun peer = Finished("peer/a", 0);
    peer.run_name.time_type = "manual_time";
    peer.real_accumulated_time = 1.5;
    std::string out;
    EXPECT_EQ(Checks({ourRepetition, ourMedian, ourMean, peer}, {{"peer", 1, ""}}, 1, &out), 0);
    EXPECT_THAT(out, HasSubstr("= 1.50"));
}

// The whole main of a benchmark with a peer: its exit status is the verdict.
int RunMain(double ourSeconds, double peerSeconds, double target) {
    benchmark::ClearRegisteredBenchmarks();
    const auto timed = [](double seconds) {
        return [seconds](benchmark::State &state) {
            for (auto _ : state)
                state.SetIterationTime(seconds);
        };
    };
    benchmark::RegisterBenchmark("ours/case", timed(ourSeconds))->UseManualTime()->Iterations(1);
    benchmark::RegisterBenchmark("peer/case", timed(peerSeconds))->UseManualTime()->Iterations(1);
    char program[] = "bench";
    char *argv[] = {program, nullptr};
    testing::internal::CaptureStdout();
    const int status = vexil::bench::RunWithRatios(1, argv, "ours", "peer", target);
    testing::internal::GetCapturedStdout();
    return status;
}

TEST(PeerRatio, TheExitStatusIsTheVerdict) {
    EXPECT_EQ(RunMain(0.001, 0.002, 1.5), 0);
    EXPECT_NE(RunMain(0.001, 0.002, 2.5), 0);
}

} // namespace
