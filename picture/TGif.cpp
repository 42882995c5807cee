#include "picture/TGif.h"

#include "platform/MessagePump.h"

#include <cstring>

namespace vexil {

namespace {

constexpr std::uint8_t kImageSeparator = 0x2C;
constexpr int kMaxCodeSize = 12;
constexpr std::uint32_t kBitmapHeaderSize = 14 + 40 + 1024;

void PutWord(TMemoryStream &out, std::uint16_t v) {
    const std::uint8_t b[2] = {std::uint8_t(v), std::uint8_t(v >> 8)};
    out.Write(b, 2);
}

void PutLong(TMemoryStream &out, std::uint32_t v) {
    const std::uint8_t b[4] = {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16),
                               std::uint8_t(v >> 24)};
    out.Write(b, 4);
}

void PutLong(std::uint8_t *at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        at[i] = std::uint8_t(v >> (8 * i));
}

// Clears a flag when the scope ends, whichever way it ends.
class TDecodingGuard {
public:
    explicit TDecodingGuard(bool &flag) : flag_(flag) { flag_ = true; }
    ~TDecodingGuard() { flag_ = false; }
    TDecodingGuard(const TDecodingGuard &) = delete;
    TDecodingGuard &operator=(const TDecodingGuard &) = delete;

private:
    bool &flag_;
};

} // namespace

TGif::TGif() = default;

void TGif::DecodeFile(const std::string &FileName) {
    if (Decoding_)
        throw EGifException("Decode in progress");
    SourceStream.LoadFromFile(FileName);
    Decode();
}

void TGif::DecodeBytes(std::string bytes) {
    if (Decoding_)
        throw EGifException("Decode in progress");
    SourceStream.Assign(std::move(bytes));
    Decode();
}

void TGif::Decode() {
    TDecodingGuard guard(Decoding_);
    ReadHeader();
    InitBitmapHeader();
    DecodeImage();
    WriteBitmap();
}

void TGif::ReadSource(void *buffer, std::size_t count) {
    if (SourceStream.Read(buffer, count) != count)
        throw EGifException("Unexpected EOF");
}

std::uint8_t TGif::ReadSourceByte() {
    std::uint8_t b;
    ReadSource(&b, 1);
    return b;
}

std::uint16_t TGif::ReadSourceWord() {
    std::uint8_t b[2];
    ReadSource(b, 2);
    return std::uint16_t(b[0] | (b[1] << 8));
}

void TGif::ReadColorTable(std::uint8_t flags, std::array<TRGB, 256> &table) {
    ColorCount = std::uint16_t(1u << ((flags & 7) + 1));
    std::uint8_t rgb[3 * 256];
    ReadSource(rgb, 3u * ColorCount);
    for (int i = 0; i < ColorCount; ++i)
        table[i] = {rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]};
}

void TGif::ReadHeader() {
    // A decoder is reused from file to file: nothing of the last one may show through.
    GlobalColors = {};
    LocalColors = {};
    const std::size_t got = SourceStream.Read(Signature, sizeof Signature);
    if (got < 3 || std::memcmp(Signature, "GIF", 3) != 0)
        throw EGifException("Not a GIF file");
    if (got < sizeof Signature)
        throw EGifException("Unexpected EOF");

    Screen.Width = ReadSourceWord();
    Screen.Height = ReadSourceWord();
    Screen.Flags = ReadSourceByte();
    Screen.Background = ReadSourceByte();
    Screen.Aspect = ReadSourceByte();
    if ((Screen.Flags & 0x80) == 0)
        throw EGifException("Missing color table");
    ReadColorTable(Screen.Flags, GlobalColors);

    Descriptor.Separator = ReadSourceByte();
    if (Descriptor.Separator != kImageSeparator)
        throw EGifException("Bad data");
    Descriptor.Left = ReadSourceWord();
    Descriptor.Top = ReadSourceWord();
    Descriptor.Width = ReadSourceWord();
    Descriptor.Height = ReadSourceWord();
    Descriptor.Flags = ReadSourceByte();
    // The line buffer bounds every line; an empty image has nothing to show.
    if (Descriptor.Width == 0 || Descriptor.Width > kMaxWidth || Descriptor.Height == 0)
        throw EGifException("Bad data");

    HasLocalColors = (Descriptor.Flags & 0x80) != 0;
    if (HasLocalColors)
        ReadColorTable(Descriptor.Flags, LocalColors);
    Interlaced_ = (Descriptor.Flags & 0x40) != 0;
    Pass = 0;

    Lines.clear();
    Lines.reserve(std::size_t(Descriptor.Width) * Descriptor.Height);
    LineOfRow.assign(Descriptor.Height, -1);
}

