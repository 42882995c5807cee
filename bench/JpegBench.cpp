// TJPEGImage against libjpeg-turbo's own API on the same photo-like JPEG, both in this
// process: each reads the file into memory the same way and decodes it in full to 32-bit
// BGRX rows with the library's default (best quality) settings. The ratio is on CPU time;
// target: at least 0.9 of libjpeg-turbo's speed (both are the same library underneath).
// djpeg as a whole process (start-up and PPM output to /dev/null included, timed by that
// process's CPU time) is shown beside it for information.
#include "bench/BenchPictures.h"
#include "bench/PeerRatio.h"
#include "picture/TJPEGImage.h"
#include "platform/TStream.h"

#include <QGuiApplication>

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <jpeglib.h>
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

struct TJumpError {
    jpeg_error_mgr Manager; // first, so that libjpeg's pointer to it is one to the whole
    std::jmp_buf Jump;
};

void JumpOnError(j_common_ptr info) {
    std::longjmp(reinterpret_cast<TJumpError *>(info->err)->Jump, 1);
}

// One decode as libjpeg-turbo's documentation shows it, into a buffer of rows allocated
// without being cleared (as QImage allocates). False when libjpeg reported an error.
bool LibjpegDecodeOnce(std::string_view bytes, std::unique_ptr<std::uint8_t[]> &pixels,
                       std::vector<JSAMPROW> &rows) {
    jpeg_decompress_struct info{};
    TJumpError error{};
    info.err = jpeg_std_error(&error.Manager);
    error.Manager.error_exit = JumpOnError;
    if (setjmp(error.Jump) != 0) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char *>(bytes.data()),
                 static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_EXT_BGRX;
    jpeg_start_decompress(&info);
    const std::size_t stride = std::size_t(info.output_width) * 4;
    pixels.reset(); // freed first, as a new QImage's is after the last one went
    pixels.reset(new std::uint8_t[stride * info.output_height]);
    rows.resize(info.output_height);
    for (std::size_t y = 0; y < rows.size(); ++y)
        rows[y] = pixels.get() + y * stride;
    while (info.output_scanline < info.output_height)
        jpeg_read_scanlines(&info, rows.data() + info.output_scanline,
                            info.output_height - info.output_scanline);
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

void LibjpegDecode(benchmark::State &state) {
    std::unique_ptr<std::uint8_t[]> pixels;
    std::vector<JSAMPROW> rows;
    for (auto _ : state) {
        vexil::TMemoryStream bytes;
        bytes.LoadFromFile(g_file);
        if (!LibjpegDecodeOnce(bytes.Bytes(), pixels, rows)) {
            state.SkipWithError("libjpeg-turbo reported an error");
            break;
        }
        benchmark::DoNotOptimize(pixels.get());
    }
}

// The CPU time of a finished child process, in seconds.
double ChildSeconds(const rusage &usage) {
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void DjpegProcess(benchmark::State &state) {
    char *argv[] = {const_cast<char *>("djpeg"), const_cast<char *>("-outfile"),
                    const_cast<char *>("/dev/null"), g_file.data(), nullptr};
    for (auto _ : state) {
        pid_t pid = 0;
        int status = 0;
        rusage usage{};
        if (posix_spawnp(&pid, "djpeg", nullptr, nullptr, argv, environ) != 0 ||
            wait4(pid, &status, 0, &usage) != pid) {
            state.SkipWithError("djpeg could not be started");
            break;
        }
        if (WIFSIGNALED(status) || WEXITSTATUS(status) != 0) {
            const std::string how = WIFSIGNALED(status)
                                        ? "killed by signal " + std::to_string(WTERMSIG(status))
                                        : "exit status " + std::to_string(WEXITSTATUS(status));
            state.SkipWithError(("djpeg crashed: " + how).c_str());
            break;
        }
        state.SetIterationTime(ChildSeconds(usage));
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
    benchmark::RegisterBenchmark("libjpeg-turbo/decode_3000x2000", LibjpegDecode)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("djpeg-process/decode_3000x2000", DjpegProcess)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime();
    const int rc = vexil::bench::RunWithRatios(
        argc, argv, "TJPEGImage",
        {{"libjpeg-turbo", 0.9, ""},
         {"djpeg-process", 0, "djpeg as a whole process, start-up and PPM output included"}});
    std::filesystem::remove(g_file);
    return rc;
}
