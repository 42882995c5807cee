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

int TGif::GetCode() {
    if (BitsLeft == 0) {
        if (BytesLeft <= 0)
            ReadBlock();
        CurrentByte = DataBlock[BlockIndex++];
        --BytesLeft;
        BitsLeft = 8;
    }
    std::uint32_t code = std::uint32_t(CurrentByte) >> (8 - BitsLeft);
    while (CodeSize > BitsLeft) {
        if (BytesLeft <= 0)
            ReadBlock();
        CurrentByte = DataBlock[BlockIndex++];
        --BytesLeft;
        code |= std::uint32_t(CurrentByte) << BitsLeft;
        BitsLeft += 8;
    }
    BitsLeft -= CodeSize;
    return int(code & ((1u << CodeSize) - 1));
}

void TGif::ReadBlock() {
    const std::uint8_t count = ReadSourceByte();
    if (count == 0)
        throw EGifException("No data");
    ReadSource(DataBlock, count);
    BytesLeft = count;
    BlockIndex = 0;
}

std::uint8_t TGif::PushString(int code) {
    while (code > HighestLiteral) {
        if (StackTop >= kMaxCodes)
            throw EGifException("Bad code");
        DecodeStack[StackTop++] = std::uint8_t(Suffix[code]);
        code = int(Prefix[code]);
    }
    if (StackTop >= kMaxCodes)
        throw EGifException("Bad code");
    DecodeStack[StackTop++] = std::uint8_t(code);
    return std::uint8_t(code);
}

std::uint8_t TGif::FirstPixel(int code) const {
    // Entries always point to lower codes, so the walk ends.
    while (code > HighestLiteral)
        code = int(Prefix[code]);
    return std::uint8_t(code);
}

void TGif::AddEntry(int prefix, std::uint8_t suffix) {
    if (NextSlot <= TopSlot && NextSlot < kMaxCodes) {
        Prefix[NextSlot] = std::uint32_t(prefix);
        Suffix[NextSlot] = suffix;
        ++NextSlot;
    }
}

void TGif::ClearTable() {
    CodeSize = MinCodeSize + 1;
    NextSlot = std::uint16_t(EndCode + 1);
    TopSlot = std::uint16_t(1u << CodeSize);
}

void TGif::DecodeImage() {
    MinCodeSize = ReadSourceByte();
    if (MinCodeSize < 2 || MinCodeSize > 9)
        throw EGifException("Bad code size");
    CodeSize = MinCodeSize + 1;
    ClearCode = 1 << MinCodeSize;
    EndCode = ClearCode + 1;
    HighestLiteral = std::uint16_t(ClearCode - 1);
    BitsLeft = 0;
    BytesLeft = 0;
    Row = 0;

    const int width = Descriptor.Width;
    int previous = 0;
    int linePos = 0;
    bool tableFull = false;
    StackTop = 0;

    int code = GetCode();
    // The string table exists only once a clear code has set it up.
    if (code != ClearCode)
        throw EGifException("Bad code");
    while (code != EndCode) {
        if (code == ClearCode) {
            ClearTable();
            do
                code = GetCode();
            while (code == ClearCode);
            if (code == EndCode)
                throw EGifException("Bad code");
            if (code >= NextSlot)
                code = 0;
            previous = code;
            DecodeStack[StackTop++] = std::uint8_t(code);
        } else if (code < NextSlot) {
            const std::uint8_t first = PushString(code);
            AddEntry(previous, first);
            previous = code;
            GrowCodeSize();
        } else if (code == NextSlot) {
            AddEntry(previous, FirstPixel(previous));
            GrowCodeSize();
            PushString(code);
            previous = code;
        } else {
            throw EGifException("Bad code");
        }
        tableFull = CodeSize == kMaxCodeSize && NextSlot >= TopSlot;

        while (StackTop > 0) {
            LineBuffer[linePos++] = DecodeStack[--StackTop];
            if (linePos == width) {
                EmitLine();
                linePos = 0;
            }
        }
        code = GetCode();
        // Deferred clearing is not supported: a full table must be followed by a clear.
        if (tableFull && code != ClearCode)
            throw EGifException("Bad bit size");
    }
}

void TGif::GrowCodeSize() {
    if (NextSlot >= TopSlot && CodeSize < kMaxCodeSize) {
        TopSlot = std::uint16_t(TopSlot * 2);
        ++CodeSize;
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
