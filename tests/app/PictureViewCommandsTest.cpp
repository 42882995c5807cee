// The main window's picture commands beyond moving over the list: delete to the trash, fit to
// window, full screen, copy and opening the picture folder, as a user reaches them.
#include "app/TPicOfPicBox.h"
#include "app/TPictureViewer.h"
#include "app/TfrmMain.h"
#include "picture/TGifImage.h"

#include "tests/picture/SamplePictures.h"
#include "tests/support/QtTestHelpers.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempHome.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QImage>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QScrollArea>
#include <QStatusBar>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

using namespace vexil;
namespace fs = std::filesystem;

namespace {

std::string Contents(const fs::path &path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

// A first start with pictures p0.jpg .. p(n-1).jpg kept in the picture folder. HOME lies on
// the same file system as the pictures, so the trash used is the one under XDG_DATA_HOME.
class PictureViewCommands : public ::testing::Test {
protected:
    void Start(int pictures) {
        fs::create_directories(Folder());
        // The user's data folder exists on every desktop; the trash is made inside it.
        fs::create_directories(home.Root() / "data");
        for (int i = 0; i < pictures; ++i)
            fs::copy_file(test::SamplePicture(i % 2 ? "size-100x100.jpg" : "pattern.jpg"),
                          Folder() / ("p" + std::to_string(i) + ".jpg"));
        form = std::make_unique<TfrmMain>();
        form->show();
        test::RunEventLoop();
    }
    fs::path Folder() const { return home.Home() + "TEMP"; }
    fs::path Trash() const { return home.Root() / "data" / "Trash"; }
    std::string Shown() const { return form->StatusText(TfrmMain::spFileName).toStdString(); }

    test::TempHome home;
    test::ScopedEnv userHome{"HOME", home.Root().c_str()};
    std::unique_ptr<TfrmMain> form;
};

} // namespace

TEST_F(PictureViewCommands, DeleteMovesThePictureToTheTrashAndTheListMovesOn) {
    Start(3);
    const fs::path deleted = Folder() / "p0.jpg";
    const std::string bytes = Contents(deleted);
    form->mniDeletePicture->trigger();

    EXPECT_FALSE(fs::exists(deleted));
    EXPECT_EQ(Contents(Trash() / "files" / "p0.jpg"), bytes);
    const std::string info = Contents(Trash() / "info" / "p0.jpg.trashinfo");
    EXPECT_NE(info.find("[Trash Info]"), std::string::npos) << info;
    EXPECT_NE(info.find("Path=" + deleted.string()), std::string::npos) << info;
    EXPECT_NE(info.find("DeletionDate="), std::string::npos) << info;

    ASSERT_EQ(form->Pictures->PictureList.size(), 2u);
    EXPECT_EQ(form->Pictures->PictureList[0], (Folder() / "p1.jpg").string());
    EXPECT_EQ(Shown(), "p1.jpg");
    EXPECT_EQ(form->PicOfPic->currentText(), "1 of 2");

    // A second picture of the same name gets a name of its own in the trash.
    fs::copy_file(test::SamplePicture("pattern.jpg"), deleted);
    form->Pictures->AddPicture(deleted.string());
    form->Pictures->PickPicture(2);
    form->mniDeletePicture->trigger();
    EXPECT_FALSE(fs::exists(deleted));
    EXPECT_EQ(std::distance(fs::directory_iterator(Trash() / "files"), {}), 2);
    EXPECT_EQ(std::distance(fs::directory_iterator(Trash() / "info"), {}), 2);
    EXPECT_EQ(form->Pictures->PictureList.size(), 2u);
}

TEST_F(PictureViewCommands, WithoutATrashDeleteRemovesTheFileAsBefore) {
    // The data folder lies under a plain file, so no trash can be made there.
    const fs::path blocker = home.Root() / "blocker";
    std::ofstream(blocker) << "x";
    test::ScopedEnv data("XDG_DATA_HOME", (blocker / "data").c_str());
    Start(2);
    form->mniDeletePicture->trigger();
    EXPECT_FALSE(fs::exists(Folder() / "p0.jpg"));
    EXPECT_FALSE(fs::exists(Trash()));
    EXPECT_EQ(form->Pictures->PictureList.size(), 1u);
    EXPECT_EQ(Shown(), "p1.jpg");
}

TEST_F(PictureViewCommands, FitToWindowAndAutoSizeExcludeEachOtherAndBothStartOff) {
    Start(1);
    EXPECT_FALSE(form->mniFitToWindow->isChecked());
    EXPECT_FALSE(form->mniAutoSizePictures->isChecked());
    form->mniFitToWindow->trigger();
    EXPECT_TRUE(form->mniFitToWindow->isChecked());
    form->mniAutoSizePictures->trigger();
    EXPECT_TRUE(form->mniAutoSizePictures->isChecked());
    EXPECT_FALSE(form->mniFitToWindow->isChecked());
    form->mniAutoSizePictures->trigger();
    EXPECT_FALSE(form->mniAutoSizePictures->isChecked());
    EXPECT_FALSE(form->mniFitToWindow->isChecked());
}

TEST_F(PictureViewCommands, FullScreenShowsThePictureAloneWithTheArrowKeysAndEscLeaves) {
    fs::create_directories(Folder());
    QImage big(4000, 3000, QImage::Format_RGB32);
    big.fill(Qt::darkRed);
    ASSERT_TRUE(big.save(QString::fromStdString((Folder() / "a-big.jpg").string())));
    Start(2);
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    ASSERT_EQ(form->Pictures->PictureList.size(), 3u);
    form->mniFitToWindow->trigger();
    const int windowedWidth = form->Image1->width();

    // The arrow keys belong to the picture area's scrolling until full screen.
    QTest::keyClick(form->sbMain, Qt::Key_Right);
    EXPECT_EQ(form->Pictures->CurIndex, 0);

    QTest::keyClick(form.get(), Qt::Key_F11);
    test::RunEventLoop();
    EXPECT_TRUE(form->isFullScreen());
    EXPECT_TRUE(form->mniFullScreen->isChecked());
    for (QWidget *hidden :
         std::initializer_list<QWidget *>{form->MainMenu, form->ToolPanel, form->StatusBar1})
        EXPECT_FALSE(hidden->isVisible());
    EXPECT_TRUE(form->CaptionRect().isEmpty()) << "the form's own caption stays in full screen";
    EXPECT_TRUE(form->sbMain->isVisible());
    // The larger box takes a larger picture when it is fitted.
    EXPECT_GT(form->Image1->width(), windowedWidth);

    QTest::keyClick(form->sbMain, Qt::Key_Right);
    EXPECT_EQ(form->Pictures->CurIndex, 1);
    QTest::keyClick(form->sbMain, Qt::Key_Right);
    EXPECT_EQ(form->Pictures->CurIndex, 2);
    QTest::keyClick(form->sbMain, Qt::Key_Left);
    EXPECT_EQ(form->Pictures->CurIndex, 1);

    QTest::keyClick(form->sbMain, Qt::Key_Escape);
    test::RunEventLoop();
    EXPECT_FALSE(form->isFullScreen());
    EXPECT_FALSE(form->mniFullScreen->isChecked());
    EXPECT_TRUE(form->ToolPanel->isVisible());
    EXPECT_TRUE(form->StatusBar1->isVisible());
    EXPECT_FALSE(form->CaptionRect().isEmpty());
    QTest::keyClick(form->sbMain, Qt::Key_Left);
    EXPECT_EQ(form->Pictures->CurIndex, 1);

    // F11 goes both ways.
    QTest::keyClick(form.get(), Qt::Key_F11);
    EXPECT_TRUE(form->isFullScreen());
    QTest::keyClick(form.get(), Qt::Key_F11);
    EXPECT_FALSE(form->isFullScreen());
    EXPECT_EQ(form->mniFullScreen->shortcut(), QKeySequence(Qt::Key_F11));
}

TEST_F(PictureViewCommands, CtrlCCopiesThePicturesPixelsAndFileUnlessATextFieldHasTheFocus) {
    Start(2);
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    QClipboard &clipboard = *QGuiApplication::clipboard();
    clipboard.clear();
    form->sbMain->setFocus();
    QTest::keyClick(form->sbMain, Qt::Key_C, Qt::ControlModifier);
    const QMimeData *data = clipboard.mimeData();
    ASSERT_NE(data, nullptr);
    ASSERT_TRUE(data->hasImage());
    const QImage copied = qvariant_cast<QImage>(data->imageData());
    EXPECT_EQ(copied.size(), QImage(QString::fromStdString((Folder() / "p0.jpg").string())).size());
    EXPECT_EQ(data->urls(), QList<QUrl>{QUrl::fromLocalFile(
                                QString::fromStdString((Folder() / "p0.jpg").string()))});

    // The picture-number box keeps Ctrl+C for its text.
    clipboard.clear();
    form->PicOfPic->lineEdit()->setFocus();
    form->PicOfPic->lineEdit()->selectAll();
    QTest::keyClick(form->PicOfPic->lineEdit(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(clipboard.text(), "1 of 2");
    EXPECT_FALSE(clipboard.mimeData()->hasImage());
}

TEST_F(PictureViewCommands, OpenPictureFolderHandsThePictureFolderToTheDesktop) {
    Start(0);
    test::UrlRecorder recorder;
    QDesktopServices::setUrlHandler("file", &recorder, "open");
    form->mniOpenPictureFolder->trigger();
    QDesktopServices::unsetUrlHandler("file");
    EXPECT_EQ(recorder.opened,
              QList<QUrl>{QUrl::fromLocalFile(QString::fromStdString(home.Home() + "TEMP/"))});
}
