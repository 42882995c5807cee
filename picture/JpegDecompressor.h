#pragma once
// The one place that calls libjpeg: a decompressor over bytes in memory whose fatal errors
// become EJPEG. Warnings and trace messages are dropped.

#include "platform/Exception.h"

#include <cstdint>
#include <memory>
#include <string_view>

namespace vexil {

// libjpeg's fatal error: "JPEG error #<libjpeg's message code>".
class EJPEG : public Exception {
public:
    explicit EJPEG(int code);
    int Code() const { return Code_; }

private:
    int Code_;
};

struct TJpegOutput {
    int ScaleDenominator = 1; // 1, 2, 4 or 8
    bool Smoothing = true;
    bool Grayscale = false;
    bool Quantize = false; // 8 bits per pixel with a colour map
    bool BestSpeed = false;
};

class TJpegDecompressor {
public:
    TJpegDecompressor();
    ~TJpegDecompressor();
    TJpegDecompressor(const TJpegDecompressor &) = delete;
    TJpegDecompressor &operator=(const TJpegDecompressor &) = delete;

    // The bytes must outlive the decompressor.
    void ReadHeader(std::string_view data);
    int ImageWidth() const;
    int ImageHeight() const;
    bool Progressive() const;

    // Sets the output up and computes its size.
    void Configure(const TJpegOutput &output);
    int OutputWidth() const;
    int OutputHeight() const;
    // Bytes per output pixel: 4 (blue, green, red, unused) or 1 (colour-map index or grey).
    int OutputBytesPerPixel() const;

    // Decodes the whole picture; rows[y] receives row y. For progressive files with
    // progressive display, onScan runs after each scan that has been drawn into rows.
    void Decode(std::uint8_t *const *rows, bool progressiveDisplay, void (*onScan)(void *),
                void *context);
    // The colour map of quantized output, kept after the decode: entries of red, green, blue.
    int ColorCount() const;
    void Color(int index, std::uint8_t &red, std::uint8_t &green, std::uint8_t &blue) const;

private:
    void KeepColorMap();

    struct TState;
    std::unique_ptr<TState> State;
};

} // namespace vexil
