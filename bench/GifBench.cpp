// TGif against giflib on the same GIF87a files, written by giflib's encoder: megapixels
// per second of each, and the ratio. Target: at least giflib's speed.
#include "bench/PeerRatio.h"
#include "picture/TGif.h"

#include <gif_lib.h>

#include <cstring>
#include <random>

namespace {

struct Sample {
    const char *name;
    int width, height;
    std::string gif;
};

int WriteToString(GifFileType *gif, const GifByteType *data, int count) {
    static_cast<std::string *>(gif->UserData)->append(reinterpret_cast<const char *>(data), count);
    return count;
}

// kind 0: noise (short codes); 1: a photo-like blend of gradients and grain; 2: flat areas.
std::string MakeGif(int width, int height, int kind) {
    std::mt19937 rng(42);
    std::vector<GifPixelType> pixels(std::size_t(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            int v = 0;
            if (kind == 0)
                v = int(rng() & 0xFF);
            else if (kind == 1)
                v = ((x * 3 + y * 2) / 9 + int(rng() % 6)) & 0xFF;
            else
                v = ((x / 64) * 7 + (y / 48) * 13) & 0xFF;
            pixels[std::size_t(y) * width + x] = GifPixelType(v);
        }
    std::string out;
    int error = 0;
    GifFileType *gif = EGifOpen(&out, WriteToString, &error);
    ColorMapObject *map = GifMakeMapObject(256, nullptr);
    for (int i = 0; i < 256; ++i)
        map->Colors[i] = {GifByteType(i), GifByteType(255 - i), GifByteType(i / 2)};
    EGifSetGifVersion(gif, false);
    EGifPutScreenDesc(gif, width, height, 8, 0, map);
    EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr);
    for (int y = 0; y < height; ++y)
        EGifPutLine(gif, &pixels[std::size_t(y) * width], width);
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return out;
}

std::vector<Sample> &Samples() {
    static std::vector<Sample> samples = {
        {"noise_1024x768", 1024, 768, MakeGif(1024, 768, 0)},
        {"photo_2048x1536", 2048, 1536, MakeGif(2048, 1536, 1)},
        {"flat_2048x1536", 2048, 1536, MakeGif(2048, 1536, 2)},
    };
    return samples;
}

struct MemoryReader {
    const std::string *bytes;
    std::size_t pos;
};

int ReadFromMemory(GifFileType *gif, GifByteType *out, int count) {
    auto *r = static_cast<MemoryReader *>(gif->UserData);
    const std::size_t n = std::min<std::size_t>(count, r->bytes->size() - r->pos);
    std::memcpy(out, r->bytes->data() + r->pos, n);
    r->pos += n;
    return int(n);
}

void SetMegapixels(benchmark::State &state, const Sample &s) {
    state.counters["MP/s"] = benchmark::Counter(double(s.width) * s.height / 1e6,
                                                benchmark::Counter::kIsIterationInvariantRate);
}

void TGifDecode(benchmark::State &state, const Sample *s) {
    vexil::TGif gif;
    for (auto _ : state) {
        gif.DecodeBytes(s->gif);
        benchmark::DoNotOptimize(gif.BitmapStream().Bytes().data());
    }
    SetMegapixels(state, *s);
}

void GiflibDecode(benchmark::State &state, const Sample *s) {
    for (auto _ : state) {
        MemoryReader reader{&s->gif, 0};
        int error = 0;
        GifFileType *gif = DGifOpen(&reader, ReadFromMemory, &error);
        if (gif == nullptr || DGifSlurp(gif) != GIF_OK) {
            state.SkipWithError("giflib failed");
            break;
        }
        benchmark::DoNotOptimize(gif->SavedImages[0].RasterBits);
        DGifCloseFile(gif, &error);
    }
    SetMegapixels(state, *s);
}

} // namespace

int main(int argc, char **argv) {
    for (const Sample &s : Samples()) {
        benchmark::RegisterBenchmark(("TGif/" + std::string(s.name)).c_str(), TGifDecode, &s)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("giflib/" + std::string(s.name)).c_str(), GiflibDecode, &s)
            ->Unit(benchmark::kMillisecond);
    }
    return vexil::bench::RunWithRatios(argc, argv, "TGif", "giflib", 1.0);
}
