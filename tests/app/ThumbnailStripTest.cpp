// The thumbnail strip: its rows against the picture list (as the window keeps them during a
// Go, on deletion and on its own), choosing pictures with the mouse and the keyboard, the
// disk cache across starts, and what a broken picture or a broken cache gives.
#include "app/TPicOfPicBox.h"
#include "app/TPictureViewer.h"
#include "app/TThumbnailModel.h"
#include "app/TThumbnailStrip.h"
#include "app/TfrmMain.h"
#include "tests/app/BrowseFixture.h"

#include "tests/support/ModalCatcher.h"
#include "tests/support/QtTestHelpers.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempHome.h"

#include <QAction>
#include <QDir>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

using namespace vexil;
namespace fs = std::filesystem;

namespace {

constexpr int kWait = 20000;

int State(const TThumbnailModel &model, int row) {
    return model.data(model.index(row), TThumbnailModel::StateRole).toInt();
}

// Asks for the row's thumbnail as a view would, then waits for it.
int MadeState(TThumbnailModel &model, int row) {
    model.data(model.index(row), Qt::DecorationRole);
    // A wait that runs out shows as a state still waiting, which the caller checks.
    static_cast<void>(
        QTest::qWaitFor([&] { return State(model, row) != TThumbnailModel::tsWaiting; }, kWait));
    return State(model, row);
}

QStringList CacheFiles(const QString &folder) {
    return QDir(folder).entryList({"*.png"}, QDir::Files, QDir::Name);
}

// A JPEG of the given size, left half red and right half blue.
void WritePicture(const std::string &path, QSize size) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::blue);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width() / 2; ++x)
            image.setPixel(x, y, qRgb(255, 0, 0));
    ASSERT_TRUE(image.save(QString::fromStdString(path), "jpg"));
}

void WriteBytes(const fs::path &path, const std::string &bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::vector<std::string> Paths(const TThumbnailModel &model) {
    std::vector<std::string> paths;
    for (int row = 0; row < model.rowCount(); ++row)
        paths.push_back(
            model.data(model.index(row), TThumbnailModel::PathRole).toString().toStdString());
    return paths;
}

// The model on its own, over pictures in a private folder with a private cache.
class ThumbnailModelTest : public ::testing::Test {
protected:
    ThumbnailModelTest() {
        fs::create_directories(pictures);
        for (int i = 0; i < 4; ++i)
            list.push_back(Make("p" + std::to_string(i) + ".jpg", QSize(300, 200)));
    }
    std::string Make(const std::string &name, QSize size) {
        const fs::path to = pictures / name;
        WritePicture(to.string(), size);
        return to.string();
    }

    test::TempHome home;
    fs::path pictures = home.Root() / "pictures";
    QString cacheFolder = QString::fromStdString((home.Root() / "cache").string());
    std::vector<std::string> list;
};

// The main window with pictures p0.jpg .. p(n-1).jpg kept from an earlier run and a private
// desktop cache folder.
class ThumbnailWindowTest : public ::testing::Test {
protected:
    void Start(int pictures) {
        fs::create_directories(Folder());
        for (int i = 0; i < pictures; ++i)
            WritePicture(Folder() + "p" + std::to_string(i) + ".jpg",
                         i % 2 ? QSize(100, 100) : QSize(300, 200));
        Open();
    }
    void Open() {
        form = std::make_unique<TfrmMain>();
        form->show();
        test::RunEventLoop();
    }
    std::string Folder() const { return home.Home() + "TEMP/"; }
    QString CacheFolder() const { return cacheHome + "/vexil/thumbnails"; }
    TThumbnailStrip &Strip() { return *form->Thumbnails; }
    TThumbnailModel &Model() { return form->Thumbnails->Model(); }
    // Ticks Thumbnails and waits until the thumbnails in sight are there.
    void ShowStrip() {
        form->mniThumbnails->trigger();
        ASSERT_TRUE(Strip().isVisible());
        test::RunEventLoop();
        ASSERT_GT(Model().rowCount(), 0);
        EXPECT_TRUE(QTest::qWaitFor([&] { return State(Model(), 0) != TThumbnailModel::tsWaiting; },
                                    kWait));
        Model().WaitForJobs();
        test::RunEventLoop();
    }
    void Click(int row) {
        const QRect rect = Strip().visualRect(Model().index(row));
        QTest::mouseClick(Strip().viewport(), Qt::LeftButton, {}, rect.center());
    }

    test::TempHome home;
    QString cacheHome = QString::fromStdString((home.Root() / "cache").string());
    test::ScopedEnv cacheEnv{"XDG_CACHE_HOME", cacheHome.toUtf8().constData()};
    std::unique_ptr<TfrmMain> form;
};

} // namespace

