#include "app/TfrmMain.h"
#include "app/TPicOfPicBox.h"
#include "app/TPictureViewer.h"
#include "app/TSlideShow.h"
#include "picture/TGifImage.h"
#include "platform/DisplayDepth.h"
#include "platform/TRegistry.h"
#include "tests/net/ScriptedServer.h"
#include "tests/picture/SamplePictures.h"
#include "tests/support/ModalCatcher.h"
#include "tests/support/QtTestHelpers.h"
#include "tests/support/TempHome.h"

#include <QAction>
#include <QComboBox>
#include <QEventLoop>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QScrollArea>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>

using namespace vexil;
namespace fs = std::filesystem;

namespace {

std::unique_ptr<TRegistry> machineStore() {
    auto reg = std::make_unique<TRegistry>();
    reg->SetRootKey(HKEY_LOCAL_MACHINE);
    reg->OpenKey("\\Software\\Internet\\VX", true);
    return reg;
}

QStringList itemsOf(const QComboBox *box) {
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

QStringList menuEntries(QMenuBar *bar, int menu) {
    QStringList entries;
    for (QAction *action : bar->actions().at(menu)->menu()->actions())
        entries << (action->isSeparator()
                        ? "-"
                        : action->text() + (action->shortcut().isEmpty()
                                                ? QString()
                                                : " [" + action->shortcut().toString() + "]"));
    return entries;
}

} // namespace

TEST(TfrmMain, AFirstStartTakesEveryDefault) {
    test::TempHome home;
    TfrmMain form;
    EXPECT_EQ(form.windowTitle(), "Vexil - Image Browser");
    EXPECT_EQ(form.size(), QSize(544, 456));
    EXPECT_EQ(form.msNNTP.Server(), "news");
    EXPECT_EQ(form.Settings.MinLines, 150);
    EXPECT_EQ(form.Settings.MaxLines, 100000);
    EXPECT_TRUE(form.Settings.SmartDownload);
    const int colors = DisplayColorCount(&form);
    EXPECT_EQ(form.Settings.SlowColor, colors > 0 && colors <= 256);
    EXPECT_TRUE(form.msNNTP.UserName.empty());
    EXPECT_TRUE(form.msNNTP.Password.empty());
    EXPECT_TRUE(form.Settings.EMailAddress.empty());
    EXPECT_FALSE(form.Pictures->Busy);
    EXPECT_EQ(form.Pictures->CurIndex, 0);
    EXPECT_TRUE(form.Pictures->PictureList.empty());
    EXPECT_FALSE(form.SlideShow->Running());
    EXPECT_EQ(form.SlideShow->Delay, 4);

    EXPECT_EQ(form.TempFolder, home.Home() + "TEMP/");
    EXPECT_TRUE(fs::is_directory(form.TempFolder));
    EXPECT_EQ(form.DataFile, home.Home() + "Vexil.Dat");

    const QStringList preset = TfrmMain::PresetNewsGroups();
    EXPECT_EQ(itemsOf(form.NGEdit), preset);
    QStringList sorted = preset;
    sorted.sort(Qt::CaseInsensitive);
    EXPECT_EQ(preset, sorted) << "the preset list is alphabetical";
    EXPECT_EQ(form.NGEdit->currentIndex(), 1);
    EXPECT_FALSE(form.NGEdit->isEditable());

    EXPECT_EQ(form.StatusText(TfrmMain::spArticles), "Total Articles: ");
    EXPECT_EQ(form.StatusText(TfrmMain::spStatus), "Current Status: Not Connected");
    EXPECT_EQ(form.StatusText(TfrmMain::spFileName), "None");
    EXPECT_FALSE(form.ATimer->isActive());
    EXPECT_TRUE(form.SavePosition());
    EXPECT_TRUE(form.SaveSize());
    EXPECT_EQ(form.RegKey(), "Software\\Internet\\VX");
}

TEST(TfrmMain, TheWindowCarriesItsControlsAndTheFullMenu) {
    test::TempHome home;
    TfrmMain form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    EXPECT_EQ(form.ToolPanel->height(), 73);
    EXPECT_EQ(form.NGEdit->width(), 260);
    EXPECT_EQ(form.PicOfPic->width(), 108);
    EXPECT_TRUE(form.PicOfPic->isEditable());
    EXPECT_EQ(form.Bevel1->width(), form.width());
    form.resize(700, 500);
    EXPECT_EQ(form.Bevel1->width(), 700);

    const std::vector<std::tuple<QToolButton *, QString, QString>> buttons = {
        {form.btnGo, "Go", ""},
        {form.CancelButton, "Stop", ""},
        {form.sbPrior, "Back", "Previous Picture"},
        {form.sbNext, "Forward", "Next Picture"},
        {form.SetupButton, "Setup", "Setup"},
    };
    for (const auto &[button, caption, hint] : buttons) {
        EXPECT_EQ(button->text(), caption);
        EXPECT_EQ(button->toolTip(), hint);
        EXPECT_EQ(button->size(), QSize(45, 45));
        EXPECT_TRUE(button->autoRaise());
        EXPECT_EQ(button->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
        EXPECT_FALSE(button->icon().isNull());
        EXPECT_NE(button->focusPolicy() & Qt::TabFocus, 0);
    }

    EXPECT_EQ(menuEntries(form.MainMenu, 0),
              (QStringList{"&Open Picture Folder", "-", "E&xit [Alt+X]"}));
    EXPECT_EQ(menuEntries(form.MainMenu, 1),
              (QStringList{"&Next Picture [F6]", "&Previous Picture [F5]", "-",
                           "Set As &Wallpaper [F2]", "&Copy Picture [Ctrl+C]", "Slide Show...",
                           "Auto Size Pictures", "&Fit to Window", "F&ull Screen [F11]",
                           "&Thumbnails [Ctrl+T]", "-", "&Delete this picture [Ctrl+D]"}));
    EXPECT_EQ(menuEntries(form.MainMenu, 2),
              (QStringList{"&Vexil Homepage...", "Online Help...", "-", "&About"}));
    QStringList menus;
    for (QAction *menu : form.MainMenu->actions())
        menus << menu->text();
    EXPECT_EQ(menus, (QStringList{"&File", "&Picture", "&Help"}));
    EXPECT_TRUE(form.mniAutoSizePictures->isCheckable());
    EXPECT_FALSE(form.mniAutoSizePictures->isChecked());
    // The sunken status bar and the picture box share the rest of the window.
    EXPECT_GT(form.sbMain->height(), 200);
    EXPECT_EQ(form.sbMain->width(), form.width() - 8);
    form.resize(544, 456);
    EXPECT_EQ(test::CutOffTexts(form).join(" | ").toStdString(), "");
}

TEST(TfrmMain, EveryControlHasANameForAssistiveTools) {
    test::TempHome home;
    TfrmMain form;
    for (QWidget *widget : form.findChildren<QWidget *>()) {
        if (!widget->isVisibleTo(&form) || widget->inherits("QScrollBar") ||
            widget->inherits("QMenu") || !widget->focusPolicy())
            continue;
        QString name = widget->accessibleName();
        if (name.isEmpty())
            if (auto *button = qobject_cast<QAbstractButton *>(widget))
                name = button->text();
        EXPECT_FALSE(name.isEmpty())
            << widget->metaObject()->className() << " " << widget->objectName().toStdString();
    }
}

TEST(TfrmMain, AServerStoredAsAnIntegerFallsBackToTheNewsKey) {
    test::TempHome home;
    {
        auto reg = machineStore();
        reg->WriteInteger("Server", 7);
        reg->WriteInteger("MinLines", 500);
        reg->WriteString("User", "someone");
    }
    {
        TfrmMain form;
        EXPECT_EQ(form.msNNTP.Server(), "news");
        // The remaining reads were made on the other key, so they took their defaults.
        EXPECT_EQ(form.Settings.MinLines, 150);
        EXPECT_TRUE(form.msNNTP.UserName.empty());
    }
    {
        TRegistry reg;
        reg.SetRootKey(HKEY_CURRENT_USER);
        reg.OpenKey("\\Software\\Microsoft\\Internet Mail and News\\News", true);
        reg.WriteString("DefaultServer", "news.other.example");
    }
    TfrmMain form;
    EXPECT_EQ(form.msNNTP.Server(), "news.other.example");
    EXPECT_EQ(form.Settings.MinLines, 150);
}

TEST(TfrmMain, StoredSettingsAreReadAndAnEmptyServerIsTheDefault) {
    test::TempHome home;
    {
        auto reg = machineStore();
        reg->WriteString("Server", "");
        reg->WriteInteger("SlowColor", 5);
        reg->WriteInteger("MaxLines", 4000);
        reg->WriteInteger("MinLines", 20);
        reg->WriteInteger("SmartDownload", 0);
        reg->WriteString("User", "reader");
        reg->WriteString("Pass", "s3cret");
        reg->WriteString("EMail Address", "reader@example.org");
        reg->WriteString("MaxLines", "not a number");
    }
    TfrmMain form;
    EXPECT_EQ(form.msNNTP.Server(), "news");
    EXPECT_TRUE(form.Settings.SlowColor);
    // A value of the wrong type keeps its own default and spoils nothing else.
    EXPECT_EQ(form.Settings.MaxLines, 100000);
    EXPECT_EQ(form.Settings.MinLines, 20);
    EXPECT_FALSE(form.Settings.SmartDownload);
    EXPECT_EQ(form.msNNTP.UserName, "reader");
    EXPECT_EQ(form.msNNTP.Password, "s3cret");
    EXPECT_EQ(form.Settings.EMailAddress, "reader@example.org");
}

TEST(TfrmMain, TheGroupListFileReplacesThePresetList) {
    test::TempHome home;
    std::ofstream(home.Home() + "Vexil.Dat") << "zz.pictures\r\nalt.binaries.pictures.misc\n"
                                                "Alt.Binaries.Pictures.Boats\n";
    TfrmMain form;
    EXPECT_EQ(itemsOf(form.NGEdit), (QStringList{"Alt.Binaries.Pictures.Boats",
                                                 "alt.binaries.pictures.misc", "zz.pictures"}));
    EXPECT_EQ(form.NGEdit->currentIndex(), 0);
    // The client's group list is loaded from the same file.
    EXPECT_EQ(form.msNNTP.NewsGroupList().Count(), 3);
}

TEST(TfrmMain, PicturesKeptFromEarlierRunsAreListedInNameOrderAndNothingElse) {
    test::TempHome home;
    const fs::path folder = home.Home() + "TEMP";
    fs::create_directories(folder / "a-folder");
    fs::create_directories(folder / "folder.jpg");
    for (const char *name :
         {"b.jpg", "bulk10.jpg", "\xe9t\xe9.bmp", "Bulk2.gif", "a.gif", "z.JPEG", "bulk1.jpg"})
        fs::copy_file(
            test::SamplePicture(std::string("pattern") + fs::path(name).extension().string()),
            folder / name);
    std::ofstream(folder / "notes.txt") << "x";
    // Only picture files, in the order a person reads their names.
    std::vector<std::string> expected;
    for (const char *name :
         {"a.gif", "b.jpg", "bulk1.jpg", "Bulk2.gif", "bulk10.jpg", "z.JPEG", "\xe9t\xe9.bmp"})
        expected.push_back(folder.string() + "/" + name);

    TfrmMain form;
    EXPECT_TRUE(form.Pictures->PictureList.empty()) << "listing waits for the start message";
    test::RunEventLoop();
    EXPECT_EQ(form.Pictures->PictureList, expected);
    EXPECT_EQ(form.PicOfPic->currentText(), "1 of " + QString::number(expected.size()));
    EXPECT_EQ(form.Image1->size(), QSize(64, 48)) << "the first picture is shown";
    EXPECT_EQ(form.StatusText(TfrmMain::spFileName), "a.gif");
    // What the user keeps there besides pictures is neither listed nor deleted, not even
    // when every picture has been stepped over.
    for (std::size_t i = 1; i < expected.size(); ++i)
        form.mniNextPicture->trigger();
    EXPECT_EQ(form.Pictures->PictureList.size(), expected.size());
    EXPECT_TRUE(fs::exists(folder / "notes.txt"));
    EXPECT_TRUE(fs::is_directory(folder / "a-folder"));
    EXPECT_TRUE(fs::is_directory(folder / "folder.jpg"));
    test::RunEventLoop();
    EXPECT_EQ(form.Pictures->PictureList.size(), expected.size()) << "the start message comes once";
}

TEST(NaturalLess, DigitsCompareByValueAndLettersWithoutCase) {
    std::vector<std::string> names = {"bulk10.jpg", "bulk2.jpg", "Bulk1.jpg", "bulk02.jpg",
                                      "a.jpg",      "bulk.jpg",  "b10c2.gif", "b10c10.gif",
                                      "b9.gif",     "10.jpg",    "9.jpg"};
    std::sort(names.begin(), names.end(), NaturalLess);
    EXPECT_EQ(names, (std::vector<std::string>{"9.jpg", "10.jpg", "a.jpg", "b9.gif", "b10c2.gif",
                                               "b10c10.gif", "bulk.jpg", "Bulk1.jpg", "bulk02.jpg",
                                               "bulk2.jpg", "bulk10.jpg"}));
    // A strict order: ties in value still order one way only.
    EXPECT_NE(NaturalLess("bulk02.jpg", "bulk2.jpg"), NaturalLess("bulk2.jpg", "bulk02.jpg"));
    EXPECT_FALSE(NaturalLess("x", "x"));
}

TEST(TfrmMain, ClosingWritesTheEightValuesAndThePlacement) {
    test::TempHome home;
    {
        TfrmMain form;
        form.show();
        form.setGeometry(40, 50, 600, 480);
        form.msNNTP.SetServer("news.example.org");
        form.msNNTP.UserName = "me";
        form.msNNTP.Password = "plain text";
        form.Settings.EMailAddress = "me@example.org";
        form.Settings.SlowColor = true;
        form.Settings.MaxLines = 9000;
        form.Settings.MinLines = 12;
        form.Settings.SmartDownload = false;
        // Without a keyring (tests see no session bus) the password goes to the settings
        // file, and the first password stored there is told.
        test::ModalCatcher told;
        form.close();
        EXPECT_EQ(told.Count(), 1);
        EXPECT_EQ(form.SettingsStore, nullptr) << "the store is freed at close";
    }
    auto reg = machineStore();
    EXPECT_EQ(reg->ReadString("Server"), "news.example.org");
    EXPECT_EQ(reg->ReadString("User"), "me");
    EXPECT_EQ(reg->ReadString("Pass"), "plain text");
    EXPECT_EQ(reg->ReadString("EMail Address"), "me@example.org");
    EXPECT_EQ(reg->ReadInteger("SlowColor"), 1);
    EXPECT_EQ(reg->ReadInteger("MaxLines"), 9000);
    EXPECT_EQ(reg->ReadInteger("MinLines"), 12);
    EXPECT_EQ(reg->ReadInteger("SmartDownload"), 0);
    EXPECT_EQ(reg->GetValueNames().size(), 8u);
    reg->SetRootKey(HKEY_CURRENT_USER);
    reg->OpenKey("Software\\Internet\\VX", false);
    EXPECT_EQ(reg->ReadInteger("Left"), 40);
    EXPECT_EQ(reg->ReadInteger("Top"), 50);
    EXPECT_EQ(reg->ReadInteger("Width"), 600);
    EXPECT_EQ(reg->ReadInteger("Height"), 480);

    // The next start finds it all again.
    TfrmMain again;
    again.show();
    EXPECT_EQ(again.msNNTP.Server(), "news.example.org");
    EXPECT_EQ(again.Settings.MinLines, 12);
    EXPECT_FALSE(again.Settings.SmartDownload);
    EXPECT_EQ(again.geometry(), QRect(40, 50, 600, 480));
}

TEST(TfrmMain, AFirstStartOpensInTheMiddleOfTheScreen) {
    test::TempHome home;
    TfrmMain form;
    form.show();
    const QRect screen = QApplication::primaryScreen()->availableGeometry();
    EXPECT_LE((form.geometry().center() - screen.center()).manhattanLength(), 1)
        << "window at " << form.x() << "," << form.y();
    EXPECT_EQ(form.size(), QSize(544, 456));
}

TEST(TfrmMain, AMaximisedPlacementIsRestored) {
    test::TempHome home;
    {
        TfrmMain form;
        form.show();
        form.showMaximized();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        form.close();
    }
    TfrmMain again;
    again.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&again));
    EXPECT_TRUE(again.isMaximized());
}

