#include "app/HelpLinks.h"
#include "app/ProgramStart.h"
#include "app/TAboutBox.h"
#include "app/TfrmMain.h"
#include "platform/MemoryStatus.h"
#include "platform/VersionBlock.h"
#include "tests/support/ModalCatcher.h"
#include "tests/support/QtTestHelpers.h"
#include "tests/support/TempHome.h"
#include "widgets/TRTWebLink.h"
#include "widgets/TVersionLabel.h"

#include <QAction>
#include <QDesktopServices>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

#include <cstdlib>

using namespace vexil;

namespace {

std::string builtProgram() {
    return std::string(VEXIL_BUILT_PROGRAM);
}

} // namespace

TEST(TAboutBox, ShowsTheMemoryFiguresInTheirFormats) {
    EXPECT_EQ(FormatPhysMem(131072ull * 1024), "131,072 KB");
    EXPECT_EQ(FormatPhysMem(64ull << 20), "65,536 KB");
    EXPECT_EQ(FormatPhysMem(512 * 1024), "512 KB");
    EXPECT_EQ(FormatPhysMem(24ull << 30), "25,165,824 KB");
    EXPECT_EQ(FormatMemoryLoad(42), "42 %");
    EXPECT_EQ(FormatMemoryLoad(0), "0 %");

    TAboutBox box;
    const TMemoryStatus memory = GlobalMemoryStatus();
    EXPECT_EQ(box.PhysMem->text(), FormatPhysMem(memory.TotalPhys));
    EXPECT_TRUE(box.FreeRes->text().endsWith(" %"));
    EXPECT_LE(box.FreeRes->text().chopped(2).toInt(), 100);
}

TEST(TAboutBox, NamesTheProgramItsVersionAndItsHomePage) {
    TAboutBox box;
    EXPECT_EQ(box.windowTitle(), "About Vexil");
    EXPECT_EQ(box.size(), QSize(294, 312));
    EXPECT_EQ(box.ProductName->text(), "Vexil for Win32");
    EXPECT_EQ(box.ProgramIcon->pixmap().size(), QSize(32, 32));
    // This test program carries no version block.
    EXPECT_EQ(box.VersionLabel2->text(), "File Version: < No Data Available >");
    EXPECT_EQ(box.RTWebLink2->text(), "Vexil Home Page On The Internet");
    EXPECT_EQ(box.RTWebLink2->LinkTo(), HomePageAddress());
    EXPECT_TRUE(box.OKButton->font().bold());
    EXPECT_EQ(test::CutOffTexts(box).join(" | ").toStdString(), "");
    EXPECT_TRUE(box.OKButton->isDefault());

    // The program as built carries its version in its own file.
    box.VersionLabel2->SetFileName(builtProgram());
    EXPECT_EQ(box.VersionLabel2->text().toStdString(),
              "File Version: " + std::string(VEXIL_VERSION) + ".0");
    box.VersionLabel2->SetVersionResource(vrProductName);
    EXPECT_EQ(box.VersionLabel2->text(), "Product Name: Vexil");

    test::UrlRecorder recorder;
    QTest::mouseClick(box.RTWebLink2, Qt::LeftButton);
    ASSERT_EQ(recorder.opened.size(), 1);
    EXPECT_EQ(recorder.opened[0], QUrl::fromLocalFile(QString::fromStdString(HomePageAddress())));
}

TEST(TAboutBox, TheHelpMenuOpensThePagesAndTheBox) {
    test::TempHome home;
    TfrmMain form;
    test::UrlRecorder recorder;
    form.QuillonHomepage1->trigger();
    form.VexilOnlineHelp1->trigger();
    EXPECT_EQ(recorder.opened,
              (QList<QUrl>{QUrl::fromLocalFile(QString::fromStdString(HomePageAddress())),
                           QUrl::fromLocalFile(QString::fromStdString(OnlineHelpAddress()))}));

    QString seen;
    test::ModalCatcher catcher([&seen](QWidget *modal) {
        seen = modal->windowTitle();
        modal->findChild<QPushButton *>("OKButton")->click();
    });
    form.mniAbout->trigger();
    EXPECT_EQ(seen, "About Vexil");
}

TEST(TAboutBox, HelpPagesOpenWithoutAMessageWhenNoBrowserIsThere) {
    test::TempHome home;
    TfrmMain form;
    test::ModalCatcher catcher;
    // No handler and no desktop on the offscreen platform: the shell fails quietly.
    form.QuillonHomepage1->trigger();
    QTest::qWait(30);
    EXPECT_EQ(catcher.Count(), 0);
}

TEST(ProgramStart, AMonthNameInTheDateFormatGivesDayMonthYear) {
    EXPECT_EQ(ProgramDateFormat(QLocale(QLocale::English, QLocale::UnitedStates)),
              QLocale(QLocale::English, QLocale::UnitedStates).dateFormat(QLocale::ShortFormat));
    const QString german = QLocale(QLocale::German).dateFormat(QLocale::ShortFormat);
    EXPECT_EQ(ProgramDateFormat(QLocale(QLocale::German)), german);
    // Locales whose short format spells the month out.
    for (const QLocale &locale : QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript,
                                                          QLocale::AnyTerritory)) {
        if (locale.dateFormat(QLocale::ShortFormat).toUpper().contains("MMM")) {
            EXPECT_EQ(ProgramDateFormat(locale), "dd/MM/yyyy") << locale.name().toStdString();
            return;
        }
    }
}

TEST(ProgramStart, ThisProcessorDividesCorrectly) {
    EXPECT_FALSE(FlawedDivide());
}
