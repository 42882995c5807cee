// The pictures of the main window: the attachment step, loading on both paths, fitting and
// zooming, navigation, delete, wallpaper and the slide show, on real controls offscreen.
#include "app/TPicOfPicBox.h"
#include "app/TPictureViewer.h"
#include "app/TSlideShow.h"
#include "app/TfrmDelay.h"
#include "message/TmsArticle.h"
#include "message/TmsAttItem.h"
#include "picture/TGifImage.h"
#include "platform/TRegistry.h"

#include "tests/picture/SamplePictures.h"
#include "tests/support/ModalCatcher.h"
#include "tests/support/QtTestHelpers.h"
#include "tests/support/TempHome.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>

#include <cstdlib>
#include <filesystem>
#include <fstream>

using namespace vexil;
using namespace vexil::test;
namespace fs = std::filesystem;

namespace {

// The controls the viewer works on, laid out as in the main window: a 536 x 318 scroll box
// holding the picture.
class PictureViewerTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = home.Home() + "TEMP/";
        fs::create_directories(folder);
        window.resize(600, 400);
        sbMain = new QScrollArea(&window);
        sbMain->setGeometry(0, 0, 536, 318);
        image = new TGifImage;
        sbMain->setWidget(image);
        picOfPic = new TPicOfPicBox(&window);
        autoSize = new QAction(QStringLiteral("Auto Size Pictures"), &window);
        autoSize->setCheckable(true);
        fitToWindow = new QAction(QStringLiteral("Fit to Window"), &window);
        fitToWindow->setCheckable(true);
        prior = new QToolButton(&window);
        next = new QToolButton(&window);
        cancel = new QToolButton(&window);
        TPictureViewer::TControls c;
        c.Image1 = image;
        c.sbMain = sbMain;
        c.PicOfPic = picOfPic;
        c.mniAutoSizePictures = autoSize;
        c.mniFitToWindow = fitToWindow;
        c.DisabledWhileLoading = {prior, next, cancel};
        c.SetFileNamePanel = [this](const QString &text) { panel = text; };
        c.SlowColor = &slowColor;
        viewer = std::make_unique<TPictureViewer>(c, folder);
        viewer->ShiftDown = [this] { return shift; };
        // Buttons must be enabled again after every load; record what a load saw.
        image->Picture().OnChange = [this, inner = image->Picture().OnChange](TObject *s) {
            disabledDuringLoad =
                !prior->isEnabled() && !next->isEnabled() && !cancel->isEnabled() && viewer->Busy;
            inner(s);
        };
    }

    // Copies a sample picture into the picture folder and lists it.
    std::string Add(const std::string &sample, const std::string &name) {
        const std::string path = folder + name;
        fs::copy_file(SamplePicture(sample), path, fs::copy_options::overwrite_existing);
        viewer->AddPicture(path);
        return path;
    }
    void AddNumbered(int count) {
        for (int i = 0; i < count; ++i)
            Add(i % 2 ? "size-100x100.jpg" : "pattern.jpg", "p" + std::to_string(i) + ".jpg");
    }
    QString PicOfPicText() const { return picOfPic->currentText(); }
    QSize ImageSize() const { return image->size(); }

    TempHome home;
    std::string folder;
    QWidget window;
    QScrollArea *sbMain = nullptr;
    TGifImage *image = nullptr;
    TPicOfPicBox *picOfPic = nullptr;
    QAction *autoSize = nullptr;
    QAction *fitToWindow = nullptr;
    QToolButton *prior = nullptr, *next = nullptr, *cancel = nullptr;
    QString panel = QStringLiteral("None");
    bool slowColor = false;
    bool shift = false;
    bool disabledDuringLoad = false;
    std::unique_ptr<TPictureViewer> viewer;
};

std::unique_ptr<TmsAttItem> Attachment(const std::string &name, const std::string &bytes) {
    auto item = std::make_unique<TmsAttItem>();
    item->SetFileName(name);
    item->Data.Write(bytes);
    return item;
}

} // namespace

