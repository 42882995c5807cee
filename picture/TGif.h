#pragma once
// A GIF decoder in standard C++: reads one GIF87a/GIF89a file, decodes its first image with
// GIF's variable-width LZW and writes the result as an uncompressed 8-bit Windows bitmap
// file (BMP) into memory, ready for any bitmap loader.

#include "platform/Exception.h"
#include "platform/Object.h"
#include "platform/TStream.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace vexil {

// A GIF the decoder cannot read; the message says why ("Not a GIF file", "Bad code" ...).
class EGifException : public Exception {
public:
    using Exception::Exception;
};

class TGif : public TObject {
public:
    // The line buffer holds this many pixels; wider images are refused.
    static constexpr int kMaxWidth = 2049;
    // Fires after each finished line with the row it belongs to, in decoding order.
    using TLineEvent = std::function<void(TObject *Sender, int Row)>;

    TGif();

    // Loads the file and decodes it; afterwards BitmapStream() holds a complete BMP file
    // positioned at its start. Throws EGifException for format errors and EFOpenError when
    // the file cannot be read. A call while a decode is running (re-entered through the
    // message pump) is refused with EGifException.
    void DecodeFile(const std::string &FileName);
    // The same over bytes already in memory.
    void DecodeBytes(std::string bytes);

    TMemoryStream &BitmapStream() { return BitmapStream_; }
    int Width() const { return Descriptor.Width; }
    int Height() const { return Descriptor.Height; }
    bool Interlaced() const { return Interlaced_; }
    bool Decoding() const { return Decoding_; }

    TLineEvent OnLine;

private:
    struct TRGB {
        std::uint8_t Red, Green, Blue;
    };
    struct TScreenDescriptor {
        std::uint16_t Width, Height;
        std::uint8_t Flags, Background, Aspect;
    };
    struct TImageDescriptor {
        std::uint8_t Separator;
        std::uint16_t Left, Top, Width, Height;
        std::uint8_t Flags;
    };
    static constexpr int kMaxCodes = 4096;

    void Decode();
    void ReadHeader();
    void ReadColorTable(std::uint8_t flags, std::array<TRGB, 256> &table);
    void InitBitmapHeader();
    void DecodeImage();
    void WriteBitmap();

    void ReadSource(void *buffer, std::size_t count);
    std::uint8_t ReadSourceByte();
    std::uint16_t ReadSourceWord();
    // Gathers the image's data sub-blocks into CodeBytes, up to the block terminator.
    void ReadCodeBytes();
    void EmitLine();
    void AdvanceRow();

    TMemoryStream SourceStream;
    char Signature[6] = {};
    TScreenDescriptor Screen = {};
    std::array<TRGB, 256> GlobalColors = {};
    std::array<TRGB, 256> LocalColors = {};
    TImageDescriptor Descriptor = {};
    bool HasLocalColors = false;
    bool Interlaced_ = false;
    std::uint8_t MinCodeSize = 0;
    // The image data without its sub-block counts, so that codes are read without a check
    // for a block boundary; followed by zero bytes for reads of a whole word at its end.
    std::vector<std::uint8_t> CodeBytes;
    // Why the code bytes end: what a code past their end fails with.
    const char *CodeBytesEnd = "";
    std::uint16_t ColorCount = 0;
    int ClearCode = 0;
    int EndCode = 0;
    std::uint16_t HighestLiteral = 0;
    // The string table: each entry's prefix code and last pixel, and, so that a string can
    // be written straight into the line, its length and first pixel.
    struct TEntry {
        std::uint16_t Prefix;
        std::uint16_t Length;
        std::uint8_t Suffix;
        std::uint8_t First;
    };
    std::array<std::uint8_t, kMaxCodes> DecodeStack = {};
    std::array<TEntry, kMaxCodes> Table = {};
    std::array<std::uint8_t, kMaxWidth> LineBuffer = {};
    int Row = 0;
    std::uint8_t Pass = 0;
    std::uint8_t BitmapInfoHeader[40] = {};
    // Finished lines: each row's pixels once it has been decoded, and where they are.
    std::vector<std::uint8_t> Lines;
    std::vector<std::int32_t> LineOfRow;
    TMemoryStream BitmapStream_;
    bool Decoding_ = false;
};

} // namespace vexil
