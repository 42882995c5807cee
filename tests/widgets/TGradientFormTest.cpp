#include "widgets/TGradientForm.h"

#include <QAccessible>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace vexil;

namespace {

struct Form : TGradientForm {
    Form() {
        setWindowTitle("Vexil - Image Browser");
        resize(544, 456);
    }
};

} // namespace

TEST(TGradientForm, GradientColorsStaysWithinEightTo256) {
    Form form;
    EXPECT_EQ(form.GradientColors(), 64);
    EXPECT_FALSE(form.GradientOnInactive());
    form.SetGradientColors(7);
    EXPECT_EQ(form.GradientColors(), 64);
    form.SetGradientColors(257);
    EXPECT_EQ(form.GradientColors(), 64);
    form.SetGradientColors(8);
    EXPECT_EQ(form.GradientColors(), 8);
    form.SetGradientColors(256);
    EXPECT_EQ(form.GradientColors(), 256);
}

TEST(TGradientForm, AssistiveToolsSeeAWindowNamedByItsCaption) {
    Form form;
    auto *button = new QPushButton("Go", form.ClientArea());
    QAccessibleInterface *window = QAccessible::queryAccessibleInterface(&form);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->role(), QAccessible::Window);
    EXPECT_EQ(window->text(QAccessible::Name), "Vexil - Image Browser");
    // Its controls hang below it, so that a screen reader finds them in the window.
    QAccessibleInterface *control = QAccessible::queryAccessibleInterface(button);
    while (control != nullptr && control->object() != &form)
        control = control->parent();
    EXPECT_NE(control, nullptr);
}

TEST(TGradientForm, TheTableRunsFromBlackToTheCaptionColour) {
    Form form;
    for (const int n : {8, 64, 256}) {
        form.SetGradientColors(n);
        for (const bool active : {true, false}) {
            const auto &table = form.ColorTable(active);
            const QColor caption = form.CaptionColor(active);
            EXPECT_EQ(table[0], QColor(Qt::black));
            EXPECT_EQ(table[n - 1], caption) << n;
            // Entry j is the caption colour times j / (n - 1), to the nearest integer.
            const int j = n / 2;
            EXPECT_EQ(table[j].red(), qRound(caption.red() * j / double(n - 1)));
            EXPECT_EQ(table[j].blue(), qRound(caption.blue() * j / double(n - 1)));
        }
    }
}

TEST(TGradientForm, TheFirstBandIsBlackAndTheLastTheCaptionColour) {
    Form form;
    form.SetGradientColors(256);
    const QImage caption = form.PaintCaption(true);
    ASSERT_FALSE(caption.isNull());
    ASSERT_EQ(caption.width(), form.CaptionRect().width());
    // The top row lies above the icon and the buttons, so it shows the bands alone.
    EXPECT_EQ(caption.pixelColor(0, 0), QColor(Qt::black));
    EXPECT_EQ(caption.pixelColor(caption.width() - 1, 0), form.CaptionColor(true));
    // Band j covers round(j*w/n) .. round((j+1)*w/n).
    const int w = caption.width();
    const int j = 100;
    const int middle = (qRound(j * w / 256.0) + qRound((j + 1) * w / 256.0)) / 2;
    EXPECT_EQ(caption.pixelColor(middle, 0), form.ColorTable(true)[j]);

    form.SetGradientColors(8);
    const QImage coarse = form.PaintCaption(true);
    EXPECT_EQ(coarse.pixelColor(w / 8 - 2, 0), QColor(Qt::black));
    EXPECT_EQ(coarse.pixelColor(w / 8 + 2, 0), form.ColorTable(true)[1]);
}

TEST(TGradientForm, AnInactiveCaptionIsFlatUnlessGradientOnInactive) {
    Form form;
    const QImage flat = form.PaintCaption(false);
    EXPECT_EQ(flat.pixelColor(0, 0), form.CaptionColor(false));
    form.SetGradientOnInactive(true);
    const QImage gradient = form.PaintCaption(false);
    EXPECT_EQ(gradient.pixelColor(0, 0), QColor(Qt::black));
    EXPECT_EQ(gradient.pixelColor(gradient.width() - 1, 0), form.CaptionColor(false));
}

TEST(TGradientForm, TheCaptionTextIsWhite) {
    Form form;
    const QImage caption = form.PaintCaption(true);
    // Somewhere between the icon and the buttons the caption text is drawn in white.
    bool white = false;
    for (int x = caption.height(); x < caption.width() / 2 && !white; ++x)
        for (int y = 0; y < caption.height() && !white; ++y)
            white = caption.pixelColor(x, y) == QColor(Qt::white);
    EXPECT_TRUE(white);
}

