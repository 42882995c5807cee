#include "picture/TPicture.h"
#include "picture/TIcon.h"
#include "picture/TJPEGImage.h"

#include "tests/picture/SamplePictures.h"

#include <gtest/gtest.h>

using namespace vexil;
using namespace vexil::test;

namespace {

std::string LoadError(TPicture &picture, const std::string &name) {
    try {
        picture.LoadFromFile(SamplePicture(name));
    } catch (const Exception &e) {
        return e.Message();
    }
    return "(loaded)";
}

} // namespace

TEST(TPictureFormats, KnowsBitmapsIconsAndJpegByExtension) {
    TPictureFormats &formats = TPictureFormats::Instance();
    EXPECT_NE(dynamic_cast<TBitmap *>(formats.Create("bmp").get()), nullptr);
    EXPECT_NE(dynamic_cast<TIcon *>(formats.Create("ICO").get()), nullptr);
    EXPECT_NE(dynamic_cast<TJPEGImage *>(formats.Create("jpg").get()), nullptr);
    EXPECT_NE(dynamic_cast<TJPEGImage *>(formats.Create("JPEG").get()), nullptr);
    for (const char *ext : {"gif", "pcx", "tga", "dib", "rle", "jpe", "png", "wmf", ""})
        EXPECT_EQ(formats.Create(ext), nullptr) << ext;
    int jpegEntries = 0;
    for (const auto &f : formats.Formats())
        if (f.ClassName == "TJPEGImage") {
            EXPECT_EQ(f.Description, "JPEG Image File");
            ++jpegEntries;
        }
    EXPECT_EQ(jpegEntries, 2);
}

TEST(TPictureFormats, UnregisteringAClassRemovesAllItsExtensions) {
    TPictureFormats &formats = TPictureFormats::Instance();
    UnregisterJPEGImage(formats);
    EXPECT_EQ(formats.Create("jpg"), nullptr);
    EXPECT_EQ(formats.Create("jpeg"), nullptr);
    RegisterJPEGImage(formats);
    EXPECT_NE(formats.Create("jpg"), nullptr);
}

TEST(TPicture, LoadsRegisteredTypesAndRefusesTheRest) {
    for (const char *name : {"pattern.bmp", "pattern.jpg", "pattern.jpeg", "pattern.JPEG"}) {
        TPicture picture;
        ASSERT_EQ(LoadError(picture, name), "(loaded)") << name;
        EXPECT_EQ(picture.Width(), 64) << name;
        EXPECT_EQ(picture.Height(), 48) << name;
        EXPECT_TRUE(HasRedBluePattern(picture.Graphic()->ToImage())) << name;
    }
    TPicture icon;
    ASSERT_EQ(LoadError(icon, "pattern.ico"), "(loaded)");
    EXPECT_EQ(icon.Width(), 32);
    EXPECT_TRUE(HasRedBluePattern(icon.Graphic()->ToImage()));

    TPicture picture;
    EXPECT_EQ(LoadError(picture, "pattern.gif"), "Unknown picture file extension (.gif)");
    EXPECT_EQ(LoadError(picture, "pattern.tga"), "Unknown picture file extension (.tga)");
    EXPECT_EQ(LoadError(picture, "notes.txt"), "Unknown picture file extension (.txt)");
}

TEST(TPicture, AFailedLoadKeepsThePictureBefore) {
    TPicture picture;
    int changes = 0;
    picture.OnChange = [&](TObject *) { ++changes; };
    ASSERT_EQ(LoadError(picture, "pattern.bmp"), "(loaded)");
    EXPECT_EQ(changes, 1);
    TGraphic *before = picture.Graphic();
    EXPECT_NE(LoadError(picture, "garbage.jpg"), "(loaded)");
    EXPECT_NE(LoadError(picture, "huge.bmp"), "(loaded)");
    EXPECT_NE(LoadError(picture, "missing.bmp"), "(loaded)");
    EXPECT_EQ(picture.Graphic(), before);
    EXPECT_EQ(changes, 1);
}

TEST(TBitmap, ReadsEightBitFilesWithTheirPaletteAndWritesBitmaps) {
    TBitmap bitmap;
    bitmap.LoadFromFile(SamplePicture("pattern.rle"));
    EXPECT_EQ(bitmap.Width(), 64);
    EXPECT_EQ(bitmap.Palette().size(), 256);
    EXPECT_TRUE(HasRedBluePattern(bitmap.ToImage()));

    TMemoryStream saved;
    bitmap.SaveToStream(saved);
    EXPECT_EQ(saved.Bytes().substr(0, 2), "BM");
    saved.SetPosition(0);
    TBitmap again;
    again.LoadFromStream(saved);
    EXPECT_TRUE(HasRedBluePattern(again.ToImage()));

    again.SetWidth(100);
    EXPECT_EQ(again.Width(), 100);
    EXPECT_EQ(again.ToImage().pixelColor(90, 10), QColor(Qt::white));
    EXPECT_THROW(TBitmap().SaveToStream(saved), EInvalidGraphic);
}

TEST(TIcon, SizeCannotBeChanged) {
    TIcon icon;
    icon.LoadFromFile(SamplePicture("pattern.ico"));
    EXPECT_THROW(icon.SetWidth(3), EInvalidGraphicOperation);
    EXPECT_THROW(icon.SetHeight(3), EInvalidGraphicOperation);
    TMemoryStream garbage(std::string("not an icon"));
    EXPECT_THROW(TIcon().LoadFromStream(garbage), EInvalidGraphic);
}