TEST(IsPictureFile, GoesByTheLastThreeCharactersInAnyCase) {
    for (const char *name : {"a.jpg", "a.JPEG", "a.JpEg", "a.jpe", "a.tga", "a.GIF", "a.bmp",
                             "a.dib", "a.rle", "a.pcx", "/x/TEMP/photo.Jpg", "ajpg"})
        EXPECT_TRUE(IsPictureFile(name)) << name;
    for (const char *name : {"a.png", "a.jpeg2", "a.txt", "a.jp", "pg", "", "a.gif.txt"})
        EXPECT_FALSE(IsPictureFile(name)) << name;
}

TEST_F(PictureViewerTest, AttachmentStepKeepsPicturesAndDeletesTheRest) {
    TmsArticle article;
    article.Attachments().Add(Attachment("readme.txt", "no picture here\n"));
    article.Attachments().Add(
        Attachment("C:\\pics\\first.jpg", ReadFile(SamplePicture("pattern.jpg"))));
    viewer->StoreAttachment(article, 0);
    EXPECT_FALSE(fs::exists(folder + "readme.txt"));
    EXPECT_TRUE(viewer->PictureList.empty());
    viewer->StoreAttachment(article, 1);
    ASSERT_EQ(viewer->PictureList, std::vector<std::string>{folder + "first.jpg"});
    EXPECT_TRUE(fs::exists(folder + "first.jpg"));
    // The first picture is shown at once.
    EXPECT_EQ(ImageSize(), QSize(64, 48));
    EXPECT_EQ(panel, "first.jpg");
    EXPECT_EQ(PicOfPicText(), "1 of 1");
    EXPECT_TRUE(disabledDuringLoad);
    EXPECT_TRUE(prior->isEnabled() && next->isEnabled() && cancel->isEnabled());
    EXPECT_FALSE(viewer->Busy);

    // A later picture only raises the count.
    TmsArticle second;
    second.Attachments().Add(Attachment("second.gif", ReadFile(SamplePicture("pattern.gif"))));
    viewer->StoreAttachment(second, 0);
    EXPECT_EQ(viewer->PictureList,
              (std::vector<std::string>{folder + "first.jpg", folder + "second.gif"}));
    EXPECT_EQ(PicOfPicText(), "1 of 2");
    EXPECT_EQ(ImageSize(), QSize(64, 48));
}

TEST_F(PictureViewerTest, ANameThatIsTakenGivesAFreeOneUnlessTheBytesAreTheSame) {
    const std::string pattern = ReadFile(SamplePicture("pattern.jpg"));
    const std::string other = ReadFile(SamplePicture("size-100x100.jpg"));
    TmsArticle article;
    for (const std::string *bytes : {&pattern, &other, &other, &pattern, &other})
        article.Attachments().Add(Attachment("pic.jpg", *bytes));
    for (int i = 0; i < article.Attachments().Count(); ++i)
        viewer->StoreAttachment(article, i);
    // The second picture of that name does not replace the first; a repeat of either is
    // neither written nor listed again.
    EXPECT_EQ(viewer->PictureList,
              (std::vector<std::string>{folder + "pic.jpg", folder + "pic (2).jpg"}));
    EXPECT_EQ(PicOfPicText(), "1 of 2");
    EXPECT_EQ(ReadFile(folder + "pic.jpg"), pattern);
    EXPECT_EQ(ReadFile(folder + "pic (2).jpg"), other);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 2);
    // A path already listed (the folder listed at start, say) is not listed twice.
    viewer->AddPicture(folder + "pic.jpg");
    EXPECT_EQ(viewer->PictureList.size(), 2u);
}

TEST_F(PictureViewerTest, AttachmentThatCannotBeWrittenFailsAndListsNothing) {
    TmsArticle article;
    article.Attachments().Add(Attachment("a.jpg", "x"));
    fs::remove_all(folder);
    EXPECT_THROW(viewer->StoreAttachment(article, 0), EFCreateError);
    EXPECT_TRUE(viewer->PictureList.empty());
}

