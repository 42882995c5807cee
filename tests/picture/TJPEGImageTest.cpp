#include "picture/TJPEGImage.h"
#include "picture/TPicture.h"

#include "tests/picture/SamplePictures.h"

#include <gtest/gtest.h>

#include <QPainter>

#include <cstdio>

#include <jpeglib.h>
// After jpeglib.h, which it needs.
#include <jerror.h>

using namespace vexil;
using namespace vexil::test;

namespace {

TJPEGImage Load(const std::string &name) {
    TJPEGImage jpeg;
    jpeg.LoadFromFile(SamplePicture(name));
    return jpeg;
}

int JpegErrorCode(const std::string &bytes) {
    TJPEGImage jpeg;
    TMemoryStream stream(bytes);
    try {
        jpeg.LoadFromStream(stream);
        jpeg.DIBNeeded();
    } catch (const EJPEG &e) {
        EXPECT_EQ(e.Message(), "JPEG error #" + std::to_string(e.Code()));
        return e.Code();
    }
    return -1;
}

} // namespace

TEST(TJPEGImage, StartsWithTheDefaultOptions) {
    const TJPEGImage jpeg;
    EXPECT_EQ(jpeg.CompressionQuality(), 90);
    EXPECT_FALSE(jpeg.Grayscale());
    EXPECT_EQ(jpeg.Performance(), jpBestQuality);
    EXPECT_EQ(jpeg.PixelFormat(), jf24Bit); // the offscreen screen has 32 bits per pixel
    EXPECT_FALSE(jpeg.ProgressiveDisplay());
    EXPECT_FALSE(jpeg.ProgressiveEncoding());
    EXPECT_EQ(jpeg.Scale(), jsFullSize);
    EXPECT_TRUE(jpeg.Smoothing());
    EXPECT_TRUE(jpeg.Empty());
    EXPECT_EQ(PixelFormatForScreen(8), jf8Bit);
    EXPECT_EQ(PixelFormatForScreen(4), jf8Bit);
    EXPECT_EQ(PixelFormatForScreen(16), jf24Bit);
}

TEST(TJPEGImage, KnowsItsSizeFromTheHeaderAndDecodesOnFirstNeed) {
    TJPEGImage jpeg = Load("size-400x1000.jpg");
    EXPECT_FALSE(jpeg.Decoded());
    EXPECT_EQ(jpeg.Width(), 400);
    EXPECT_EQ(jpeg.Height(), 1000);
    const QImage image = jpeg.ToImage();
    EXPECT_TRUE(jpeg.Decoded());
    EXPECT_EQ(image.format(), QImage::Format_RGB32);
    EXPECT_TRUE(HasRedBluePattern(image));
    EXPECT_TRUE(jpeg.Palette().isEmpty());
}

TEST(TJPEGImage, EightBitOutputIsQuantizedTo236ColoursWithAPalette) {
    TJPEGImage jpeg = Load("size-800x600.jpg");
    jpeg.SetPixelFormat(jf8Bit);
    const QImage image = jpeg.ToImage();
    EXPECT_EQ(image.format(), QImage::Format_Indexed8);
    EXPECT_LE(image.colorCount(), 236);
    EXPECT_GT(image.colorCount(), 1);
    EXPECT_EQ(jpeg.Palette(), image.colorTable());
    EXPECT_TRUE(HasRedBluePattern(image.convertToFormat(QImage::Format_RGB32)));
    // Best speed: one-pass quantizer with ordered dithering, still 236 colours at most.
    jpeg.SetPerformance(jpBestSpeed);
    EXPECT_FALSE(jpeg.Decoded());
    EXPECT_LE(jpeg.ToImage().colorCount(), 236);
}

TEST(TJPEGImage, GreyOutputHasAGreyPalette) {
    for (const char *name : {"pattern.jpg", "grey.jpg"}) {
        TJPEGImage jpeg = Load(name);
        jpeg.SetGrayscale(true);
        const QImage image = jpeg.ToImage();
        EXPECT_EQ(image.format(), QImage::Format_Indexed8) << name;
        for (QRgb c : image.colorTable())
            EXPECT_TRUE(qRed(c) == qGreen(c) && qGreen(c) == qBlue(c)) << name;
    }
    // A grey file in 24-bit output is grey in every channel.
    const QImage grey = Load("grey.jpg").ToImage();
    EXPECT_EQ(grey.format(), QImage::Format_RGB32);
    const QColor c = grey.pixelColor(5, 5);
    EXPECT_TRUE(c.red() == c.green() && c.green() == c.blue());
}