TEST_F(ThumbnailModelTest, RowsFollowAppendsRemovalsAndReorderingWithoutLosingThumbnails) {
    TThumbnailModel model(TThumbnailCache(32, cacheFolder));
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    std::vector<std::string> shown(list.begin(), list.begin() + 2);
    model.SetPictures(shown);
    model.SetPictures(list);
    EXPECT_EQ(inserted.count(), 2);
    EXPECT_EQ(Paths(model), list);
    // Nothing is made until it is asked for.
    for (int row = 0; row < model.rowCount(); ++row)
        EXPECT_EQ(State(model, row), TThumbnailModel::tsWaiting);
    ASSERT_EQ(MadeState(model, 2), TThumbnailModel::tsReady);
    const QPixmap thumbnail = model.data(model.index(2), Qt::DecorationRole).value<QPixmap>();
    EXPECT_LE(std::max(thumbnail.width(), thumbnail.height()), 32);
    EXPECT_GT(std::min(thumbnail.width(), thumbnail.height()), 0);

    // A removal in the middle moves only that row; the thumbnail stays with its picture.
    list.erase(list.begin() + 1);
    model.SetPictures(list);
    EXPECT_EQ(removed.count(), 1);
    EXPECT_EQ(Paths(model), list);
    EXPECT_EQ(State(model, 1), TThumbnailModel::tsReady);

    std::reverse(list.begin(), list.end());
    model.SetPictures(list);
    EXPECT_EQ(Paths(model), list);
    EXPECT_EQ(State(model, 1), TThumbnailModel::tsReady);
    EXPECT_EQ(State(model, 0), TThumbnailModel::tsWaiting);

    model.SetPictures({});
    EXPECT_EQ(model.rowCount(), 0);
}

TEST_F(ThumbnailModelTest, APictureThatVanishesBeforeItsThumbnailIsMadeLeavesNoRow) {
    TThumbnailModel model(TThumbnailCache(32, cacheFolder));
    model.SetPictures(list);
    for (int row = 0; row < model.rowCount(); ++row)
        model.data(model.index(row), Qt::DecorationRole);
    model.SetPictures({list[0]});
    model.WaitForJobs();
    test::RunEventLoop();
    ASSERT_EQ(model.rowCount(), 1);
    EXPECT_EQ(MadeState(model, 0), TThumbnailModel::tsReady);
}

TEST_F(ThumbnailModelTest, APictureThatCannotBeDecodedGetsTheBrokenSign) {
    const fs::path bad = pictures / "bad.jpg";
    WriteBytes(bad, std::string("\xFF\xD8\xFF\xE0 not really a picture", 26));
    const fs::path empty = pictures / "empty.gif";
    WriteBytes(empty, "");
    TThumbnailModel model(TThumbnailCache(32, cacheFolder));
    model.SetPictures({bad.string(), list[0], empty.string()});
    EXPECT_EQ(MadeState(model, 0), TThumbnailModel::tsBroken);
    EXPECT_EQ(MadeState(model, 1), TThumbnailModel::tsReady);
    EXPECT_EQ(MadeState(model, 2), TThumbnailModel::tsBroken);
    const QPixmap sign = model.data(model.index(0), Qt::DecorationRole).value<QPixmap>();
    EXPECT_FALSE(sign.isNull());
    // A failure is not kept: the picture may yet be repaired.
    EXPECT_EQ(CacheFiles(cacheFolder).size(), 1);
}

TEST_F(ThumbnailModelTest, ThumbnailsAreMadeInMemoryWhenTheCacheCannotBeWritten) {
    // A file where the cache folder should be.
    WriteBytes(cacheFolder.toStdString(), "in the way");
    TThumbnailModel model(TThumbnailCache(32, cacheFolder));
    model.SetPictures(list);
    EXPECT_EQ(MadeState(model, 0), TThumbnailModel::tsReady);
    EXPECT_TRUE(fs::is_regular_file(cacheFolder.toStdString()));
}

