#include "picture/TGif.h"

#include "tests/picture/GifBuilder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <numeric>

using namespace vexil;
using namespace vexil::test;

namespace {

// The decoder's bitmap taken apart again: a BMP reader that checks its layout on the way.
struct Bitmap {
    int width = 0;
    int height = 0;
    std::string palette;                         // 1024 bytes, blue green red 0
    std::vector<std::vector<std::uint8_t>> rows; // top row first
    std::string padding;                         // every pad byte of every row
};

std::uint32_t Long(std::string_view s, std::size_t at) {
    return std::uint8_t(s[at]) | std::uint8_t(s[at + 1]) << 8 | std::uint8_t(s[at + 2]) << 16 |
           std::uint32_t(std::uint8_t(s[at + 3])) << 24;
}

Bitmap ReadBitmap(TGif &gif) {
    EXPECT_EQ(gif.BitmapStream().Position(), 0);
    const std::string_view s = gif.BitmapStream().Bytes();
    Bitmap b;
    EXPECT_EQ(s.substr(0, 2), "BM");
    EXPECT_EQ(Long(s, 2), s.size());
    EXPECT_EQ(Long(s, 10), 1078u);
    EXPECT_EQ(Long(s, 14), 40u);
    b.width = int(Long(s, 18));
    b.height = int(Long(s, 22));
    EXPECT_EQ(s[26], 1);
    EXPECT_EQ(s[28], 8);
    EXPECT_EQ(Long(s, 30), 0u);
    EXPECT_EQ(Long(s, 38), 143u);
    EXPECT_EQ(Long(s, 42), 143u);
    b.palette = std::string(s.substr(54, 1024));
    const std::size_t stride = (std::size_t(b.width) + 3) / 4 * 4;
    EXPECT_EQ(s.size(), 1078 + stride * b.height);
    b.rows.resize(b.height);
    for (int r = 0; r < b.height; ++r) {
        const std::string_view line = s.substr(1078 + stride * (b.height - 1 - r), stride);
        b.rows[r].assign(line.begin(), line.begin() + b.width);
        b.padding += line.substr(b.width);
    }
    return b;
}

std::vector<std::uint8_t> Ramp(int count, int modulo) {
    std::vector<std::uint8_t> v(count);
    for (int i = 0; i < count; ++i)
        v[i] = std::uint8_t(i % modulo);
    return v;
}

std::string DecodeError(const std::string &bytes) {
    TGif gif;
    try {
        gif.DecodeBytes(bytes);
    } catch (const EGifException &e) {
        return e.Message();
    }
    return "(decoded)";
}

// Pixel i of row r is r * 16 + i, so each row carries its number.
std::vector<std::uint8_t> RowNumbered(int width, int height) {
    std::vector<std::uint8_t> v;
    for (int r = 0; r < height; ++r)
        for (int i = 0; i < width; ++i)
            v.push_back(std::uint8_t(r * 16 + i));
    return v;
}

// width x height pixels; bits sets both the global table (2^bits colours) and the minimum
// code size, as an encoder picks them.
GifLayout Layout(int width, int height, int bits = 8) {
    GifLayout l;
    l.width = width;
    l.height = height;
    l.globalBits = bits;
    l.minCodeSize = bits;
    return l;
}

} // namespace

