#include "platform/NViewLib.h"

#include "tests/picture/SamplePictures.h"

#include <gtest/gtest.h>

using namespace vexil;
using namespace vexil::test;

TEST(NViewLibLoad, DecodesEveryPictureTypeByItsContent) {
    for (const char *name :
         {"pattern.jpg", "pattern.jpeg", "pattern.JPEG", "pattern.jpe", "pattern.gif",
          "pattern.bmp", "pattern.dib", "pattern.rle", "pattern.pcx", "pattern.tga",
          "disguised.gif", "cmyk.jpg", "progressive.jpg"}) {
        const QPixmap pixmap = NViewLibLoad(SamplePicture(name), 1);
        EXPECT_EQ(pixmap.width(), 64) << name;
        EXPECT_EQ(pixmap.height(), 48) << name;
        EXPECT_TRUE(HasRedBluePattern(pixmap.toImage())) << name;
    }
    const QImage grey = NViewLibLoad(SamplePicture("grey.jpg"), 1).toImage();
    ASSERT_EQ(grey.size(), QSize(64, 48));
    const QColor left = grey.pixelColor(16, 24), right = grey.pixelColor(48, 24);
    EXPECT_TRUE(left.red() == left.green() && left.green() == left.blue());
    EXPECT_GT(left.red(), right.red() + 30); // red is the lighter grey of the two
}

TEST(NViewLibLoad, ShowsWhatACutJpegHolds) {
    const QPixmap pixmap = NViewLibLoad(SamplePicture("cut.jpg"), 1);
    EXPECT_EQ(pixmap.width(), 800);
    EXPECT_EQ(pixmap.height(), 600);
}

TEST(NViewLibLoad, EveryFailureIsAnEmptyBitmap) {
    for (const char *name :
         {"garbage.jpg", "empty.gif", "notes.txt", "huge.bmp", "no-such-file.jpg"}) {
        const QPixmap pixmap = NViewLibLoad(SamplePicture(name), 1);
        EXPECT_EQ(pixmap.height(), 0) << name;
    }
    EXPECT_EQ(NViewLibLoad(SamplePicture(""), 1).height(), 0);
    EXPECT_EQ(NViewLibLoad(SamplePicture("pattern.jpg"), 0).height(), 0);
}

TEST(NViewLibLoad, DecodesIntoTheBitmapOfTheLastPictureOnlyWhenItIsFreeToReuse) {
    // The pattern over pixels of its own size that hold something else: all of them are
    // the new picture's, and the very same pixels are used.
    QImage stale(64, 48, QImage::Format_RGB32);
    stale.fill(Qt::green);
    const uchar *pixels = stale.constBits();
    QImage loaded = NViewLibLoad(SamplePicture("pattern.jpg"), 1, std::move(stale)).toImage();
    EXPECT_TRUE(HasRedBluePattern(loaded));
    EXPECT_EQ(loaded.constBits(), pixels);
    EXPECT_EQ(loaded.pixelColor(0, 0),
              NViewLibLoad(SamplePicture("pattern.jpg"), 1).toImage().pixelColor(0, 0));

    // Pixels someone else still shows are left alone; pixels of another size or format,
    // and a failed decode, give what a plain load gives.
    QImage shown(64, 48, QImage::Format_RGB32);
    shown.fill(Qt::green);
    QImage shared = shown;
    EXPECT_TRUE(HasRedBluePattern(
        NViewLibLoad(SamplePicture("pattern.gif"), 1, std::move(shared)).toImage()));
    EXPECT_EQ(shown.pixelColor(10, 10), QColor(Qt::green));
    for (QImage other :
         {QImage(48, 64, QImage::Format_RGB32), QImage(64, 48, QImage::Format_ARGB32), QImage()}) {
        const QPixmap pixmap = NViewLibLoad(SamplePicture("pattern.bmp"), 1, std::move(other));
        EXPECT_EQ(pixmap.size(), QSize(64, 48));
        EXPECT_TRUE(HasRedBluePattern(pixmap.toImage()));
    }
    EXPECT_EQ(NViewLibLoad(SamplePicture("garbage.jpg"), 1, QImage(64, 48, QImage::Format_RGB32))
                  .height(),
              0);
}