TEST_F(ThumbnailModelTest, TheCacheKnowsAPictureByItsPathSizeAndTime) {
    const TThumbnailCache cache(32, cacheFolder);
    const std::optional<QString> first = cache.FileFor(list[0]);
    ASSERT_TRUE(first);
    EXPECT_EQ(cache.FileFor(list[0]), first);
    EXPECT_NE(cache.FileFor(list[1]), first);
    EXPECT_NE(TThumbnailCache(64, cacheFolder).FileFor(list[0]), first);
    // Another picture under the same name is another entry.
    Make("p0.jpg", QSize(100, 100));
    EXPECT_NE(cache.FileFor(list[0]), first);
    EXPECT_FALSE(cache.FileFor((pictures / "gone.jpg").string()));
    EXPECT_TRUE(first->startsWith(cacheFolder + "/"));
    EXPECT_TRUE(first->endsWith(".png"));
}

TEST_F(ThumbnailWindowTest, TheStripIsAnOptionOfThePictureMenuAndOffAtFirst) {
    Start(3);
    EXPECT_FALSE(form->mniThumbnails->isChecked());
    EXPECT_FALSE(Strip().isVisible());
    EXPECT_EQ(form->mniThumbnails->text(), "&Thumbnails");
    EXPECT_EQ(form->mniThumbnails->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_T));
    EXPECT_EQ(Strip().accessibleName(), "Thumbnails");
    EXPECT_EQ(Strip().focusPolicy(), Qt::StrongFocus);
    // Its key is no other command's.
    for (QAction *a : form->findChildren<QAction *>()) {
        if (a != form->mniThumbnails)
            EXPECT_NE(a->shortcut(), form->mniThumbnails->shortcut()) << a->text().toStdString();
    }
    form->mniThumbnails->trigger();
    test::RunEventLoop();
    EXPECT_TRUE(Strip().isVisible());
    EXPECT_EQ(Model().rowCount(), 3);
    form->mniThumbnails->trigger();
    EXPECT_FALSE(Strip().isVisible());
}

TEST_F(ThumbnailWindowTest, ClickingAndTheKeyboardChooseThePictureShown) {
    Start(5);
    ShowStrip();
    EXPECT_EQ(Strip().currentIndex().row(), 0);
    Click(3);
    EXPECT_EQ(form->Pictures->CurIndex, 3);
    EXPECT_EQ(form->PicOfPic->currentText(), "4 of 5");
    EXPECT_EQ(form->StatusText(TfrmMain::spFileName), "p3.jpg");

    // Back moves the strip's cursor with it.
    form->sbPrior->click();
    test::RunEventLoop();
    EXPECT_EQ(form->Pictures->CurIndex, 2);
    EXPECT_EQ(Strip().currentIndex().row(), 2);

    // The arrows only move the cursor; Enter shows the picture under it.
    Strip().setFocus();
    QTest::keyClick(&Strip(), Qt::Key_Right);
    QTest::keyClick(&Strip(), Qt::Key_Right);
    EXPECT_EQ(Strip().currentIndex().row(), 4);
    EXPECT_EQ(form->Pictures->CurIndex, 2);
    QTest::keyClick(&Strip(), Qt::Key_Return);
    test::RunEventLoop();
    EXPECT_EQ(form->Pictures->CurIndex, 4);
    EXPECT_EQ(form->PicOfPic->currentText(), "5 of 5");
    QTest::keyClick(&Strip(), Qt::Key_Left);
    QTest::keyClick(&Strip(), Qt::Key_Enter);
    EXPECT_EQ(form->Pictures->CurIndex, 3);
    EXPECT_TRUE(Strip().hasFocus());
}

TEST_F(ThumbnailWindowTest, DeletingThePictureShownRemovesItsThumbnail) {
    Start(4);
    ShowStrip();
    Click(1);
    form->mniDeletePicture->trigger();
    test::RunEventLoop();
    EXPECT_EQ(form->Pictures->PictureList.size(), 3u);
    EXPECT_EQ(Paths(Model()), form->Pictures->PictureList);
    EXPECT_EQ(Strip().currentIndex().row(), form->Pictures->CurIndex);
    while (!form->Pictures->PictureList.empty()) {
        form->mniDeletePicture->trigger();
        test::RunEventLoop();
        EXPECT_EQ(Paths(Model()), form->Pictures->PictureList);
    }
}

TEST_F(ThumbnailWindowTest, OnlyTheThumbnailsInSightAreMadeAtStart) {
    Start(60);
    ShowStrip();
    EXPECT_EQ(Model().rowCount(), 60);
    EXPECT_EQ(State(Model(), 0), TThumbnailModel::tsReady);
    // The window is a few thumbnails wide; the rest wait until they are scrolled to.
    int made = 0;
    for (int row = 0; row < 60; ++row)
        made += State(Model(), row) != TThumbnailModel::tsWaiting;
    EXPECT_LT(made, 15);
    EXPECT_EQ(CacheFiles(CacheFolder()).size(), made);
    ASSERT_EQ(State(Model(), 30), TThumbnailModel::tsWaiting);
    Strip().scrollTo(Model().index(30));
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return State(Model(), 30) == TThumbnailModel::tsReady; }, kWait));
}

