#include "widgets/TFocusKeeper.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace vexil;

namespace {

// Four buttons in a row; the keeper watches the first two, which a command disables and
// enables together, as the picture buttons are while a picture loads.
class FocusRow : public ::testing::Test {
protected:
    FocusRow() {
        auto *row = new QHBoxLayout(&window);
        for (QPushButton *&b : buttons) {
            b = new QPushButton("button", &window);
            row->addWidget(b);
        }
        keeper = new TFocusKeeper(&window, {buttons[0], buttons[1]});
        window.show();
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    }
    void SetWatchedEnabled(bool enabled) {
        buttons[0]->setEnabled(enabled);
        buttons[1]->setEnabled(enabled);
    }
    static QWidget *Focused() { return QApplication::focusWidget(); }

    QWidget window;
    QPushButton *buttons[4] = {};
    TFocusKeeper *keeper = nullptr;
};

} // namespace

TEST_F(FocusRow, AControlDisabledForAMomentGetsTheFocusBack) {
    for (int start : {0, 1}) {
        buttons[start]->setFocus(Qt::TabFocusReason);
        SetWatchedEnabled(false);
        // The toolkit passes the focus along the disabled ones to the next that can take it.
        EXPECT_EQ(Focused(), buttons[2]);
        EXPECT_EQ(keeper->Waiting(), buttons[start]);
        SetWatchedEnabled(true);
        EXPECT_EQ(Focused(), buttons[start]) << start;
        EXPECT_EQ(keeper->Waiting(), nullptr);
    }
    // A control without the focus takes none when it comes back.
    buttons[3]->setFocus(Qt::TabFocusReason);
    SetWatchedEnabled(false);
    SetWatchedEnabled(true);
    EXPECT_EQ(Focused(), buttons[3]);
}

TEST_F(FocusRow, FocusMovedElsewhereInTheMeantimeStaysThere) {
    buttons[0]->setFocus(Qt::TabFocusReason);
    SetWatchedEnabled(false);
    buttons[3]->setFocus(Qt::MouseFocusReason);
    SetWatchedEnabled(true);
    EXPECT_EQ(Focused(), buttons[3]);

    // The same when another window takes the focus: this one keeps the control it gave it.
    buttons[1]->setFocus(Qt::TabFocusReason);
    SetWatchedEnabled(false);
    QPushButton other("other");
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    SetWatchedEnabled(true);
    EXPECT_EQ(window.focusWidget(), buttons[2]);
}
