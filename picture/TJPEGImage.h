#pragma once
// JPEG pictures for the picture registry, decoded by libjpeg(-turbo) the first time they are
// drawn or their bitmap is needed.

#include "picture/JpegDecompressor.h"
#include "picture/TGraphic.h"

#include <QPixmap>

#include <memory>

namespace vexil {

class TPictureFormats;

enum TJPEGPerformance { jpBestQuality, jpBestSpeed };
enum TJPEGPixelFormat { jf24Bit, jf8Bit };
enum TJPEGScale { jsFullSize, jsHalf, jsQuarter, jsEighth };

struct TJPEGDefaults {
    int CompressionQuality = 90;
    bool Grayscale = false;
    TJPEGPerformance Performance = jpBestQuality;
    TJPEGPixelFormat PixelFormat = jf24Bit;
    bool ProgressiveDisplay = false;
    bool ProgressiveEncoding = false;
    TJPEGScale Scale = jsFullSize;
    bool Smoothing = true;
};

// The options every new TJPEGImage starts with. On first use the pixel format is fixed from
// the screen: 8 bits per pixel on screens of 8 bits or fewer, else 24.
TJPEGDefaults &JPEGDefaults();
// The pixel format that a screen of that many bits per pixel (times planes) calls for.
TJPEGPixelFormat PixelFormatForScreen(int bitsPerPixel);

// Registers TJPEGImage for "jpeg" and "jpg" ("JPEG Image File").
void RegisterJPEGImage(TPictureFormats &formats);
void UnregisterJPEGImage(TPictureFormats &formats);

// The compressed bytes and the picture's size, shared by the copies of a picture.
struct TJPEGData {
    std::string Data;
    int Width = 0;
    int Height = 0;
};

class TJPEGImage : public TGraphic {
public:
    TJPEGImage();
    // Copies share the compressed data; each decodes on its own.
    TJPEGImage(const TJPEGImage &other);
    TJPEGImage &operator=(const TJPEGImage &other);

    bool Empty() const override { return !Data_ || Data_->Data.empty(); }
    // The size of the decoded picture: the file's size divided by the scale.
    int Width() const override;
    int Height() const override;
    // A JPEG picture's size is that of its data: both throw EInvalidGraphicOperation.
    void SetWidth(int value) override;
    void SetHeight(int value) override;

    // Takes the whole compressed data and reads the size from its header (EJPEG when the
    // data is not a JPEG file).
    void LoadFromStream(TStream &stream) override;
    // Writes the compressed data as it was loaded.
    void SaveToStream(TStream &stream) const override;

    void Draw(QPainter &painter, const QRect &rect) override;
    QImage ToImage() override;
    QVector<QRgb> Palette() const override;
    // Decodes now, unless already decoded; throws EJPEG.
    void DIBNeeded() override;
    bool Decoded() const { return !Bitmap_.isNull(); }

    // Changing an option that shapes the output drops the decoded bitmap.
    int CompressionQuality() const { return Options.CompressionQuality; }
    void SetCompressionQuality(int value) { Options.CompressionQuality = value; }
    bool Grayscale() const { return Options.Grayscale; }
    void SetGrayscale(bool value);
    TJPEGPerformance Performance() const { return Options.Performance; }
    void SetPerformance(TJPEGPerformance value);
    TJPEGPixelFormat PixelFormat() const { return Options.PixelFormat; }
    void SetPixelFormat(TJPEGPixelFormat value);
    bool ProgressiveDisplay() const { return Options.ProgressiveDisplay; }
    void SetProgressiveDisplay(bool value) { Options.ProgressiveDisplay = value; }
    bool ProgressiveEncoding() const { return Options.ProgressiveEncoding; }
    void SetProgressiveEncoding(bool value) { Options.ProgressiveEncoding = value; }
    TJPEGScale Scale() const { return Options.Scale; }
    void SetScale(TJPEGScale value);
    bool Smoothing() const { return Options.Smoothing; }
    void SetSmoothing(bool value);

    // With progressive display, fires after each scan of a progressive file is decoded.
    TNotifyEvent OnProgress;

private:
    TJpegOutput Output() const;
    void Decode();
    void FreeBitmap();
    // A new value of an option that shapes the output makes the bitmap decode anew.
    template <typename T> void SetOutputOption(T &option, T value) {
        if (option != value)
            FreeBitmap();
        option = value;
    }

    std::shared_ptr<const TJPEGData> Data_;
    TJPEGDefaults Options;
    QImage Bitmap_;
    QPixmap Pixmap_;
};

} // namespace vexil