TEST_F(ThumbnailWindowTest, ASecondStartTakesTheThumbnailsFromTheCacheAndRemakesCorruptOnes) {
    Start(2);
    ShowStrip();
    ASSERT_EQ(MadeState(Model(), 1), TThumbnailModel::tsReady);
    const QStringList files = CacheFiles(CacheFolder());
    ASSERT_EQ(files.size(), 2);
    form.reset();

    // The first picture's entry becomes a plain green square, the second's garbage.
    const TThumbnailCache cache(TThumbnailStrip::kSide, CacheFolder());
    const QString first = *cache.FileFor(Folder() + "p0.jpg");
    const QString second = *cache.FileFor(Folder() + "p1.jpg");
    QImage green(10, 10, QImage::Format_RGB32);
    green.fill(Qt::green);
    ASSERT_TRUE(green.save(first, "png"));
    WriteBytes(second.toStdString(), "\x89PNG\r\n\x1a\n garbage");

    Open();
    ShowStrip();
    ASSERT_EQ(MadeState(Model(), 0), TThumbnailModel::tsReady);
    const QImage cached =
        Model().data(Model().index(0), Qt::DecorationRole).value<QPixmap>().toImage();
    EXPECT_EQ(cached.size(), QSize(10, 10));
    EXPECT_EQ(cached.pixelColor(5, 5), QColor(Qt::green));
    ASSERT_EQ(MadeState(Model(), 1), TThumbnailModel::tsReady);
    const QImage remade(second, "png");
    EXPECT_FALSE(remade.isNull());
    EXPECT_EQ(std::max(remade.width(), remade.height()), TThumbnailStrip::kSide);
}

TEST_F(ThumbnailWindowTest, ABrokenPictureInTheListGetsTheSignAndIsStillShownTheUsualWay) {
    Start(1);
    WriteBytes(Folder() + "q.jpg", "no picture at all");
    form.reset();
    Open();
    ASSERT_EQ(form->Pictures->PictureList.size(), 2u);
    ShowStrip();
    EXPECT_EQ(MadeState(Model(), 1), TThumbnailModel::tsBroken);
    // Shown, it fails as any picture does: gone from the list, the strip and the folder.
    Click(1);
    test::RunEventLoop();
    EXPECT_EQ(form->Pictures->PictureList.size(), 1u);
    EXPECT_EQ(Model().rowCount(), 1);
    EXPECT_FALSE(fs::exists(Folder() + "q.jpg"));
}

namespace {

class ThumbnailGoTest : public test::BrowseFixture {
protected:
    QString cacheHome = QString::fromStdString((home.Root() / "cache").string());
    test::ScopedEnv cacheEnv{"XDG_CACHE_HOME", cacheHome.toUtf8().constData()};
};

} // namespace

TEST_F(ThumbnailGoTest, TheStripFillsAsPicturesArriveDuringAGo) {
    Start(inn.Address());
    Choose(test::InnServer::PictureGroup);
    form->mniThumbnails->trigger();
    TThumbnailModel &model = form->Thumbnails->Model();
    // Rows while the run goes on, each time some arrive, against the list as it stands then.
    std::vector<int> rows;
    bool inStep = true;
    QObject::connect(&model, &QAbstractItemModel::rowsInserted, form.get(), [&] {
        rows.push_back(model.rowCount());
        inStep = inStep && Paths(model) == form->Pictures->PictureList;
    });
    test::ModalCatcher boxes;
    Go();
    const std::vector<int> duringGo = rows;
    test::RunEventLoop();
    EXPECT_EQ(boxes.Count(), 0) << boxes.Texts().join("\n").toStdString();
    const std::size_t count = form->Pictures->PictureList.size();
    ASSERT_GT(count, 2u);
    EXPECT_TRUE(inStep);
    // The strip filled as the pictures were stored, not once at the end.
    EXPECT_GE(duringGo.size(), 2u);
    EXPECT_TRUE(std::is_sorted(rows.begin(), rows.end()));
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows.back(), int(count));
    EXPECT_EQ(Paths(model), form->Pictures->PictureList);
    EXPECT_EQ(MadeState(model, 0), TThumbnailModel::tsReady);
    EXPECT_EQ(form->Thumbnails->currentIndex().row(), form->Pictures->CurIndex);
}
