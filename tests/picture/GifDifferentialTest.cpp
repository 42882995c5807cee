// The decoder against giflib on GIF87a files written by real encoders: PIL (files made by
// make_gif87a.py before the test runs) and giflib's own encoder (made here in memory).
#include "picture/TGif.h"
#include "tests/support/TestFiles.h"

#include <gif_lib.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>

using namespace vexil;
using vexil::test::ReadFile;

namespace {

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels; // top row first
    std::vector<std::uint8_t> rgb;    // colour of each palette entry that the file has
};

struct MemoryReader {
    const std::string *bytes;
    std::size_t pos = 0;
};

int ReadFromMemory(GifFileType *gif, GifByteType *out, int count) {
    auto *r = static_cast<MemoryReader *>(gif->UserData);
    const std::size_t n = std::min<std::size_t>(count, r->bytes->size() - r->pos);
    std::memcpy(out, r->bytes->data() + r->pos, n);
    r->pos += n;
    return int(n);
}

Picture DecodeWithGiflib(const std::string &bytes) {
    MemoryReader reader{&bytes};
    int error = 0;
    GifFileType *gif = DGifOpen(&reader, ReadFromMemory, &error);
    EXPECT_NE(gif, nullptr) << GifErrorString(error);
    Picture p;
    if (gif == nullptr)
        return p;
    if (DGifSlurp(gif) == GIF_OK && gif->ImageCount > 0) {
        const SavedImage &image = gif->SavedImages[0];
        p.width = image.ImageDesc.Width;
        p.height = image.ImageDesc.Height;
        p.pixels.assign(image.RasterBits, image.RasterBits + p.width * p.height);
        const ColorMapObject *map =
            image.ImageDesc.ColorMap ? image.ImageDesc.ColorMap : gif->SColorMap;
        for (int i = 0; i < map->ColorCount; ++i)
            p.rgb.insert(p.rgb.end(),
                         {map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue});
    } else {
        ADD_FAILURE() << "giflib: " << GifErrorString(gif->Error);
    }
    DGifCloseFile(gif, &error);
    return p;
}

Picture DecodeWithTGif(const std::string &bytes, std::size_t colors) {
    TGif gif;
    gif.DecodeBytes(bytes);
    const std::string_view bmp = gif.BitmapStream().Bytes();
    Picture p;
    p.width = gif.Width();
    p.height = gif.Height();
    const std::size_t stride = (std::size_t(p.width) + 3) / 4 * 4;
    for (int r = 0; r < p.height; ++r) {
        const std::string_view row = bmp.substr(1078 + stride * (p.height - 1 - r), p.width);
        p.pixels.insert(p.pixels.end(), row.begin(), row.end());
    }
    for (std::size_t i = 0; i < colors; ++i)
        p.rgb.insert(p.rgb.end(),
                     {std::uint8_t(bmp[54 + 4 * i + 2]), std::uint8_t(bmp[54 + 4 * i + 1]),
                      std::uint8_t(bmp[54 + 4 * i])});
    return p;
}

void ExpectSameAsGiflib(const std::string &bytes, const std::string &what) {
    const Picture expected = DecodeWithGiflib(bytes);
    const Picture actual = DecodeWithTGif(bytes, expected.rgb.size() / 3);
    EXPECT_EQ(actual.width, expected.width) << what;
    EXPECT_EQ(actual.height, expected.height) << what;
    EXPECT_TRUE(actual.pixels == expected.pixels) << what;
    EXPECT_TRUE(actual.rgb == expected.rgb) << what;
}

int WriteToString(GifFileType *gif, const GifByteType *data, int count) {
    static_cast<std::string *>(gif->UserData)->append(reinterpret_cast<const char *>(data), count);
    return count;
}

// A GIF87a written by giflib's encoder; interlaced lines go in the four-pass order.
std::string EncodeWithGiflib(int width, int height, int bits, bool interlaced,
                             const std::vector<std::uint8_t> &pixels) {
    std::string out;
    int error = 0;
    GifFileType *gif = EGifOpen(&out, WriteToString, &error);
    ColorMapObject *map = GifMakeMapObject(1 << bits, nullptr);
    for (int i = 0; i < map->ColorCount; ++i)
        map->Colors[i] = {GifByteType(i * 37), GifByteType(255 - i), GifByteType(i * 11)};
    EGifSetGifVersion(gif, false);
    EXPECT_EQ(EGifPutScreenDesc(gif, width, height, bits, 0, map), GIF_OK);
    EXPECT_EQ(EGifPutImageDesc(gif, 0, 0, width, height, interlaced, nullptr), GIF_OK);
    std::vector<int> order;
    if (interlaced) {
        for (auto [start, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}})
            for (int r = start; r < height; r += step)
                order.push_back(r);
    } else {
        for (int r = 0; r < height; ++r)
            order.push_back(r);
    }
    for (int r : order)
        EXPECT_EQ(EGifPutLine(gif, const_cast<GifPixelType *>(&pixels[r * width]), width), GIF_OK);
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return out;
}

} // namespace

TEST(TGifAgainstGiflib, SamePixelsOnFilesWrittenByPIL) {
    const char *binary = std::getenv("VEXIL_BINARY_DIR");
    ASSERT_NE(binary, nullptr);
    const std::filesystem::path dir = std::filesystem::path(binary) / "tests/picture/gif87a";
    int files = 0;
    for (const auto &entry : std::filesystem::directory_iterator(dir)) {
        const std::string bytes = ReadFile(entry.path());
        ASSERT_EQ(bytes.substr(0, 6), "GIF87a");
        ExpectSameAsGiflib(bytes, entry.path().filename());
        ++files;
    }
    EXPECT_GE(files, 40);
}

TEST(TGifAgainstGiflib, SamePixelsOnFilesWrittenByGiflib) {
    std::mt19937 rng(1234);
    for (int bits = 1; bits <= 8; ++bits) {
        for (bool interlaced : {false, true}) {
            for (auto [w, h] : {std::pair{1, 1}, {13, 9}, {150, 111}, {2049, 3}}) {
                // Half noise, half runs: both short codes and long strings.
                std::vector<std::uint8_t> pixels(std::size_t(w) * h);
                for (std::size_t i = 0; i < pixels.size(); ++i)
                    pixels[i] = i < pixels.size() / 2 ? std::uint8_t(rng() % (1u << bits))
                                                      : std::uint8_t((i / 9) % (1u << bits));
                ExpectSameAsGiflib(EncodeWithGiflib(w, h, bits, interlaced, pixels),
                                   std::to_string(bits) + " bits " + std::to_string(w) + "x" +
                                       std::to_string(h) + (interlaced ? " interlaced" : ""));
            }
        }
    }
}
