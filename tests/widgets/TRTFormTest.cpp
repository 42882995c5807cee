#include "widgets/TRTForm.h"
#include "platform/TRegistry.h"
#include "tests/support/QtTestHelpers.h"
#include "tests/support/TempHome.h"
#include "widgets/ScreenCursor.h"

#include <QApplication>
#include <QEventLoop>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace vexil;

namespace {

class StartupForm : public TRTForm {
public:
    explicit StartupForm(bool saveSize = true) {
        SetSavePosition(true);
        SetSaveSize(saveSize);
        SetRegKey("\\Software\\Internet\\VX");
        resize(544, 456);
    }
    int startups = 0;

protected:
    void customEvent(QEvent *event) override {
        if (event->type() == WM_STARTUP)
            ++startups;
    }
};

void storePlacement(bool maximised, int top, int left, int height, int width) {
    TRegistry reg;
    reg.OpenKey("Software\\Internet\\VX", true);
    reg.WriteBool("WindowMaximised", maximised);
    reg.WriteInteger("Top", top);
    reg.WriteInteger("Left", left);
    reg.WriteInteger("Height", height);
    reg.WriteInteger("Width", width);
}

} // namespace

TEST(TRTForm, RegKeyLosesItsLeadingBackslash) {
    test::TempHome home;
    TRTForm form;
    EXPECT_TRUE(form.RegKey().empty());
    EXPECT_FALSE(form.SavePosition());
    form.SetRegKey("\\Software\\Internet\\VX");
    EXPECT_EQ(form.RegKey(), "Software\\Internet\\VX");
    form.SetRegKey("Software\\Other");
    EXPECT_EQ(form.RegKey(), "Software\\Other");
    EXPECT_TRUE(form.GradientOnInactive());
    EXPECT_EQ(form.statusTip(), "Ready.");
}

TEST(TRTForm, PostsTheStartMessageOnceTheLoopRuns) {
    test::TempHome home;
    StartupForm form;
    EXPECT_EQ(form.startups, 0);
    test::RunEventLoop(20);
    EXPECT_EQ(form.startups, 1);
    test::RunEventLoop(20);
    EXPECT_EQ(form.startups, 1);
}

TEST(TRTForm, AFirstRunOpensAtTwentyFiveWithTheDesignedSize) {
    test::TempHome home;
    StartupForm form;
    form.show();
    EXPECT_EQ(form.pos(), QPoint(25, 25));
    EXPECT_EQ(form.size(), QSize(544, 456));
}

TEST(TRTForm, ThePlacementIsWrittenAtCloseAndRestoredAtTheNextStart) {
    test::TempHome home;
    {
        StartupForm form;
        form.show();
        form.setGeometry(60, 70, 600, 500);
        form.close();
    }
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("Software\\Internet\\VX", false));
    EXPECT_EQ(reg.ReadInteger("Left"), 60);
    EXPECT_EQ(reg.ReadInteger("Top"), 70);
    EXPECT_EQ(reg.ReadInteger("Width"), 600);
    EXPECT_EQ(reg.ReadInteger("Height"), 500);
    EXPECT_FALSE(reg.ReadBool("WindowMaximised"));
    // Nothing of it lands under the other root.
    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    EXPECT_FALSE(reg.KeyExists("Software\\Internet\\VX"));

    StartupForm again;
    again.show();
    EXPECT_EQ(again.geometry(), QRect(60, 70, 600, 500));
}

TEST(TRTForm, WithoutSaveSizeTheSizeIsWrittenButNotApplied) {
    test::TempHome home;
    storePlacement(false, 40, 30, 300, 400);
    StartupForm form(false);
    form.show();
    EXPECT_EQ(form.pos(), QPoint(30, 40));
    EXPECT_EQ(form.size(), QSize(544, 456));
    form.close();
    TRegistry reg;
    reg.OpenKey("Software\\Internet\\VX", false);
    EXPECT_EQ(reg.ReadInteger("Width"), 544);
}

TEST(TRTForm, AMaximisedPlacementOpensMaximisedWithoutItsPosition) {
    test::TempHome home;
    storePlacement(true, 300, 200, 100, 100);
    StartupForm form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    EXPECT_TRUE(form.isMaximized());
    EXPECT_NE(form.pos(), QPoint(200, 300));
    form.close();
    TRegistry reg;
    reg.OpenKey("Software\\Internet\\VX", false);
    EXPECT_TRUE(reg.ReadBool("WindowMaximised"));
}

TEST(TRTForm, AValueOfTheWrongTypeFallsBackToTwentyFive) {
    test::TempHome home;
    storePlacement(false, 300, 200, 100, 100);
    {
        TRegistry reg;
        reg.OpenKey("Software\\Internet\\VX", false);
        reg.WriteString("Left", "200");
    }
    StartupForm form;
    form.show();
    EXPECT_EQ(form.pos(), QPoint(25, 25));
}

TEST(TRTForm, TheIdleApplicationPutsTheCursorBack) {
    test::TempHome home;
    StartupForm form;
    form.show();
    SetHourGlassScreenCursor();
    SetHourGlassScreenCursor();
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    test::RunEventLoop(30);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(TRTForm, MinimiseAndRestoreActOnTheFormItself) {
    test::TempHome home;
    StartupForm form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QMenu *menu = form.SystemMenu();
    menu->actions().at(1)->trigger();
    EXPECT_TRUE(form.isMinimized());
    menu->actions().at(0)->trigger();
    EXPECT_FALSE(form.isMinimized());
}