TEST(TGif, DecodesImageWithItsSizePaletteAndPaddedRows) {
    for (const char *signature : {"GIF87a", "GIF89a"}) {
        GifLayout l = Layout(5, 3, 3);
        l.signature = signature;
        const auto pixels = Ramp(15, 8);
        TGif gif;
        gif.DecodeBytes(LiteralGif(l, pixels));
        const Bitmap b = ReadBitmap(gif);
        EXPECT_EQ(b.width, 5);
        EXPECT_EQ(b.height, 3);
        for (int r = 0; r < 3; ++r)
            for (int i = 0; i < 5; ++i)
                EXPECT_EQ(b.rows[r][i], pixels[r * 5 + i]);
        EXPECT_EQ(b.padding, std::string(9, '\0'));
        // The first eight entries are the file's colours (blue, green, red, 0), the rest 0.
        const std::string table = ColorTable(3, 0x55);
        for (int i = 0; i < 8; ++i) {
            EXPECT_EQ(b.palette[4 * i], table[3 * i + 2]);
            EXPECT_EQ(b.palette[4 * i + 1], table[3 * i + 1]);
            EXPECT_EQ(b.palette[4 * i + 2], table[3 * i]);
            EXPECT_EQ(b.palette[4 * i + 3], 0);
        }
        EXPECT_EQ(b.palette.substr(32), std::string(1024 - 32, '\0'));
    }
}

TEST(TGif, BitmapHasTheImageSizeNotTheScreenSize) {
    GifLayout l = Layout(4, 2);
    std::string gif = LiteralGif(l, Ramp(8, 256));
    gif[6] = 100; // logical screen 100 x 2
    TGif decoder;
    decoder.DecodeBytes(gif);
    EXPECT_EQ(ReadBitmap(decoder).width, 4);
}

TEST(TGif, LocalColorTableIsTheWholePalette) {
    GifLayout l = Layout(2, 2);
    l.globalBits = 8;
    l.localBits = 2;
    l.minCodeSize = 2;
    TGif gif;
    gif.DecodeBytes(LiteralGif(l, {0, 1, 2, 3}));
    const Bitmap b = ReadBitmap(gif);
    const std::string local = ColorTable(2, 0xAA);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(b.palette[4 * i], local[3 * i + 2]);
    // Nothing of the global table beyond the local one's four entries.
    EXPECT_EQ(b.palette.substr(16), std::string(1024 - 16, '\0'));
}

TEST(TGif, ReusedDecoderForgetsThePreviousFile) {
    GifLayout big = Layout(2, 1);
    GifLayout small = big;
    small.globalBits = 1;
    small.minCodeSize = 2;
    TGif gif;
    gif.DecodeBytes(LiteralGif(big, {7, 9}));
    gif.DecodeBytes(LiteralGif(small, {1, 0}));
    const Bitmap b = ReadBitmap(gif);
    EXPECT_EQ(b.rows[0], (std::vector<std::uint8_t>{1, 0}));
    EXPECT_EQ(b.palette.substr(8), std::string(1024 - 8, '\0'));
}

TEST(TGif, RefusesWhatItDoesNotSupport) {
    GifLayout l = Layout(2, 1);
    const std::string good = LiteralGif(l, {1, 2});

    EXPECT_EQ(DecodeError("PNG\r\n\x1a\n"), "Not a GIF file");
    EXPECT_EQ(DecodeError(""), "Not a GIF file");
    EXPECT_EQ(DecodeError("GIF8"), "Unexpected EOF");

    GifLayout noTable = l;
    noTable.globalBits = 0;
    noTable.localBits = 8;
    EXPECT_EQ(DecodeError(LiteralGif(noTable, {1, 2})), "Missing color table");

    GifLayout extension = l;
    extension.signature = "GIF89a";
    extension.beforeImage = std::string("\x21\xF9\x04\x01\x00\x00\x00\x00", 8);
    EXPECT_EQ(DecodeError(LiteralGif(extension, {1, 2})), "Bad data");
    extension.beforeImage = std::string("\x21\xFE\x02hi\x00", 6);
    EXPECT_EQ(DecodeError(LiteralGif(extension, {1, 2})), "Bad data");

    // Every cut inside the file ends in a clear message, never a read past its end.
    for (std::size_t n = 6; n < good.size() - 2; ++n)
        EXPECT_NE(DecodeError(good.substr(0, n)), "(decoded)") << n;
    EXPECT_EQ(DecodeError(good.substr(0, good.size() - 3)), "Unexpected EOF");
}

