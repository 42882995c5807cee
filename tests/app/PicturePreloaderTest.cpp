// Decoding ahead: Forward and Back take the neighbours' pixels when they are ready and the
// file is unchanged, hold no more than the two neighbours, and fall back to the ordinary
// load (and its failure handling) for anything changed, deleted or broken.
#include "app/TPicOfPicBox.h"
#include "app/TPicturePreloader.h"
#include "app/TPictureViewer.h"
#include "picture/TGifImage.h"

#include "tests/picture/SamplePictures.h"
#include "tests/support/TempHome.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <QScrollArea>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <future>
#include <thread>

using namespace vexil;
using namespace vexil::test;
namespace fs = std::filesystem;

namespace {

class PicturePreloaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = home.Home() + "TEMP/";
        fs::create_directories(folder);
        sbMain = new QScrollArea(&window);
        sbMain->setGeometry(0, 0, 536, 318);
        image = new TGifImage;
        sbMain->setWidget(image);
        TPictureViewer::TControls c;
        c.Image1 = image;
        c.sbMain = sbMain;
        c.PicOfPic = new TPicOfPicBox(&window);
        c.SlowColor = &slowColor;
        viewer = std::make_unique<TPictureViewer>(c, folder);
        viewer->ShiftDown = [] { return false; };
    }

    // Lists count copies of the red and blue bitmap, p0.bmp onwards.
    std::vector<std::string> AddPatterns(int count) {
        std::vector<std::string> paths;
        for (int i = 0; i < count; ++i) {
            paths.push_back(folder + "p" + std::to_string(i) + ".bmp");
            fs::copy_file(SamplePicture("pattern.bmp"), paths.back());
            viewer->AddPicture(paths.back());
        }
        return paths;
    }
    // Same size, other colours: every pixel byte inverted.
    static void InvertPixels(const std::string &path) {
        std::string bytes = ReadFile(path);
        const auto offset =
            std::size_t(std::uint8_t(bytes[10])) | std::size_t(std::uint8_t(bytes[11])) << 8;
        for (std::size_t i = offset; i < bytes.size(); ++i)
            bytes[i] = char(~bytes[i]);
        WriteFile(path, bytes);
    }
    bool ShowsPattern() const { return HasRedBluePattern(image->grab().toImage()); }

    TempHome home;
    std::string folder;
    QWidget window;
    QScrollArea *sbMain = nullptr;
    TGifImage *image = nullptr;
    bool slowColor = false;
    std::unique_ptr<TPictureViewer> viewer;
};

} // namespace

TEST_F(PicturePreloaderTest, ForwardAndBackUseThePreloadedPixelsOfAnUnchangedFile) {
    const std::vector<std::string> paths = AddPatterns(3);
    viewer->Preloader().WaitForAll();
    // New bytes under the old size and time: only pixels decoded before can show the pattern.
    const auto modified = fs::last_write_time(paths[1]);
    InvertPixels(paths[1]);
    fs::last_write_time(paths[1], modified);
    viewer->Forward();
    EXPECT_EQ(viewer->CurIndex, 1);
    EXPECT_TRUE(ShowsPattern());

    // Back again: p0 was preloaded as p1's neighbour.
    viewer->Preloader().WaitForAll();
    const auto firstModified = fs::last_write_time(paths[0]);
    InvertPixels(paths[0]);
    fs::last_write_time(paths[0], firstModified);
    viewer->Back();
    EXPECT_TRUE(ShowsPattern());
}

TEST_F(PicturePreloaderTest, HoldsNoMoreThanTheTwoNeighbours) {
    AddPatterns(6);
    EXPECT_EQ(viewer->Preloader().Held(), 1u);
    for (int i = 0; i < 5; ++i) {
        viewer->Forward();
        EXPECT_LE(viewer->Preloader().Held(), 2u) << i;
    }
    EXPECT_EQ(viewer->Preloader().Held(), 1u);
    viewer->DeleteCurrentPicture();
    viewer->DeleteCurrentPicture();
    EXPECT_EQ(viewer->Preloader().Held(), 1u);
}

TEST_F(PicturePreloaderTest, AChangedOrDeletedFileIsLoadedAfreshOrDroppedAsBefore) {
    const std::vector<std::string> paths = AddPatterns(4);
    viewer->Preloader().WaitForAll();
    InvertPixels(paths[1]);
    fs::last_write_time(paths[1], fs::last_write_time(paths[1]) + std::chrono::seconds(5));
    viewer->Forward();
    EXPECT_EQ(viewer->CurIndex, 1);
    EXPECT_FALSE(ShowsPattern());
    EXPECT_EQ(image->Picture().Width(), 64);

    viewer->Preloader().WaitForAll();
    fs::remove(paths[2]);
    viewer->Forward();
    // The vanished picture leaves the list and the index steps back, as any failed load does.
    EXPECT_EQ(viewer->PictureList, (std::vector<std::string>{paths[0], paths[1], paths[3]}));
    EXPECT_EQ(viewer->CurIndex, 1);
    viewer->Forward();
    EXPECT_EQ(viewer->CurIndex, 2);
    EXPECT_TRUE(ShowsPattern());
}

TEST_F(PicturePreloaderTest, ABrokenNeighbourIsDeletedOnlyWhenItsTurnComes) {
    const std::vector<std::string> paths = AddPatterns(1);
    const std::string broken = folder + "broken.jpg";
    WriteFile(broken, "\xFF\xD8\xFF not a picture");
    viewer->AddPicture(broken);
    fs::copy_file(SamplePicture("pattern.bmp"), folder + "last.bmp");
    viewer->AddPicture(folder + "last.bmp");
    viewer->Preloader().WaitForAll();
    EXPECT_TRUE(fs::exists(broken));
    EXPECT_TRUE(ShowsPattern());

    viewer->Forward();
    EXPECT_FALSE(fs::exists(broken));
    EXPECT_EQ(viewer->PictureList, (std::vector<std::string>{paths[0], folder + "last.bmp"}));
    EXPECT_EQ(viewer->CurIndex, 0);
    viewer->Forward();
    EXPECT_EQ(viewer->CurIndex, 1);
    EXPECT_TRUE(ShowsPattern());
}

TEST(TPicturePreloader, DecodesEachPathOnceAndHandsOutOnlyFinishedPixels) {
    TempHome home;
    const std::string a = home.Home() + "a.bmp", b = home.Home() + "b.bmp";
    WriteFile(a, "a");
    WriteFile(b, "b");
    std::atomic<int> decodes{0};
    std::atomic<bool> open{true};
    TPicturePreloader preloader([&](const std::string &) {
        ++decodes;
        while (!open)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return QImage(4, 3, QImage::Format_RGB32);
    });
    preloader.Preload({a, b});
    preloader.Preload({b, a});
    preloader.WaitForAll();
    EXPECT_EQ(decodes.load(), 2);
    const std::optional<QImage> pixels = preloader.Take(b);
    ASSERT_TRUE(pixels.has_value());
    EXPECT_EQ(pixels->size(), QSize(4, 3));
    EXPECT_FALSE(preloader.Take(b).has_value());
    EXPECT_EQ(preloader.Held(), 1u);

    // Not decoded yet: the caller loads it itself rather than waiting.
    open = false;
    preloader.Preload({b});
    EXPECT_FALSE(preloader.Take(b).has_value());
    EXPECT_EQ(preloader.Held(), 0u);
    open = true;

    // A folder or a missing file is left to the display path.
    preloader.Preload({home.Home(), home.Home() + "missing.bmp"});
    EXPECT_EQ(preloader.Held(), 0u);
}
