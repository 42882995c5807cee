#pragma once
// Builds GIF files byte by byte for the decoder's tests: header, colour tables, descriptor
// and a code stream whose codes the test chooses, packed the way GIF packs them.

#include <cstdint>
#include <string>
#include <vector>

namespace vexil::test {

// Packs codes low bits first and cuts the result into data sub-blocks.
class CodeWriter {
public:
    void Put(int code, int width) {
        acc_ |= std::uint64_t(code) << bits_;
        bits_ += width;
        while (bits_ >= 8) {
            bytes_ += char(acc_ & 0xFF);
            acc_ >>= 8;
            bits_ -= 8;
        }
    }
    // The packed codes as sub-blocks, with the block terminator when asked for.
    std::string SubBlocks(bool terminate = true) {
        std::string data = bytes_;
        if (bits_ > 0)
            data += char(acc_ & 0xFF);
        std::string out;
        for (std::size_t i = 0; i < data.size(); i += 255) {
            const std::size_t n = std::min<std::size_t>(255, data.size() - i);
            out += char(n);
            out += data.substr(i, n);
        }
        if (terminate)
            out += '\0';
        return out;
    }

private:
    std::uint64_t acc_ = 0;
    int bits_ = 0;
    std::string bytes_;
};

// Writes pixels as literal codes only, keeping the code width in step with the decoder's
// string table as a GIF decoder sees it.
class LiteralEncoder {
public:
    explicit LiteralEncoder(int minCodeSize) : min_(minCodeSize), size_(minCodeSize + 1) {}

    void Clear() {
        writer_.Put(1 << min_, size_);
        size_ = min_ + 1;
        next_ = (1 << min_) + 2;
        first_ = true;
    }
    void Literal(int value) {
        writer_.Put(value, size_);
        if (first_) {
            first_ = false;
            return;
        }
        if (next_ < 4096)
            ++next_;
        if (next_ >= (1 << size_) && size_ < 12)
            ++size_;
    }
    void Pixels(const std::vector<std::uint8_t> &pixels, bool clearWhenFull = true) {
        for (std::uint8_t p : pixels) {
            if (clearWhenFull && TableFull())
                Clear();
            Literal(p);
        }
    }
    bool TableFull() const { return size_ == 12 && next_ >= 4096; }
    void End() { writer_.Put((1 << min_) + 1, size_); }
    void Raw(int code) { writer_.Put(code, size_); }
    int CodeSize() const { return size_; }
    std::string SubBlocks(bool terminate = true) { return writer_.SubBlocks(terminate); }

private:
    int min_;
    int size_;
    int next_ = 0;
    bool first_ = true;
    CodeWriter writer_;
};

struct GifLayout {
    std::string signature = "GIF87a";
    int width = 1;
    int height = 1;
    int globalBits = 8; // table of 2^globalBits entries; 0 for none
    int localBits = 0;  // 0 for none
    bool interlaced = false;
    int minCodeSize = 8;
    std::string beforeImage; // bytes between the global table and the image descriptor
};

// Colour i of a table is (i, 255 - i, i ^ salt), so tests can tell the tables apart.
inline std::string ColorTable(int bits, int salt) {
    std::string t;
    for (int i = 0; i < (1 << bits); ++i) {
        t += char(i);
        t += char(255 - i);
        t += char(i ^ salt);
    }
    return t;
}

inline std::string Word(int v) {
    return std::string{char(v & 0xFF), char((v >> 8) & 0xFF)};
}

// Everything up to and including the minimum code size byte.
inline std::string GifHead(const GifLayout &l) {
    std::string s = l.signature + Word(l.width) + Word(l.height);
    s += char(l.globalBits > 0 ? 0x80 | (l.globalBits - 1) : 0);
    s += '\0';
    s += '\0';
    if (l.globalBits > 0)
        s += ColorTable(l.globalBits, 0x55);
    s += l.beforeImage;
    s += ',';
    s += Word(0) + Word(0) + Word(l.width) + Word(l.height);
    char flags = 0;
    if (l.localBits > 0)
        flags |= char(0x80 | (l.localBits - 1));
    if (l.interlaced)
        flags |= 0x40;
    s += flags;
    if (l.localBits > 0)
        s += ColorTable(l.localBits, 0xAA);
    s += char(l.minCodeSize);
    return s;
}

// A whole GIF whose pixels (in stream order) are written as literals.
inline std::string LiteralGif(const GifLayout &l, const std::vector<std::uint8_t> &pixels) {
    LiteralEncoder e(l.minCodeSize);
    e.Clear();
    e.Pixels(pixels);
    e.End();
    return GifHead(l) + e.SubBlocks() + ";";
}

} // namespace vexil::test