TEST(TfrmMain, AStoreThatIsNoDatabaseLeavesTheDefaultsAndIsReportedAtClose) {
    test::TempHome home;
    const std::string garbage = "no database at all, and it stays as it is\n";
    std::ofstream(home.Registry()) << garbage;
    TfrmMain form;
    EXPECT_EQ(form.msNNTP.Server(), "news");
    EXPECT_EQ(form.Settings.MinLines, 150);
    test::ModalCatcher catcher;
    form.close();
    // The settings and the placement each report their failure; the file is left alone.
    ASSERT_GE(catcher.Count(), 1);
    EXPECT_TRUE(catcher.Texts().first().startsWith("The settings could not be saved."))
        << catcher.Texts().first().toStdString();
    EXPECT_TRUE(catcher.Texts().first().contains(QString::fromStdString(home.Registry())));
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(fs::file_size(home.Registry()), garbage.size());
}

TEST(TfrmMain, ClosingLeavesAConnectedServerWithQuit) {
    test::TempHome home;
    test::ScriptedServer server([](test::ServerConnection &c) {
        c.SendLine("200 scripted news server ready");
        c.Expect("QUIT", "205 goodbye");
        c.WaitForClose();
    });
    TfrmMain form;
    EXPECT_EQ(form.msNNTP.DefaultPort(), 119);
    EXPECT_EQ(form.msNNTP.TimeOut(), 600);
    EXPECT_EQ(form.msNNTP.Article(), &form.msArticle1);
    form.msNNTP.SetServer(server.Address());
    form.msNNTP.Connect();
    ASSERT_TRUE(form.msNNTP.Connected());
    form.close();
    EXPECT_FALSE(form.msNNTP.Connected());
    EXPECT_TRUE(server.Failures().empty());
    EXPECT_EQ(server.Received(), std::vector<std::string>{"QUIT"});
    auto reg = machineStore();
    EXPECT_EQ(reg->ReadString("Server"), server.Address());
}

TEST(TfrmMain, ClosingDuringAClientOperationCancelsIt) {
    test::TempHome home;
    std::atomic<bool> groupAsked{false};
    test::ScriptedServer server([&groupAsked](test::ServerConnection &c) {
        c.SendLine("200 scripted news server ready");
        // GROUP is never answered: Go waits until the window closes.
        c.ReadLine();
        groupAsked = true;
        c.WaitForClose();
    });
    const test::QtMessagePump pump;
    TfrmMain form;
    int cancels = 0;
    form.msNNTP.OnCancel = [&cancels](TObject *) { ++cancels; };
    form.msNNTP.SetServer(server.Address());
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, &form, [&] {
        if (groupAsked)
            form.close();
    });
    closer.start(10);
    form.btnGoClick();
    closer.stop();
    EXPECT_EQ(cancels, 1);
    EXPECT_FALSE(form.msNNTP.Connected());
    const std::vector<std::string> received = server.Received();
    EXPECT_EQ(std::count(received.begin(), received.end(), "QUIT"), 0)
        << "no QUIT cuts into a running exchange";
    // The settings are written all the same.
    EXPECT_EQ(machineStore()->ReadString("Server"), server.Address());
}
