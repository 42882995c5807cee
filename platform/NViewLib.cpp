#include "platform/NViewLib.h"

#include <Magick++.h>

#include <QImage>

#include <mutex>

namespace vexil {

namespace {

// A hostile file may declare any size; these bound what a decode may allocate.
constexpr unsigned long kMaxSide = 32768;
constexpr unsigned long kMaxPixels = 256ul * 1024 * 1024;

void InitializeOnce() {
    static std::once_flag once;
    std::call_once(once, [] {
        Magick::InitializeMagick(nullptr);
        MagickLib::SetMagickResourceLimit(MagickLib::WidthResource, kMaxSide);
        MagickLib::SetMagickResourceLimit(MagickLib::HeightResource, kMaxSide);
        MagickLib::SetMagickResourceLimit(MagickLib::PixelsResource, kMaxPixels);
    });
}

// Reads the file; a warning (a truncated JPEG, say) still leaves a picture worth showing.
bool ReadImage(Magick::Image &image, const std::string &path) {
    try {
        image.read(path);
    } catch (const Magick::Warning &) {
    }
    return image.isValid() && image.columns() > 0 && image.rows() > 0;
}

// Eight bits of a channel. The picture types here carry eight bits a channel, which the
// library widens by 257, so the high byte is the channel exactly.
constexpr unsigned kQuantumShift = QuantumDepth - 8;

// The decoded pixels, taken straight from the library's pixel cache in one pass, into
// reuse when it fits.
QImage ToQImage(Magick::Image &image, QImage reuse) {
    const int width = int(image.columns());
    const int height = int(image.rows());
    // Format_RGB32 is the pixmap's own layout here: no conversion on the way to the screen.
    // Pixels shared with anyone else would be copied on the first write: not worth it then.
    const bool fits = reuse.width() == width && reuse.height() == height &&
                      reuse.format() == QImage::Format_RGB32 && reuse.isDetached();
    QImage out = fits ? std::move(reuse) : QImage(width, height, QImage::Format_RGB32);
    if (out.isNull())
        return {};
    // Red, green and blue, whatever the file held (a CMYK JPEG, a palette).
    image.type(Magick::TrueColorType);
    const MagickLib::PixelPacket *pixels = image.getConstPixels(0, 0, width, height);
    if (pixels == nullptr)
        return {};
    for (int y = 0; y < height; ++y) {
        QRgb *row = reinterpret_cast<QRgb *>(out.scanLine(y));
        const MagickLib::PixelPacket *p = pixels + std::size_t(y) * std::size_t(width);
        for (int x = 0; x < width; ++x)
            row[x] = 0xFF000000u | (unsigned(p[x].red) >> kQuantumShift) << 16 |
                     (unsigned(p[x].green) >> kQuantumShift) << 8 |
                     (unsigned(p[x].blue) >> kQuantumShift);
    }
    return out;
}

} // namespace

QPixmap NViewLibLoad(const std::string &path, int mode) {
    return NViewLibLoad(path, mode, QImage());
}

namespace {

// The whole picture, into reuse's pixels when they fit; a null image on any failure.
QImage DecodeFull(const std::string &path, QImage reuse) {
    try {
        InitializeOnce();
        Magick::Image image;
        image.quiet(true);
        if (!ReadImage(image, path))
            return {};
        return ToQImage(image, std::move(reuse));
    } catch (...) {
        // The library's contract is an empty bitmap for every failure, whatever its kind.
        return {};
    }
}

} // namespace

QPixmap NViewLibLoad(const std::string &path, int mode, QImage &&reuse) {
    QImage pixels = std::move(reuse);
    if (mode != 1)
        return {};
    QImage bitmap = DecodeFull(path, std::move(pixels));
    if (bitmap.isNull())
        return {};
    return QPixmap::fromImage(std::move(bitmap));
}

QImage NViewLibImage(const std::string &path) {
    return DecodeFull(path, QImage());
}

QImage NViewLibThumbnail(const std::string &path, int side) {
    if (side <= 0)
        return {};
    try {
        InitializeOnce();
        Magick::Image image;
        image.quiet(true);
        // A size hint lets the JPEG decoder skip most of a large picture's pixels.
        image.size(Magick::Geometry(unsigned(side), unsigned(side)));
        if (!ReadImage(image, path))
            return {};
        QImage pixels = ToQImage(image, QImage());
        if (pixels.isNull())
            return {};
        if (pixels.width() <= side && pixels.height() <= side)
            return pixels;
        return pixels.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    } catch (...) {
        return {};
    }
}

} // namespace vexil