TEST_F(PictureViewerTest, ImageLibraryLoadsEveryPictureType) {
    for (const char *ext : {"jpg", "jpeg", "jpe", "gif", "bmp", "dib", "rle", "pcx", "tga"}) {
        viewer->PictureList.clear();
        viewer->CurIndex = 0;
        Add(std::string("pattern.") + ext, std::string("pattern.") + ext);
        EXPECT_EQ(viewer->PictureList.size(), 1u) << ext;
        EXPECT_EQ(ImageSize(), QSize(64, 48)) << ext;
        EXPECT_TRUE(HasRedBluePattern(image->grab().toImage())) << ext;
    }
}

TEST_F(PictureViewerTest, APictureOfTheSameSizeReplacesEveryPixelOfTheOneBefore) {
    // The pixels of the picture shown are reused for the next one of its size.
    Add("pattern.jpg", "first.jpg");
    ASSERT_TRUE(HasRedBluePattern(image->grab().toImage()));
    Add("grey.jpg", "second.jpg");
    viewer->CurIndex = 1;
    viewer->ShowCurrentPicture();
    ASSERT_EQ(ImageSize(), QSize(64, 48));
    const QImage grey = image->grab().toImage();
    EXPECT_FALSE(HasRedBluePattern(grey));
    const QColor left = grey.pixelColor(16, 24);
    EXPECT_TRUE(left.red() == left.green() && left.green() == left.blue());
    viewer->CurIndex = 0;
    viewer->ShowCurrentPicture();
    EXPECT_TRUE(HasRedBluePattern(image->grab().toImage()));
}

TEST_F(PictureViewerTest, TwoHundredFiftySixColourModeLoadsOnlyRegisteredTypes) {
    slowColor = true;
    const std::string shown = Add("pattern.bmp", "shown.bmp");
    for (const char *ext : {"gif", "pcx", "tga", "dib", "rle", "jpe"}) {
        const std::string path = Add(std::string("pattern.") + ext, std::string("failing.") + ext);
        viewer->CurIndex = 1;
        viewer->ShowCurrentPicture();
        EXPECT_FALSE(fs::exists(path)) << ext;
        EXPECT_EQ(viewer->PictureList, std::vector<std::string>{shown}) << ext;
        EXPECT_EQ(viewer->CurIndex, 0) << ext;
        // The picture shown before stays in the control.
        EXPECT_TRUE(HasRedBluePattern(image->grab().toImage())) << ext;
        EXPECT_EQ(panel, "shown.bmp");
    }
    for (const char *ext : {"jpg", "jpeg", "bmp"}) {
        Add(std::string("pattern.") + ext, std::string("loads.") + ext);
        viewer->CurIndex = 1;
        viewer->ShowCurrentPicture();
        EXPECT_EQ(viewer->PictureList.size(), 2u) << ext;
        EXPECT_EQ(panel, QString("loads.") + ext);
        viewer->PictureList.pop_back();
    }
}

TEST_F(PictureViewerTest, AFailingFirstPictureLeavesAConsistentState) {
    const std::string broken = Add("garbage.jpg", "broken.jpg");
    EXPECT_FALSE(fs::exists(broken));
    EXPECT_TRUE(viewer->PictureList.empty());
    EXPECT_EQ(viewer->CurIndex, 0);
    EXPECT_EQ(panel, "None");
    EXPECT_EQ(image->Picture().Height(), 0);
    // The next picture to arrive is shown as the first.
    Add("pattern.jpg", "good.jpg");
    EXPECT_EQ(panel, "good.jpg");
    EXPECT_EQ(PicOfPicText(), "1 of 1");

    // In normal mode a failing picture leaves the control empty; the panel names the entry
    // that is current now.
    Add("pattern.jpg", "second.jpg");
    fs::resize_file(folder + "second.jpg", 10);
    viewer->CurIndex = 1;
    viewer->ShowCurrentPicture();
    EXPECT_EQ(image->Picture().Height(), 0);
    EXPECT_EQ(viewer->CurIndex, 0);
    EXPECT_EQ(panel, "good.jpg");
}