TEST(TJPEGImage, ScalesByPowersOfTwo) {
    TJPEGImage jpeg = Load("size-800x600.jpg");
    const std::pair<TJPEGScale, QSize> cases[] = {
        {jsHalf, {400, 300}}, {jsQuarter, {200, 150}}, {jsEighth, {100, 75}}};
    for (auto [scale, size] : cases) {
        jpeg.SetScale(scale);
        EXPECT_EQ(QSize(jpeg.Width(), jpeg.Height()), size);
        EXPECT_EQ(jpeg.ToImage().size(), size);
    }
}

TEST(TJPEGImage, DecodesProgressiveAndCmykFiles) {
    TJPEGImage progressive = Load("progressive.jpg");
    EXPECT_TRUE(HasRedBluePattern(progressive.ToImage()));
    EXPECT_TRUE(HasRedBluePattern(Load("cmyk.jpg").ToImage()));

    // Progressive display draws each scan as it comes, then the final picture.
    TJPEGImage shown = Load("progressive.jpg");
    shown.SetProgressiveDisplay(true);
    int scans = 0;
    shown.OnProgress = [&](TObject *) { ++scans; };
    EXPECT_TRUE(HasRedBluePattern(shown.ToImage()));
    EXPECT_GT(scans, 1);
    shown.SetPixelFormat(jf8Bit);
    EXPECT_TRUE(HasRedBluePattern(shown.ToImage().convertToFormat(QImage::Format_RGB32)));
}

TEST(TJPEGImage, FatalErrorsAreEJPEGWithLibjpegsCode) {
    EXPECT_EQ(JpegErrorCode("not a jpeg at all"), JERR_NO_SOI);
    EXPECT_EQ(JpegErrorCode(""), JERR_INPUT_EMPTY);
    const TJPEGImage whole = Load("pattern.jpg");
    TMemoryStream saved;
    whole.SaveToStream(saved);
    // Cut before the first scan: the header is there, the picture data is not.
    EXPECT_GT(JpegErrorCode(std::string(saved.Bytes().substr(0, 300))), 0);
}

TEST(TJPEGImage, ACutFileShowsWhatItHolds) {
    TJPEGImage jpeg = Load("cut.jpg");
    EXPECT_EQ(jpeg.ToImage().size(), QSize(800, 600));
}

TEST(TJPEGImage, SizeCannotBeChanged) {
    TJPEGImage jpeg = Load("pattern.jpg");
    try {
        jpeg.SetWidth(10);
        FAIL();
    } catch (const EInvalidGraphicOperation &e) {
        EXPECT_EQ(e.Message(), "Cannot change the size of a JPEG image");
    }
    EXPECT_THROW(jpeg.SetHeight(10), EInvalidGraphicOperation);
    EXPECT_EQ(jpeg.Width(), 64);
}

TEST(TJPEGImage, CopiesShareTheDataAndSaveItUnchanged) {
    TJPEGImage original = Load("pattern.jpg");
    TJPEGImage copy(original);
    copy.SetScale(jsHalf);
    EXPECT_EQ(copy.Width(), 32);
    EXPECT_EQ(original.Width(), 64);
    TMemoryStream a, b;
    original.SaveToStream(a);
    copy.SaveToStream(b);
    TMemoryStream file;
    file.LoadFromFile(SamplePicture("pattern.jpg"));
    EXPECT_EQ(a.Bytes(), file.Bytes());
    EXPECT_EQ(b.Bytes(), file.Bytes());
}

TEST(TJPEGImage, DrawsIntoAPainter) {
    TJPEGImage jpeg = Load("pattern.jpg");
    QImage canvas(64, 48, QImage::Format_RGB32);
    canvas.fill(Qt::green);
    {
        QPainter painter(&canvas);
        jpeg.Draw(painter, canvas.rect());
    }
    EXPECT_TRUE(HasRedBluePattern(canvas));
}
