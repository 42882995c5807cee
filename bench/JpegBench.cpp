// TJPEGImage against djpeg on the same photo-like JPEG: a full decode to a 24-bit bitmap by
// each, in the same run, and the ratio on CPU time. Target: at least 0.9 of djpeg's speed.
// djpeg runs as its own process (as a user runs it), timed by that process's CPU time, which
// includes its start: 0.6 ms against a decode of tens of milliseconds. Both read the file
// on each decode.
#include "bench/BenchPictures.h"
#include "bench/PeerRatio.h"
#include "picture/TJPEGImage.h"

#include <QGuiApplication>

#include <filesystem>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

extern char **environ;

namespace {

std::string g_file;

void TJPEGImageDecode(benchmark::State &state) {
    for (auto _ : state) {
        vexil::TJPEGImage jpeg;
        jpeg.LoadFromFile(g_file);
        benchmark::DoNotOptimize(jpeg.ToImage().constBits());
    }
}

void DjpegDecode(benchmark::State &state) {
    char *argv[] = {const_cast<char *>("djpeg"), const_cast<char *>("-outfile"),
                    const_cast<char *>("/dev/null"), g_file.data(), nullptr};
    for (auto _ : state) {
        pid_t pid = 0;
        int status = 0;
        rusage usage{};
        if (posix_spawnp(&pid, "djpeg", nullptr, nullptr, argv, environ) != 0 ||
            wait4(pid, &status, 0, &usage) != pid || status != 0) {
            state.SkipWithError("djpeg failed");
            break;
        }
        state.SetIterationTime(double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                               double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6);
    }
}

} // namespace

int main(int argc, char **argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QGuiApplication app(argc, argv);
    g_file = vexil::bench::MakePhotoJpeg(3000, 2000, 90);
    std::printf("JPEG file: %s, %.1f MB\n", g_file.c_str(),
                double(std::filesystem::file_size(g_file)) / 1e6);
    benchmark::RegisterBenchmark("TJPEGImage/decode_3000x2000", TJPEGImageDecode)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("djpeg/decode_3000x2000", DjpegDecode)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime();
    const int rc = vexil::bench::RunWithRatios(argc, argv, "TJPEGImage", "djpeg", 0.9);
    std::filesystem::remove(g_file);
    return rc;
}