TEST_F(PictureViewerTest, AutoSizeFitsTallPicturesToTheHeightAndOthersToTheWidth) {
    autoSize->setChecked(true);
    Add("size-100x100.jpg", "square.jpg");
    EXPECT_EQ(ImageSize(), QSize(536, 536));
    Add("size-400x1000.jpg", "tall.jpg");
    viewer->Forward();
    EXPECT_EQ(ImageSize(), QSize(127, 318));
    EXPECT_TRUE(image->Stretch());
    // Unchecked, the next picture shown has its own size again.
    autoSize->setChecked(false);
    viewer->Back();
    EXPECT_EQ(ImageSize(), QSize(100, 100));
    EXPECT_TRUE(image->AutoSize());
}

TEST_F(PictureViewerTest, FitToWindowShowsTheWholePictureWithItsAspectAndNeverEnlargesIt) {
    window.show();
    fitToWindow->setChecked(true);
    for (const auto &[name, size] :
         {std::pair{"big.jpg", QSize(4000, 3000)}, std::pair{"small.jpg", QSize(50, 50)}}) {
        QImage pixels(size, QImage::Format_RGB32);
        pixels.fill(Qt::darkCyan);
        ASSERT_TRUE(pixels.save(QString::fromStdString(folder + name)));
        viewer->AddPicture(folder + name);
    }
    const auto wholeInView = [this] {
        RunEventLoop();
        const QSize view = sbMain->viewport()->size();
        return ImageSize().width() <= view.width() && ImageSize().height() <= view.height() &&
               sbMain->horizontalScrollBar()->maximum() == 0 &&
               sbMain->verticalScrollBar()->maximum() == 0;
    };
    const auto fillsOneSide = [this] {
        const QSize view = sbMain->viewport()->size();
        return ImageSize().width() == view.width() || ImageSize().height() == view.height();
    };
    EXPECT_TRUE(wholeInView()) << ImageSize().width() << "x" << ImageSize().height();
    EXPECT_TRUE(fillsOneSide());
    EXPECT_LE(std::abs(ImageSize().width() * 3 - ImageSize().height() * 4), 4);

    viewer->Forward();
    EXPECT_EQ(ImageSize(), QSize(50, 50));

    // A smaller box takes the picture down with it.
    viewer->Back();
    sbMain->resize(300, 300);
    viewer->RefitPicture();
    EXPECT_TRUE(wholeInView());
    EXPECT_TRUE(fillsOneSide());
    EXPECT_LE(std::abs(ImageSize().width() * 3 - ImageSize().height() * 4), 4);

    // Unticked, the picture is at its own size again.
    fitToWindow->setChecked(false);
    viewer->RefitPicture();
    EXPECT_EQ(ImageSize(), QSize(4000, 3000));
}

TEST_F(PictureViewerTest, ZoomMultipliesByTenPercentAndRoundsEachTime) {
    Add("size-100x100.jpg", "square.jpg");
    std::vector<int> sizes;
    for (int i = 0; i < 3; ++i) {
        viewer->Zoom(Qt::LeftButton);
        sizes.push_back(ImageSize().width());
    }
    EXPECT_EQ(sizes, (std::vector<int>{110, 121, 133}));
    EXPECT_EQ(ImageSize().height(), 133);
    viewer->Zoom(Qt::RightButton);
    EXPECT_EQ(ImageSize(), QSize(120, 120));
    viewer->Zoom(Qt::MiddleButton);
    EXPECT_EQ(ImageSize(), QSize(132, 132));
    // The zoomed picture is drawn stretched; the next one shown has its own size.
    EXPECT_TRUE(image->Stretch());
    viewer->ShowCurrentPicture();
    EXPECT_EQ(ImageSize(), QSize(100, 100));
}

