// The main window and the dialogs from the keyboard and through assistive tools: the tab
// order reaches every control, each shows where the focus is and carries a name, the focus
// stays where the user put it while a picture loads, and the status panels are read as
// they show.
#include "app/TAboutBox.h"
#include "app/TPictureViewer.h"
#include "app/TSetupDlg.h"
#include "app/TfrmDelay.h"
#include "app/TfrmMain.h"

#include "tests/net/ScriptedServer.h"
#include "tests/picture/SamplePictures.h"
#include "tests/support/ModalCatcher.h"
#include "tests/support/QtTestHelpers.h"
#include "tests/support/TempHome.h"

#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

using namespace vexil;
namespace fs = std::filesystem;

namespace {

std::string describe(const QWidget *w) {
    return std::string(w->metaObject()->className()) + " " + w->objectName().toStdString();
}

QString accessibleName(QObject *object) {
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(object);
    return iface != nullptr ? iface->text(QAccessible::Name) : QString();
}

void showActive(QWidget &window) {
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    test::RunEventLoop();
}

QWidget *focused() {
    return QApplication::focusWidget();
}

void pressTab() {
    QTest::keyClick(focused(), Qt::Key_Tab);
}

// The controls Tab visits, from the one with the focus until the chain comes round.
std::vector<QWidget *> tabChain() {
    std::vector<QWidget *> chain;
    QWidget *first = focused();
    for (QWidget *w = first; w != nullptr && chain.size() < 100;) {
        chain.push_back(w);
        pressTab();
        w = focused();
        if (w == first)
            break;
    }
    return chain;
}

// The controls a user should be able to tab to. A control that hands its focus to another
// (a page control to its tabs) is reached through that one, and the edit inside a drop-down
// or a number field through its owner, which hands it the keys.
std::set<QWidget *> focusableControls(QWidget &window) {
    std::set<QWidget *> controls;
    for (QWidget *w : window.findChildren<QWidget *>()) {
        const QWidget *parent = w->parentWidget();
        const bool inner = parent != nullptr && (qobject_cast<const QComboBox *>(parent) ||
                                                 qobject_cast<const QAbstractSpinBox *>(parent));
        if ((w->focusPolicy() & Qt::TabFocus) && w->isVisible() && w->isEnabled() && !inner &&
            w->focusProxy() == nullptr)
            controls.insert(w);
    }
    return controls;
}

// Reachable from the keyboard and named, tab page by tab page.
void expectReachableAndNamed(QWidget &window) {
    showActive(window);
    auto *tabs = window.findChild<QTabWidget *>();
    const int pages = tabs != nullptr ? tabs->count() : 1;
    std::set<QWidget *> reached;
    std::set<QWidget *> expected;
    for (int page = 0; page < pages; ++page) {
        for (QWidget *w : tabChain())
            reached.insert(w);
        const std::set<QWidget *> shown = focusableControls(window);
        expected.insert(shown.begin(), shown.end());
        if (tabs == nullptr || page + 1 == pages)
            break;
        // The next page, as a keyboard user turns to it.
        for (int i = 0; i < 100 && focused() != tabs->tabBar(); ++i)
            pressTab();
        ASSERT_EQ(focused(), tabs->tabBar()) << window.objectName().toStdString();
        QTest::keyClick(tabs->tabBar(), Qt::Key_Right);
        ASSERT_EQ(tabs->currentIndex(), page + 1);
    }
    EXPECT_GE(expected.size(), 2u);
    for (QWidget *w : expected) {
        EXPECT_TRUE(reached.count(w)) << "not reached by Tab: " << describe(w);
        EXPECT_FALSE(accessibleName(w).isEmpty()) << "no accessible name: " << describe(w);
    }
}

// What the user sees of a control: itself and, inside a scroll box, the box round it.
QRect visibleBox(QWidget &window, QWidget *w) {
    QRect box(w->mapTo(&window, QPoint(0, 0)), w->size());
    for (QWidget *p = w->parentWidget(); p != nullptr && p != &window; p = p->parentWidget())
        if (qobject_cast<QAbstractScrollArea *>(p))
            box |= QRect(p->mapTo(&window, QPoint(0, 0)), p->size());
    return box;
}

// A first start with pictures p0.jpg .. p(n-1).jpg in the picture folder.
std::unique_ptr<TfrmMain> startWithPictures(const test::TempHome &home, int pictures) {
    const fs::path folder = home.Home() + "TEMP";
    fs::create_directories(folder);
    for (int i = 0; i < pictures; ++i)
        fs::copy_file(test::SamplePicture(i % 2 ? "size-100x100.jpg" : "pattern.jpg"),
                      folder / ("p" + std::to_string(i) + ".jpg"));
    auto form = std::make_unique<TfrmMain>();
    showActive(*form);
    return form;
}

} // namespace

