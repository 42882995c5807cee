#include "picture/TGifImage.h"

#include "tests/picture/GifBuilder.h"
#include "tests/picture/SamplePictures.h"

#include "platform/MessagePump.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>

#include <filesystem>
#include <fstream>

#include <unistd.h>

using namespace vexil;
using namespace vexil::test;

namespace {

class TGifImageTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() / ("gifimage-" + std::to_string(getpid()));
        std::filesystem::create_directories(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::string Write(const std::string &name, const std::string &bytes) {
        const auto path = dir / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path.string();
    }

    std::filesystem::path dir;
};

std::string RedBlueGif(bool withExtension = false) {
    GifLayout l;
    l.width = 64;
    l.height = 48;
    l.globalBits = 1;
    l.minCodeSize = 2;
    if (withExtension) {
        l.signature = "GIF89a";
        l.beforeImage = std::string("\x21\xF9\x04\x01\x00\x00\x00\x00", 8);
    }
    std::vector<std::uint8_t> pixels;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            pixels.push_back(x < 32 ? 0 : 1);
    std::string gif = LiteralGif(l, pixels);
    // Colour 0 red, colour 1 blue.
    gif.replace(13, 6, std::string("\xFF\x00\x00\x00\x00\xFF", 6));
    return gif;
}

} // namespace

TEST_F(TGifImageTest, ShowsTheDecodedFileAndKeepsItsNameInUpperCase) {
    TGifImage image;
    image.SetAutoSize(true);
    const std::string path = Write("Red-Blue.gif", RedBlueGif());
    image.SetGifFileName(path);
    std::string upper = path;
    for (char &c : upper)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(image.GifFileName(), upper);
    EXPECT_EQ(image.size(), QSize(64, 48));
    EXPECT_TRUE(HasRedBluePattern(image.Picture().Graphic()->ToImage()));
    EXPECT_TRUE(HasRedBluePattern(image.grab().toImage()));
    // The same name again loads the file again.
    Write("Red-Blue.gif", RedBlueGif(true));
    image.SetGifFileName(path);
    EXPECT_EQ(image.GifFileName(), "");
}

TEST_F(TGifImageTest, AFailureEmptiesThePictureAndTheNameWithoutThrowing) {
    TGifImage image;
    image.SetGifFileName(Write("good.gif", RedBlueGif()));
    ASSERT_NE(image.GifFileName(), "");
    for (const std::string &path : {Write("extension.gif", RedBlueGif(true)),
                                    Write("text.gif", "hello"), (dir / "missing.gif").string()}) {
        image.SetGifFileName(path);
        EXPECT_EQ(image.GifFileName(), "") << path;
        EXPECT_EQ(image.Picture().Graphic(), nullptr) << path;
    }
    // The replaced decoder works as the first did.
    image.SetGifFileName(Write("good.gif", RedBlueGif()));
    EXPECT_NE(image.GifFileName(), "");
}

namespace {

TGifImage *g_reentered = nullptr;
std::string g_otherFile;
std::string g_nameDuringDecode = "(not reached)";

} // namespace

TEST_F(TGifImageTest, AnAssignmentWhileADecodeRunsIsRefused) {
    TGifImage image;
    const std::string first = Write("first.gif", RedBlueGif());
    g_otherFile = Write("other.gif", RedBlueGif());
    g_reentered = &image;
    // The decoder lets the GUI breathe after a line; a handler then assigns another file.
    SetMessagePumpHook([] {
        TGifImage *image = g_reentered;
        g_reentered = nullptr;
        if (image == nullptr)
            return;
        image->SetGifFileName(g_otherFile);
        g_nameDuringDecode = image->GifFileName();
    });
    image.SetGifFileName(first);
    SetMessagePumpHook(nullptr);
    EXPECT_EQ(g_nameDuringDecode, "");
    EXPECT_NE(image.GifFileName().find("FIRST.GIF"), std::string::npos);
    EXPECT_TRUE(HasRedBluePattern(image.Picture().Graphic()->ToImage()));
}

TEST(TImage, StretchesCentresAndReportsMousePresses) {
    TImage image;
    image.Picture().LoadFromFile(SamplePicture("pattern.bmp"));
    image.SetAutoSize(true);
    EXPECT_EQ(image.size(), QSize(64, 48));
    image.SetAutoSize(false);
    image.SetStretch(true);
    image.SetBounds(128, 96);
    EXPECT_TRUE(HasRedBluePattern(image.grab().toImage()));
    EXPECT_EQ(image.grab().toImage().pixelColor(60, 50).red() > 200, true); // stretched
    Qt::MouseButton pressed = Qt::NoButton;
    image.OnMouseDown = [&](TObject *sender, Qt::MouseButton button, Qt::KeyboardModifiers,
                            QPoint) {
        EXPECT_EQ(sender, &image);
        pressed = button;
    };
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(3, 3), QPointF(3, 3), Qt::RightButton,
                      Qt::RightButton, Qt::NoModifier);
    QApplication::sendEvent(&image, &press);
    EXPECT_EQ(pressed, Qt::RightButton);
    EXPECT_EQ(image.accessibleName(), "Picture");

    int key = 0;
    image.OnKeyDown = [&](TObject *, int k, Qt::KeyboardModifiers) { key = k; };
    QKeyEvent plus(QEvent::KeyPress, Qt::Key_Plus, Qt::NoModifier, QStringLiteral("+"));
    QApplication::sendEvent(&image, &plus);
    EXPECT_EQ(key, Qt::Key_Plus);
    EXPECT_EQ(image.focusPolicy(), Qt::StrongFocus);
}