TEST(TGif, AcceptsMinimumCodeSizesTwoToNine) {
    GifLayout l = Layout(3, 1);
    for (int size : {1, 10, 0, 12}) {
        l.minCodeSize = size;
        EXPECT_EQ(DecodeError(GifHead(l) + std::string("\x01\x00\x00;", 4)), "Bad code size");
    }
    for (int size : {2, 9}) {
        l.minCodeSize = size;
        TGif gif;
        gif.DecodeBytes(LiteralGif(l, {3, 2, 1}));
        EXPECT_EQ(ReadBitmap(gif).rows[0], (std::vector<std::uint8_t>{3, 2, 1})) << size;
    }
}

TEST(TGif, RejectsBrokenCodeStreams) {
    GifLayout l = Layout(2, 1, 2);
    auto stream = [&](std::initializer_list<int> codes, bool terminate = true) {
        LiteralEncoder e(2);
        for (int c : codes)
            e.Raw(c);
        return GifHead(l) + e.SubBlocks(terminate) + ";";
    };
    EXPECT_EQ(DecodeError(stream({4, 5})), "Bad code");       // end code right after a clear
    EXPECT_EQ(DecodeError(stream({4, 4, 5})), "Bad code");    // also after several clears
    EXPECT_EQ(DecodeError(stream({1, 2, 5})), "Bad code");    // no clear code first
    EXPECT_EQ(DecodeError(stream({4, 1, 7, 5})), "Bad code"); // 7 is past the next slot 6
    // The data ends before the end code: the block terminator comes first.
    EXPECT_EQ(DecodeError(stream({4, 1, 2})), "No data");
    // After a clear, a first code not yet in the table counts as 0.
    TGif gif;
    gif.DecodeBytes(stream({4, 6, 1, 5}));
    EXPECT_EQ(ReadBitmap(gif).rows[0], (std::vector<std::uint8_t>{0, 1}));
}

TEST(TGif, DecodesCodesThatRepeatThePreviousString) {
    // Codes 4 (clear), 1, 6, 5 (end): 6 is not yet in the table when it arrives and stands
    // for the previous string plus its own first pixel: "1 1".
    GifLayout l = Layout(3, 1, 2);
    LiteralEncoder e(2);
    for (int c : {4, 1, 6, 5})
        e.Raw(c);
    TGif gif;
    gif.DecodeBytes(GifHead(l) + e.SubBlocks() + ";");
    EXPECT_EQ(ReadBitmap(gif).rows[0], (std::vector<std::uint8_t>{1, 1, 1}));
}

TEST(TGif, FullTableMustBeFollowedByAClearCode) {
    GifLayout l = Layout(64, 80, 2);
    const auto pixels = Ramp(64 * 80, 4);

    LiteralEncoder deferred(2);
    deferred.Clear();
    std::size_t i = 0;
    while (!deferred.TableFull())
        deferred.Literal(pixels[i++]);
    for (; i < pixels.size(); ++i)
        deferred.Raw(pixels[i]);
    deferred.Raw(5);
    EXPECT_EQ(DecodeError(GifHead(l) + deferred.SubBlocks() + ";"), "Bad bit size");

    // The same pixels with a clear code where the table is full decode, and the code width
    // has really gone up to 12 bits on the way.
    LiteralEncoder cleared(2);
    cleared.Clear();
    bool reached12 = false;
    for (std::uint8_t p : pixels) {
        if (cleared.TableFull())
            cleared.Clear();
        cleared.Literal(p);
        reached12 = reached12 || cleared.CodeSize() == 12;
    }
    cleared.End();
    EXPECT_TRUE(reached12);
    TGif gif;
    gif.DecodeBytes(GifHead(l) + cleared.SubBlocks() + ";");
    const Bitmap b = ReadBitmap(gif);
    for (int r = 0; r < 80; ++r)
        ASSERT_TRUE(std::equal(b.rows[r].begin(), b.rows[r].end(), pixels.begin() + r * 64)) << r;
}