TEST_F(PictureViewerTest, ForwardAndBackStayInsideTheListAndShiftJumpsToTheEnds) {
    AddNumbered(10);
    viewer->Back();
    EXPECT_EQ(viewer->CurIndex, 0);
    EXPECT_EQ(PicOfPicText(), "1 of 10");
    viewer->Forward();
    EXPECT_EQ(viewer->CurIndex, 1);
    EXPECT_EQ(panel, "p1.jpg");
    shift = true;
    viewer->Forward();
    EXPECT_EQ(viewer->CurIndex, 9);
    EXPECT_EQ(panel, "p9.jpg");
    EXPECT_EQ(PicOfPicText(), "10 of 10");
    viewer->Forward();
    EXPECT_EQ(viewer->CurIndex, 9);
    viewer->Back();
    EXPECT_EQ(viewer->CurIndex, 0);
    EXPECT_EQ(PicOfPicText(), "1 of 10");
    shift = false;
    viewer->Forward();
    viewer->Forward();
    viewer->Back();
    EXPECT_EQ(viewer->CurIndex, 1);
}

TEST_F(PictureViewerTest, PictureNumberBoxListsTheCountAndGoesWhereItIsTold) {
    picOfPic->OnDropDown = [this](TObject *) { viewer->FillPicOfPicList(); };
    viewer->FillPicOfPicList();
    EXPECT_EQ(picOfPic->count(), 0);
    AddNumbered(4);
    picOfPic->showPopup();
    picOfPic->hidePopup();
    ASSERT_EQ(picOfPic->count(), 4);
    EXPECT_EQ(picOfPic->itemText(0), "1");
    EXPECT_EQ(picOfPic->itemText(3), "4");
    EXPECT_EQ(PicOfPicText(), "1 of 4");
    viewer->PickPicture(2);
    EXPECT_EQ(panel, "p2.jpg");
    EXPECT_EQ(PicOfPicText(), "3 of 4");
    viewer->PicOfPicTyped(" 4 ");
    EXPECT_EQ(viewer->CurIndex, 3);
    for (const char *typed : {"9", "0", "two", ""}) {
        viewer->PicOfPicTyped(typed);
        EXPECT_EQ(viewer->CurIndex, 3) << typed;
        EXPECT_EQ(PicOfPicText(), "4 of 4") << typed;
    }
}

TEST_F(PictureViewerTest, DeleteShowsTheNextOrTheNewLastAndClearsAfterTheOnly) {
    AddNumbered(5);
    viewer->CurIndex = 1;
    viewer->ShowCurrentPicture();
    viewer->DeleteCurrentPicture();
    EXPECT_FALSE(fs::exists(folder + "p1.jpg"));
    EXPECT_EQ(viewer->CurIndex, 1);
    EXPECT_EQ(panel, "p2.jpg");
    viewer->CurIndex = 3;
    viewer->DeleteCurrentPicture();
    EXPECT_EQ(viewer->CurIndex, 2);
    EXPECT_EQ(panel, "p3.jpg");
    EXPECT_EQ(PicOfPicText(), "3 of 3");

    while (viewer->PictureList.size() > 1)
        viewer->DeleteCurrentPicture();
    viewer->DeleteCurrentPicture();
    EXPECT_EQ(viewer->CurIndex, 0);
    EXPECT_EQ(image->Picture().Graphic(), nullptr);
    EXPECT_EQ(panel, "None");
    EXPECT_EQ(PicOfPicText(), "1 of 0");
    EXPECT_TRUE(fs::is_empty(folder));

    // Nothing to delete: the list's index error, and nothing touched.
    std::ofstream(folder + "other.jpg") << "x";
    try {
        viewer->DeleteCurrentPicture();
        FAIL();
    } catch (const EListError &e) {
        EXPECT_EQ(e.Message(), "List index out of bounds (0)");
    }
    EXPECT_TRUE(fs::exists(folder + "other.jpg"));
}