void TGif::InitBitmapHeader() {
    std::memset(BitmapInfoHeader, 0, sizeof BitmapInfoHeader);
    std::uint8_t *h = BitmapInfoHeader;
    PutLong(h + 0, 40);
    PutLong(h + 4, Descriptor.Width);
    PutLong(h + 8, Descriptor.Height);
    h[12] = 1; // planes
    h[14] = 8; // bits per pixel
    PutLong(h + 24, 143);
    PutLong(h + 28, 143);
}

void TGif::ReadCodeBytes() {
    CodeBytes.clear();
    for (;;) {
        std::uint8_t count = 0;
        if (SourceStream.Read(&count, 1) != 1) {
            CodeBytesEnd = "Unexpected EOF";
            break;
        }
        // The terminator before the end code means the image data ran out.
        if (count == 0) {
            CodeBytesEnd = "No data";
            break;
        }
        const std::size_t at = CodeBytes.size();
        CodeBytes.resize(at + count);
        // A sub-block cut short by the end of the file counts as missing as a whole.
        if (SourceStream.Read(CodeBytes.data() + at, count) != count) {
            CodeBytes.resize(at);
            CodeBytesEnd = "Unexpected EOF";
            break;
        }
    }
    CodeBytes.insert(CodeBytes.end(), 4, 0);
}

// The LZW loop keeps its whole state in locals: every pixel is a byte store, and a byte
// store may alias any member, which would make the compiler reload members per pixel.
void TGif::DecodeImage() {
    MinCodeSize = ReadSourceByte();
    if (MinCodeSize < 2 || MinCodeSize > 9)
        throw EGifException("Bad code size");
    ClearCode = 1 << MinCodeSize;
    EndCode = ClearCode + 1;
    HighestLiteral = std::uint16_t(ClearCode - 1);
    Row = 0;

    // Codes are packed low bits first; a code of up to 12 bits at any bit position lies
    // within the four bytes from its first.
    ReadCodeBytes();
    const std::uint8_t *const bytes = CodeBytes.data();
    const std::uint64_t bitsAvailable = 8 * std::uint64_t(CodeBytes.size() - 4);
    std::uint64_t bitPos = 0;
    int codeSize = MinCodeSize + 1;
    auto getCode = [&]() __attribute__((always_inline))->int {
        if (bitPos + codeSize > bitsAvailable)
            throw EGifException(CodeBytesEnd);
        const std::uint8_t *b = bytes + (bitPos >> 3);
        const std::uint32_t word = std::uint32_t(b[0]) | std::uint32_t(b[1]) << 8 |
                                   std::uint32_t(b[2]) << 16 | std::uint32_t(b[3]) << 24;
        const int code = int((word >> (bitPos & 7)) & ((1u << codeSize) - 1));
        bitPos += codeSize;
        return code;
    };

    TEntry *const table = Table.data();
    std::uint8_t *const stack = DecodeStack.data();
    std::uint8_t *const line = LineBuffer.data();
    const int highestLiteral = HighestLiteral;
    const int width = Descriptor.Width;
    int stackTop = 0;
    int nextSlot = 0;
    int topSlot = 0;
    int previous = 0;
    int linePos = 0;
    for (int literal = 0; literal <= highestLiteral; ++literal)
        table[literal] = {0, 1, std::uint8_t(literal), std::uint8_t(literal)};

    auto addEntry = [&](int prefixCode, std::uint8_t pixel) {
        if (nextSlot < kMaxCodes) {
            const TEntry &from = table[prefixCode];
            table[nextSlot] = {std::uint16_t(prefixCode), std::uint16_t(from.Length + 1), pixel,
                               from.First};
            ++nextSlot;
        }
        // The width grows as soon as the entry 2^size - 1 exists.
        if (nextSlot >= topSlot && codeSize < kMaxCodeSize) {
            topSlot *= 2;
            ++codeSize;
        }
    };
    auto finishLineIfFull = [&] {
        if (linePos == width) {
            EmitLine();
            linePos = 0;
        }
    };
    // Writes the code's string into the line. Every entry's prefix is a lower code, so the
    // walk ends, and a string is never longer than the stack.
    auto emit = [&](int code) __attribute__((always_inline)) {
        const int count = table[code].Length;
        if (count <= width - linePos) {
            // The string fits the line: written in place from its last pixel back.
            std::uint8_t *p = line + linePos + count - 1;
            while (code > highestLiteral) {
                *p-- = table[code].Suffix;
                code = table[code].Prefix;
            }
            *p = std::uint8_t(code);
            linePos += count;
            finishLineIfFull();
            return;
        }
        // It runs over the end of the line: through the stack, one line at a time.
        while (code > highestLiteral) {
            stack[stackTop++] = table[code].Suffix;
            code = table[code].Prefix;
        }
        stack[stackTop++] = std::uint8_t(code);
        while (stackTop > 0) {
            const int n = std::min(stackTop, width - linePos);
            for (int i = 0; i < n; ++i)
                line[linePos + i] = stack[stackTop - 1 - i];
            stackTop -= n;
            linePos += n;
            finishLineIfFull();
        }
    };

    int code = getCode();
    // The string table exists only once a clear code has set it up.
    if (code != ClearCode)
        throw EGifException("Bad code");
    while (code != EndCode) {
        if (code == ClearCode) {
            codeSize = MinCodeSize + 1;
            nextSlot = EndCode + 1;
            topSlot = 1 << codeSize;
            do
                code = getCode();
            while (code == ClearCode);
            if (code == EndCode)
                throw EGifException("Bad code");
            if (code >= nextSlot)
                code = 0;
            emit(code);
        } else if (code < nextSlot) {
            emit(code);
            addEntry(previous, table[code].First);
        } else if (code == nextSlot) {
            // Not yet in the table: the previous string plus its own first pixel.
            addEntry(previous, table[previous].First);
            emit(code);
        } else {
            throw EGifException("Bad code");
        }
        previous = code;
        const bool tableFull = codeSize == kMaxCodeSize && nextSlot >= topSlot;

        code = getCode();
        // Deferred clearing is not supported: a full table must be followed by a clear.
        if (tableFull && code != ClearCode)
            throw EGifException("Bad bit size");
    }
}