TEST(TGif, InterlacedRowsLandInTheirPlaces) {
    for (int height = 1; height <= 12; ++height) {
        GifLayout l = Layout(3, height);
        l.interlaced = true;
        std::vector<int> order;
        TGif gif;
        gif.OnLine = [&](TObject *, int row) { order.push_back(row); };
        gif.DecodeBytes(LiteralGif(l, RowNumbered(3, height)));
        const Bitmap b = ReadBitmap(gif);
        // Row r of the bitmap carries the number of its place in the stream.
        ASSERT_EQ(int(order.size()), height);
        for (int k = 0; k < height; ++k)
            EXPECT_EQ(b.rows[order[k]][0], k * 16) << "height " << height << " line " << k;
        std::vector<int> expected;
        for (auto [start, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}})
            for (int r = start; r < height; r += step)
                expected.push_back(r);
        EXPECT_EQ(order, expected) << "height " << height;
        if (height == 10) {
            EXPECT_EQ(order, (std::vector<int>{0, 8, 4, 2, 6, 1, 3, 5, 7, 9}));
        }
    }
}

TEST(TGif, RowsMissingAtAnEarlyEndCodeStayBlankInTheirPlaces) {
    GifLayout l = Layout(3, 4);
    TGif gif;
    gif.DecodeBytes(LiteralGif(l, RowNumbered(3, 2)));
    const Bitmap b = ReadBitmap(gif);
    EXPECT_EQ(b.rows[0], (std::vector<std::uint8_t>{0, 1, 2}));
    EXPECT_EQ(b.rows[1], (std::vector<std::uint8_t>{16, 17, 18}));
    EXPECT_EQ(b.rows[2], (std::vector<std::uint8_t>{0, 0, 0}));
    EXPECT_EQ(b.rows[3], (std::vector<std::uint8_t>{0, 0, 0}));
}

TEST(TGif, PixelsBeyondTheLastRowAreDropped) {
    GifLayout l = Layout(2, 2);
    TGif gif;
    gif.DecodeBytes(LiteralGif(l, RowNumbered(2, 6)));
    const Bitmap b = ReadBitmap(gif);
    EXPECT_EQ(b.rows[1], (std::vector<std::uint8_t>{16, 17}));
}

TEST(TGif, WidthMustFitTheLineBuffer) {
    GifLayout l = Layout(TGif::kMaxWidth, 1);
    TGif gif;
    gif.DecodeBytes(LiteralGif(l, Ramp(TGif::kMaxWidth, 200)));
    EXPECT_EQ(ReadBitmap(gif).rows[0][2048], 2048 % 200);
    l.width = TGif::kMaxWidth + 1;
    EXPECT_EQ(DecodeError(LiteralGif(l, Ramp(TGif::kMaxWidth + 1, 200))), "Bad data");
    l.width = 0;
    EXPECT_EQ(DecodeError(LiteralGif(l, {})), "Bad data");
}

TEST(TGif, SecondDecodeWhileOneRunsIsRefused) {
    GifLayout l = Layout(2, 3);
    const std::string file = LiteralGif(l, RowNumbered(2, 3));
    TGif gif;
    std::string refused;
    gif.OnLine = [&](TObject *, int) {
        try {
            gif.DecodeBytes(file);
        } catch (const EGifException &e) {
            refused = e.Message();
        }
    };
    gif.DecodeBytes(file);
    EXPECT_EQ(refused, "Decode in progress");
    EXPECT_FALSE(gif.Decoding());
    EXPECT_EQ(ReadBitmap(gif).rows[2], (std::vector<std::uint8_t>{32, 33}));
}

TEST(TGif, MissingFileFailsWithTheFileError) {
    TGif gif;
    EXPECT_THROW(gif.DecodeFile("/nonexistent/picture.gif"), EFOpenError);
    EXPECT_FALSE(gif.Decoding());
}
