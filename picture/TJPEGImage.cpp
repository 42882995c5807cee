#include "picture/TJPEGImage.h"

#include "picture/TPicture.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

#include <vector>

namespace vexil {

namespace {

int ScreenDepth() {
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()) == nullptr)
        return 24;
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->depth() : 24;
}

// Stands in for the system halftone palette: the 6 x 6 x 6 colour cube and a grey ramp.
QVector<QRgb> HalftonePalette() {
    QVector<QRgb> palette;
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                palette.push_back(qRgb(r * 51, g * 51, b * 51));
    for (int i = 0; palette.size() < 256; ++i)
        palette.push_back(qRgb(i * 6 + 8, i * 6 + 8, i * 6 + 8));
    return palette;
}

} // namespace

TJPEGPixelFormat PixelFormatForScreen(int bitsPerPixel) {
    return bitsPerPixel <= 8 ? jf8Bit : jf24Bit;
}

TJPEGDefaults &JPEGDefaults() {
    static TJPEGDefaults defaults = [] {
        TJPEGDefaults d;
        d.PixelFormat = PixelFormatForScreen(ScreenDepth());
        return d;
    }();
    return defaults;
}

void RegisterJPEGImage(TPictureFormats &formats) {
    for (const char *ext : {"jpeg", "jpg"})
        formats.Register(ext, "JPEG Image File", "TJPEGImage",
                         [] { return std::make_unique<TJPEGImage>(); });
}

void UnregisterJPEGImage(TPictureFormats &formats) {
    formats.Unregister("TJPEGImage");
}

TJPEGImage::TJPEGImage() : Options(JPEGDefaults()) {}

TJPEGImage::TJPEGImage(const TJPEGImage &other)
    : TGraphic(other), Data_(other.Data_), Options(other.Options) {}

TJPEGImage &TJPEGImage::operator=(const TJPEGImage &other) {
    if (this != &other) {
        Data_ = other.Data_;
        Options = other.Options;
        FreeBitmap();
    }
    return *this;
}

int TJPEGImage::Width() const {
    if (!Bitmap_.isNull())
        return Bitmap_.width();
    const int d = 1 << Options.Scale;
    return Data_ ? (Data_->Width + d - 1) / d : 0;
}

int TJPEGImage::Height() const {
    if (!Bitmap_.isNull())
        return Bitmap_.height();
    const int d = 1 << Options.Scale;
    return Data_ ? (Data_->Height + d - 1) / d : 0;
}

void TJPEGImage::SetWidth(int) {
    throw EInvalidGraphicOperation("Cannot change the size of a JPEG image");
}

void TJPEGImage::SetHeight(int) {
    throw EInvalidGraphicOperation("Cannot change the size of a JPEG image");
}

void TJPEGImage::LoadFromStream(TStream &stream) {
    TMemoryStream bytes;
    bytes.CopyFrom(stream);
    auto data = std::make_shared<TJPEGData>();
    data->Data = bytes.Release();
    TJpegDecompressor header;
    header.ReadHeader(data->Data);
    data->Width = header.ImageWidth();
    data->Height = header.ImageHeight();
    Data_ = std::move(data);
    FreeBitmap();
}

void TJPEGImage::SaveToStream(TStream &stream) const {
    if (Data_)
        stream.Write(Data_->Data);
}

TJpegOutput TJPEGImage::Output() const {
    TJpegOutput out;
    out.ScaleDenominator = 1 << Options.Scale;
    out.Smoothing = Options.Smoothing;
    out.Grayscale = Options.Grayscale;
    out.Quantize = Options.PixelFormat == jf8Bit || Options.Grayscale;
    out.BestSpeed = Options.Performance == jpBestSpeed;
    return out;
}

void TJPEGImage::Decode() {
    if (Empty())
        return;
    TJpegDecompressor jpeg;
    jpeg.ReadHeader(Data_->Data);
    jpeg.Configure(Output());
    const bool indexed = jpeg.OutputBytesPerPixel() == 1;
    QImage image(jpeg.OutputWidth(), jpeg.OutputHeight(),
                 indexed ? QImage::Format_Indexed8 : QImage::Format_RGB32);
    if (image.isNull())
        throw EInvalidGraphic("JPEG image is too large");
    std::vector<std::uint8_t *> rows(std::size_t(image.height()));
    for (int y = 0; y < image.height(); ++y)
        rows[std::size_t(y)] = image.scanLine(y);

    struct Scan {
        TJPEGImage *self;
        QImage *image;
    } scan{this, &image};
    auto onScan = [](void *context) {
        auto *s = static_cast<Scan *>(context);
        if (s->self->OnProgress) {
            s->self->Bitmap_ = *s->image;
            s->self->OnProgress(s->self);
        }
    };
    jpeg.Decode(rows.data(), Options.ProgressiveDisplay, onScan, &scan);
    if (indexed) {
        QVector<QRgb> table;
        for (int i = 0; i < jpeg.ColorCount(); ++i) {
            std::uint8_t r, g, b;
            jpeg.Color(i, r, g, b);
            table.push_back(qRgb(r, g, b));
        }
        image.setColorTable(table);
    }
    Bitmap_ = std::move(image);
}

void TJPEGImage::DIBNeeded() {
    if (Bitmap_.isNull())
        Decode();
}

void TJPEGImage::Draw(QPainter &painter, const QRect &rect) {
    DIBNeeded();
    if (Bitmap_.isNull())
        return;
    if (Pixmap_.isNull())
        Pixmap_ = QPixmap::fromImage(Bitmap_);
    painter.drawPixmap(rect, Pixmap_);
}

QImage TJPEGImage::ToImage() {
    DIBNeeded();
    return Bitmap_;
}

QVector<QRgb> TJPEGImage::Palette() const {
    if (!Bitmap_.isNull())
        return Bitmap_.colorTable();
    if (Options.PixelFormat == jf24Bit && ScreenDepth() <= 8)
        return HalftonePalette();
    return {};
}

void TJPEGImage::FreeBitmap() {
    Bitmap_ = QImage();
    Pixmap_ = QPixmap();
}

void TJPEGImage::SetGrayscale(bool value) {
    SetOutputOption(Options.Grayscale, value);
}

void TJPEGImage::SetPerformance(TJPEGPerformance value) {
    SetOutputOption(Options.Performance, value);
}

void TJPEGImage::SetPixelFormat(TJPEGPixelFormat value) {
    SetOutputOption(Options.PixelFormat, value);
}

void TJPEGImage::SetScale(TJPEGScale value) {
    SetOutputOption(Options.Scale, value);
}

void TJPEGImage::SetSmoothing(bool value) {
    SetOutputOption(Options.Smoothing, value);
}

} // namespace vexil