TEST(TGradientForm, CaptionButtonsFollowTheBorderStyle) {
    Form form;
    auto commands = [&] {
        std::vector<TGradientForm::TSystemCommand> list;
        for (const auto &button : form.CaptionButtons())
            list.push_back(button.Command);
        return list;
    };
    using F = TGradientForm;
    EXPECT_EQ(commands(), (std::vector{F::scClose, F::scMaximize, F::scMinimize}));
    const auto buttons = form.CaptionButtons();
    // Right to left, each h + 2 wide, the close button set apart by two more pixels.
    const int h = form.CaptionRect().height() - 4;
    EXPECT_EQ(buttons[0].Rect.right() + 1, form.CaptionRect().width() - 2);
    EXPECT_EQ(buttons[0].Rect.width(), h + 2);
    EXPECT_EQ(buttons[0].Rect.right() - buttons[1].Rect.right(), h + 4);
    EXPECT_EQ(buttons[1].Rect.right() - buttons[2].Rect.right(), h + 2);

    form.SetBorderIcons(F::biSystemMenu);
    EXPECT_FALSE(form.CaptionButtons()[1].Enabled);
    EXPECT_FALSE(form.CaptionButtons()[2].Enabled);
    form.SetBorderStyle(F::bsDialog);
    EXPECT_EQ(commands(), (std::vector{F::scClose}));
    form.SetBorderIcons(F::biSystemMenu | F::biHelp);
    EXPECT_EQ(commands(), (std::vector{F::scClose, F::scContextHelp}));
    form.SetBorderStyle(F::bsToolWindow);
    EXPECT_EQ(commands(), (std::vector{F::scClose}));
    form.SetBorderStyle(F::bsNone);
    EXPECT_TRUE(form.CaptionRect().isEmpty());
    EXPECT_TRUE(commands().empty());
}

TEST(TGradientForm, TheMenuAndClientAreaSitBelowTheCaption) {
    Form form;
    auto *menu = new QMenuBar;
    menu->addMenu("&File");
    form.SetMenuBar(menu);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    const QRect caption = form.CaptionRect();
    EXPECT_EQ(caption.topLeft(), QPoint(4, 4));
    EXPECT_EQ(menu->geometry().top(), caption.bottom() + 1);
    EXPECT_EQ(form.ClientArea()->geometry().top(), menu->geometry().bottom() + 1);
    EXPECT_EQ(form.ClientArea()->width(), form.width() - 8);
}

TEST(TGradientForm, TheCloseButtonClosesAndTheFrameShowsSizingCursors) {
    Form form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QTest::mouseMove(&form, QPoint(1, form.height() / 2));
    EXPECT_EQ(form.cursor().shape(), Qt::SizeHorCursor);
    QTest::mouseMove(&form, QPoint(form.width() / 2, form.height() - 2));
    EXPECT_EQ(form.cursor().shape(), Qt::SizeVerCursor);
    QTest::mouseMove(&form, QPoint(1, 1));
    EXPECT_EQ(form.cursor().shape(), Qt::SizeFDiagCursor);
    QTest::mouseMove(&form, QPoint(form.width() - 2, 1));
    EXPECT_EQ(form.cursor().shape(), Qt::SizeBDiagCursor);

    const auto buttons = form.CaptionButtons();
    const QPoint minimize = buttons[2].Rect.center() + form.CaptionRect().topLeft();
    const QPoint close = buttons[0].Rect.center() + form.CaptionRect().topLeft();
    // A press that is released elsewhere does nothing, as with any button.
    QTest::mousePress(&form, Qt::LeftButton, {}, close);
    QTest::mouseRelease(&form, Qt::LeftButton, {}, minimize);
    EXPECT_TRUE(form.isVisible());
    QTest::mouseClick(&form, Qt::LeftButton, {}, close);
    EXPECT_FALSE(form.isVisible());
}

TEST(TGradientForm, TheSystemMenuReachesTheCaptionCommandsFromTheKeyboard) {
    Form form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QMenu *menu = form.SystemMenu();
    ASSERT_NE(menu, nullptr);
    QStringList texts;
    for (QAction *action : menu->actions())
        if (!action->isSeparator())
            texts << action->text();
    EXPECT_EQ(texts, (QStringList{"&Restore", "Mi&nimize", "Ma&ximize", "&Close"}));
    menu->actions().at(2)->trigger();
    EXPECT_TRUE(form.isMaximized());
    EXPECT_EQ(form.CaptionButtons()[1].Command, TGradientForm::scRestore);
    EXPECT_TRUE(form.CaptionRect().topLeft().isNull()) << "a maximised form has no frame";
    menu->actions().at(0)->trigger();
    EXPECT_FALSE(form.isMaximized());
}