void TGif::EmitLine() {
    ProcessPendingMessages();
    const int height = Descriptor.Height;
    // Lines past the last row carry nothing the bitmap can show.
    if (Row >= 0 && Row < height && LineOfRow[Row] < 0) {
        LineOfRow[Row] = std::int32_t(Lines.size() / Descriptor.Width);
        Lines.insert(Lines.end(), LineBuffer.begin(), LineBuffer.begin() + Descriptor.Width);
        if (OnLine)
            OnLine(this, Row);
    }
    AdvanceRow();
}

void TGif::AdvanceRow() {
    const int height = Descriptor.Height;
    if (!Interlaced_) {
        ++Row;
        return;
    }
    static constexpr int kStep[4] = {8, 8, 4, 2};
    static constexpr int kStart[4] = {0, 4, 2, 1};
    if (Pass > 3)
        return;
    Row += kStep[Pass];
    while (Row >= height) {
        if (++Pass > 3) {
            Row = height;
            return;
        }
        Row = kStart[Pass];
    }
}

void TGif::WriteBitmap() {
    const int width = Descriptor.Width;
    const int height = Descriptor.Height;
    const std::uint32_t stride = (std::uint32_t(width) + 3) & ~3u;
    const std::uint32_t fileSize = kBitmapHeaderSize + stride * std::uint32_t(height);

    TMemoryStream &out = BitmapStream_;
    out.Clear();
    out.Write("BM");
    PutLong(out, fileSize);
    PutWord(out, 0);
    PutWord(out, 0);
    PutLong(out, kBitmapHeaderSize);
    out.Write(BitmapInfoHeader, sizeof BitmapInfoHeader);

    const std::array<TRGB, 256> &colors = HasLocalColors ? LocalColors : GlobalColors;
    std::uint8_t table[1024];
    for (int i = 0; i < 256; ++i) {
        table[4 * i] = colors[i].Blue;
        table[4 * i + 1] = colors[i].Green;
        table[4 * i + 2] = colors[i].Red;
        table[4 * i + 3] = 0;
    }
    out.Write(table, sizeof table);

    // Rows that never arrived (the end code came early) stay index 0, so that every other
    // row keeps its place and the bitmap is as long as its header says.
    out.SetSize(fileSize);
    for (int row = 0; row < height; ++row) {
        const std::int32_t line = LineOfRow[row];
        if (line < 0)
            continue;
        out.SetPosition(kBitmapHeaderSize + std::int64_t(height - 1 - row) * stride);
        out.Write(Lines.data() + std::size_t(line) * std::size_t(width), std::size_t(width));
    }
    out.SetPosition(0);
}

} // namespace vexil
