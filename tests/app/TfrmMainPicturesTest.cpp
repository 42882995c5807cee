// The main window's picture commands as a user reaches them: menu entries and their keys,
// the buttons, the picture-number box, presses and keys on the picture, the slide show.
#include "app/TPicOfPicBox.h"
#include "app/TPictureViewer.h"
#include "app/TSlideShow.h"
#include "app/TfrmDelay.h"
#include "app/TfrmMain.h"
#include "picture/TGifImage.h"
#include "platform/TRegistry.h"

#include "tests/picture/SamplePictures.h"
#include "tests/support/ModalCatcher.h"
#include "tests/support/QtTestHelpers.h"
#include "tests/support/TempHome.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QEventLoop>
#include <QLineEdit>
#include <QScrollArea>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <filesystem>

using namespace vexil;
namespace fs = std::filesystem;

namespace {

// A first start with pictures p0.jpg .. p(n-1).jpg kept in the picture folder.
class TfrmMainPictures : public ::testing::Test {
protected:
    void Start(int pictures) {
        const fs::path folder = home.Home() + "TEMP";
        fs::create_directories(folder);
        for (int i = 0; i < pictures; ++i)
            fs::copy_file(test::SamplePicture(i % 2 ? "size-100x100.jpg" : "pattern.jpg"),
                          folder / ("p" + std::to_string(i) + ".jpg"));
        form = std::make_unique<TfrmMain>();
        form->show();
        test::RunEventLoop();
    }
    std::string Shown() const { return form->StatusText(TfrmMain::spFileName).toStdString(); }

    test::TempHome home;
    std::unique_ptr<TfrmMain> form;
};

} // namespace

TEST_F(TfrmMainPictures, MenuEntriesAndButtonsMoveOverThePictures) {
    Start(3);
    ASSERT_EQ(form->Pictures->PictureList.size(), 3u);
    const std::string first = Shown();
    for (QAction *a : {form->mniNextPicture, form->mniPreviousPicture, form->mniSetAsWallpaper,
                       form->mniSlideShow, form->mniAutoSizePictures, form->mniDeletePicture})
        EXPECT_TRUE(a->isEnabled()) << a->text().toStdString();
    for (QWidget *w :
         {static_cast<QWidget *>(form->sbNext), static_cast<QWidget *>(form->sbPrior),
          static_cast<QWidget *>(form->CancelButton), static_cast<QWidget *>(form->PicOfPic)})
        EXPECT_TRUE(w->isEnabled());

    form->sbNext->click();
    EXPECT_EQ(form->Pictures->CurIndex, 1);
    form->mniNextPicture->trigger();
    EXPECT_EQ(form->Pictures->CurIndex, 2);
    EXPECT_EQ(form->PicOfPic->currentText(), "3 of 3");
    form->sbPrior->click();
    form->mniPreviousPicture->trigger();
    EXPECT_EQ(form->Pictures->CurIndex, 0);
    EXPECT_EQ(Shown(), first);
    EXPECT_EQ(form->mniNextPicture->shortcut(), QKeySequence(Qt::Key_F6));
    EXPECT_EQ(form->mniPreviousPicture->shortcut(), QKeySequence(Qt::Key_F5));

    // The picture-number box: its list holds the numbers when it opens; picking one or
    // typing one goes there.
    form->PicOfPic->showPopup();
    form->PicOfPic->hidePopup();
    EXPECT_EQ(form->PicOfPic->count(), 3);
    form->PicOfPic->activated(1);
    EXPECT_EQ(form->Pictures->CurIndex, 1);
    form->PicOfPic->lineEdit()->setText("3");
    QTest::keyClick(form->PicOfPic->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(form->Pictures->CurIndex, 2);
    EXPECT_EQ(form->PicOfPic->currentText(), "3 of 3");
}

TEST_F(TfrmMainPictures, PressesAndKeysOnThePictureZoomIt) {
    Start(2);
    // The folder lists in name order: p1.jpg, the 100 x 100 one, comes second.
    ASSERT_EQ(Shown(), "p0.jpg");
    form->mniNextPicture->trigger();
    ASSERT_EQ(form->Image1->size(), QSize(100, 100));
    QTest::mouseClick(form->Image1, Qt::LeftButton);
    EXPECT_EQ(form->Image1->size(), QSize(110, 110));
    QTest::mouseClick(form->Image1, Qt::RightButton);
    EXPECT_EQ(form->Image1->size(), QSize(99, 99));
    form->Image1->setFocus();
    QTest::keyClick(form->Image1, Qt::Key_Plus);
    EXPECT_EQ(form->Image1->size(), QSize(109, 109));
    QTest::keyClick(form->Image1, Qt::Key_Minus);
    EXPECT_EQ(form->Image1->size(), QSize(98, 98));

    // Auto Size only toggles its mark; the next picture shown is fitted.
    form->mniAutoSizePictures->trigger();
    EXPECT_TRUE(form->mniAutoSizePictures->isChecked());
    EXPECT_EQ(form->Image1->size(), QSize(98, 98));
    form->Pictures->ShowCurrentPicture();
    EXPECT_EQ(form->Image1->width(), form->sbMain->width());
}

TEST_F(TfrmMainPictures, DeleteOnAnEmptyListShowsTheListError) {
    Start(0);
    test::ModalCatcher catcher;
    form->mniDeletePicture->trigger();
    test::RunEventLoop();
    EXPECT_EQ(catcher.Texts(), QStringList{"List index out of bounds (0)"});
    EXPECT_EQ(form->mniDeletePicture->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_D));
}

TEST_F(TfrmMainPictures, DeleteAndWallpaperFromTheMenu) {
    Start(2);
    form->mniSetAsWallpaper->trigger();
    EXPECT_TRUE(fs::exists(home.Home() + "Vexil.bmp"));
    TRegistry store(home.Registry());
    store.SetRootKey(HKEY_CURRENT_USER);
    ASSERT_TRUE(store.OpenKey("\\Control Panel\\desktop", false));
    EXPECT_EQ(store.ReadString("Wallpaper"), home.Home() + "Vexil.bmp");

    const std::string deleted = form->Pictures->PictureList[0];
    const std::string other = fs::path(form->Pictures->PictureList[1]).filename().string();
    form->mniDeletePicture->trigger();
    EXPECT_FALSE(fs::exists(deleted));
    EXPECT_EQ(Shown(), other);
    EXPECT_EQ(form->PicOfPic->currentText(), "1 of 1");
}

TEST_F(TfrmMainPictures, SlideShowRunsOnTheTimerUntilStop) {
    Start(3);
    {
        test::ModalCatcher answer([](QWidget *w) {
            auto *dialog = qobject_cast<TfrmDelay *>(w);
            ASSERT_NE(dialog, nullptr);
            dialog->Delay->setValue(1);
            dialog->accept();
        });
        form->mniSlideShow->trigger();
    }
    ASSERT_TRUE(form->SlideShow->Running());
    EXPECT_EQ(form->ATimer->interval(), 1000);
    EXPECT_TRUE(form->SlideShow->LoopShow);
    test::RunEventLoop(1300);
    EXPECT_EQ(form->Pictures->CurIndex, 1) << "one tick a second";
    form->CancelButton->click();
    EXPECT_FALSE(form->SlideShow->Running());
    test::RunEventLoop(1200);
    EXPECT_EQ(form->Pictures->CurIndex, 1);
}