TEST(KeyboardAccess, EveryControlOfTheWindowAndTheDialogsIsReachedByTabAndNamed) {
    test::TempHome home;
    {
        TfrmMain form;
        expectReachableAndNamed(form);
    }
    {
        TSetupDlg setup;
        expectReachableAndNamed(setup);
    }
    {
        TfrmDelay delay;
        expectReachableAndNamed(delay);
    }
    {
        TAboutBox about;
        expectReachableAndNamed(about);
    }
}

TEST(KeyboardAccess, EveryControlInTheMainWindowsTabOrderShowsTheFocus) {
    test::TempHome home;
    auto form = startWithPictures(home, 1);
    // One lap first, so that the window knows the keyboard moves the focus.
    const std::vector<QWidget *> chain = tabChain();
    ASSERT_GE(chain.size(), 9u);
    for (QWidget *w : chain) {
        w->setFocus(Qt::TabFocusReason);
        test::RunEventLoop(1);
        const QRect box = visibleBox(*form, w);
        const QImage withFocus = form->grab(box).toImage();
        w->clearFocus();
        test::RunEventLoop(1);
        const QImage without = form->grab(box).toImage();
        EXPECT_NE(withFocus, without) << "no focus shown on " << describe(w);
    }
}

TEST(KeyboardAccess, SpaceOnBackOrForwardKeepsTheFocusWhilePicturesLoad) {
    test::TempHome home;
    auto form = startWithPictures(home, 4);
    ASSERT_EQ(form->Pictures->PictureList.size(), 4u);
    test::ModalCatcher catcher;

    form->sbNext->setFocus(Qt::TabFocusReason);
    for (int press = 0; press < 3; ++press) {
        ASSERT_EQ(focused(), form->sbNext) << "after " << press << " presses";
        QTest::keyClick(focused(), Qt::Key_Space);
    }
    EXPECT_EQ(form->Pictures->CurIndex, 3);
    EXPECT_EQ(focused(), form->sbNext);

    QTest::keyClick(focused(), Qt::Key_Backtab);
    ASSERT_EQ(focused(), form->sbPrior);
    for (int press = 0; press < 2; ++press) {
        ASSERT_EQ(focused(), form->sbPrior) << "after " << press << " presses";
        QTest::keyClick(focused(), Qt::Key_Space);
    }
    EXPECT_EQ(form->Pictures->CurIndex, 1);
    EXPECT_EQ(focused(), form->sbPrior);

    // Stop is disabled with them while a picture loads and keeps the focus as well.
    form->CancelButton->setFocus(Qt::TabFocusReason);
    form->Pictures->ShowCurrentPicture();
    EXPECT_EQ(focused(), form->CancelButton);
    test::RunEventLoop(50);
    EXPECT_EQ(catcher.Count(), 0) << "a dialog opened: " << catcher.Texts().join("|").toStdString();
}

TEST(KeyboardAccess, TheMainWindowIsAWindowAndItsStatusPanelsAreReadAsTheyShow) {
    test::TempHome home;
    TfrmMain form;
    showActive(form);
    QAccessibleInterface *window = QAccessible::queryAccessibleInterface(&form);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->role(), QAccessible::Window);
    EXPECT_EQ(window->text(QAccessible::Name), "Vexil - Image Browser");

    const auto panels = {TfrmMain::spArticles, TfrmMain::spStatus, TfrmMain::spFileName};
    auto panelNames = [&] {
        QStringList names;
        for (QLabel *label : form.StatusBar1->findChildren<QLabel *>())
            names << accessibleName(label);
        return names;
    };
    EXPECT_EQ(panelNames(),
              (QStringList{"Total Articles: ", "Current Status: Not Connected", "None"}));

    // A server that refuses: Go writes the failure into the status panel.
    form.msNNTP.SetServer("127.0.0.1:" + std::to_string(test::UnusedPort()));
    test::ModalCatcher catcher;
    form.btnGo->click();
    test::RunEventLoop(50);
    ASSERT_EQ(catcher.Count(), 1);
    EXPECT_NE(form.StatusText(TfrmMain::spStatus), "Current Status: Not Connected");
    QStringList shown;
    for (TfrmMain::TStatusPanel panel : panels)
        shown << form.StatusText(panel);
    EXPECT_EQ(panelNames(), shown);
}