TEST_F(PictureViewerTest, WallpaperIsTheShownPictureAsABitmapRecordedForTheDesktop) {
    TRegistry store(home.Registry());
    EXPECT_THROW(viewer->SetAsWallpaper(store, home.Home()), Exception);
    EXPECT_FALSE(fs::exists(home.Home() + "Vexil.bmp"));

    Add("pattern.jpg", "shown.jpg");
    viewer->SetAsWallpaper(store, home.Home());
    const QImage written(QString::fromStdString(home.Home() + "Vexil.bmp"), "bmp");
    EXPECT_EQ(written.size(), QSize(64, 48));
    EXPECT_TRUE(HasRedBluePattern(written));
    TRegistry check(home.Registry());
    check.SetRootKey(HKEY_CURRENT_USER);
    ASSERT_TRUE(check.OpenKey("\\Control Panel\\Desktop", false));
    EXPECT_EQ(check.ReadString("Wallpaper"), home.Home() + "Vexil.bmp");
    EXPECT_EQ(check.ReadString("TileWallpaper"), "0");
    // A second time replaces the file.
    Add("size-100x100.jpg", "next.jpg");
    viewer->Forward();
    viewer->SetAsWallpaper(store, home.Home());
    EXPECT_EQ(QImage(QString::fromStdString(home.Home() + "Vexil.bmp")).size(), QSize(100, 100));
}

TEST_F(PictureViewerTest, SlideShowLoopsOrStopsAtTheLast) {
    AddNumbered(3);
    QTimer timer;
    TSlideShow show(timer, *viewer);
    show.LoopShow = true;
    viewer->CurIndex = 1;
    timer.start(100000);
    std::vector<int> shown;
    for (int i = 0; i < 5; ++i) {
        show.Tick();
        shown.push_back(viewer->CurIndex);
    }
    EXPECT_EQ(shown, (std::vector<int>{2, 0, 1, 2, 0}));
    EXPECT_TRUE(show.Running());

    // A tick during a load does not move.
    viewer->Busy = true;
    show.Tick();
    EXPECT_EQ(viewer->CurIndex, 0);
    viewer->Busy = false;

    show.LoopShow = false;
    viewer->CurIndex = 2;
    show.Tick();
    EXPECT_FALSE(show.Running());
    EXPECT_EQ(viewer->CurIndex, 2);
    EXPECT_EQ(PicOfPicText(), "3 of 3");
}

TEST_F(PictureViewerTest, SlideShowDialogStartsStopsAndRemembersTheDelay) {
    AddNumbered(2);
    QTimer timer;
    TSlideShow show(timer, *viewer);
    {
        ModalCatcher answer([](QWidget *w) {
            auto *dialog = qobject_cast<TfrmDelay *>(w);
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(dialog->windowTitle(), "Slide Show");
            EXPECT_EQ(dialog->size(), QSize(344, 158));
            EXPECT_EQ(dialog->Delay->value(), 4);
            EXPECT_EQ(dialog->Delay->minimum(), 1);
            EXPECT_EQ(dialog->Delay->maximum(), 60);
            EXPECT_TRUE(dialog->cbLoop->isChecked());
            dialog->Delay->setValue(10);
            dialog->cbLoop->setChecked(false);
            dialog->accept();
        });
        show.Execute(&window);
    }
    EXPECT_TRUE(show.Running());
    EXPECT_EQ(timer.interval(), 10000);
    EXPECT_FALSE(show.LoopShow);
    EXPECT_EQ(show.Delay, 10);
    {
        // Opened again it shows 10 and the loop box ticked as designed; Cancel stops.
        ModalCatcher answer([](QWidget *w) {
            auto *dialog = qobject_cast<TfrmDelay *>(w);
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(dialog->Delay->value(), 10);
            EXPECT_TRUE(dialog->cbLoop->isChecked());
            dialog->reject();
        });
        show.Execute(&window);
    }
    EXPECT_FALSE(show.Running());
}

TEST(TfrmDelay, EveryTextFitsTheFixedSizeAndEveryControlIsNamed) {
    TfrmDelay dialog;
    EXPECT_EQ(dialog.size(), QSize(344, 158));
    EXPECT_EQ(CutOffTexts(dialog).join(" | ").toStdString(), "");
    EXPECT_FALSE(dialog.Delay->accessibleName().isEmpty());
    // The check box and the buttons are named by their captions; each takes the focus.
    for (QWidget *w : std::initializer_list<QWidget *>{dialog.Delay, dialog.cbLoop})
        EXPECT_EQ(w->focusPolicy() & Qt::TabFocus, Qt::TabFocus) << w->objectName().toStdString();
}
