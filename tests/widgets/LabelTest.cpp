#include "widgets/TRTWebLink.h"
#include "widgets/TVersionLabel.h"

#include "tests/support/QtTestHelpers.h"

#include <QDesktopServices>
#include <QPushButton>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <unistd.h>

using namespace vexil;

namespace {

// Copies a small executable and gives the copy a version block section, as the build does.
class VersionedExecutable {
public:
    explicit VersionedExecutable(const std::string &block) {
        dir_ = std::filesystem::temp_directory_path() /
               ("vexil-version-" + std::to_string(getpid()) + "-" + std::to_string(counter_++));
        std::filesystem::create_directories(dir_);
        const auto blockFile = dir_ / "block.txt";
        std::ofstream(blockFile, std::ios::binary) << block;
        path_ = (dir_ / "program").string();
        const std::string command = "objcopy --add-section .vexil_version=" + blockFile.string() +
                                    " --set-section-flags .vexil_version=readonly,data /bin/true " +
                                    path_;
        ok_ = std::system(command.c_str()) == 0;
    }
    ~VersionedExecutable() { std::filesystem::remove_all(dir_); }
    const std::string &Path() const { return path_; }
    bool Ok() const { return ok_; }

private:
    static inline int counter_ = 0;
    std::filesystem::path dir_;
    std::string path_;
    bool ok_ = false;
};

const std::string kBlock = "VEXIL-VERSION 1\n"
                           "FileFlags=0x00000000\n"
                           "Translation=0409 04E4\n"
                           "StringFileInfo\\040904E4\\FileVersion=1.2.3.4\n"
                           "StringFileInfo\\040904E4\\ProductName=Vexil\n"
                           "StringFileInfo\\040904E4\\Comments=\n"
                           "StringFileInfo\\040904E4\\Motto=Pictures, please\n";

} // namespace

TEST(TRTWebLink, LooksLikeALinkAndOpensItsTargetOnTheLeftButtonOrTheKeyboard) {
    test::UrlRecorder recorder;
    TRTWebLink link;
    link.setText("Vexil Home Page On The Internet");
    EXPECT_TRUE(link.font().underline());
    EXPECT_EQ(link.LinkColor(), QColor(0, 0, 255));
    EXPECT_EQ(link.palette().color(QPalette::WindowText), QColor(0, 0, 255));
    EXPECT_EQ(link.cursor().shape(), Qt::PointingHandCursor);

    link.SetLinkTo("https://vexil.example.org/");
    QTest::mouseClick(&link, Qt::RightButton);
    EXPECT_TRUE(recorder.opened.isEmpty());
    QTest::mouseClick(&link, Qt::LeftButton);
    ASSERT_EQ(recorder.opened.size(), 1);
    EXPECT_EQ(recorder.opened[0], QUrl("https://vexil.example.org/"));
    QTest::keyClick(&link, Qt::Key_Return);
    EXPECT_EQ(recorder.opened.size(), 2);

    link.SetLinkColor(Qt::red);
    EXPECT_EQ(link.palette().color(QPalette::WindowText), QColor(Qt::red));
}

TEST(TRTWebLink, ShowsTheFocusWhenTheKeyboardGivesItTheFocus) {
    QWidget window;
    auto *before = new QPushButton("OK", &window);
    auto *link = new TRTWebLink(&window);
    link->setText("Vexil Home Page On The Internet");
    link->move(0, 40);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    before->setFocus(Qt::TabFocusReason);
    const QImage without = link->grab().toImage();
    QTest::keyClick(before, Qt::Key_Tab);
    ASSERT_TRUE(link->hasFocus());
    EXPECT_NE(link->grab().toImage(), without);
}

TEST(TRTWebLink, AnEmptyTargetFailsWithoutAMessage) {
    test::UrlRecorder recorder;
    TRTWebLink link;
    QTest::mouseClick(&link, Qt::LeftButton);
    EXPECT_TRUE(recorder.opened.isEmpty());
}

TEST(TVersionLabel, AProgramWithoutAVersionBlockHasNoData) {
    TVersionLabel label; // this test program carries no version block
    EXPECT_EQ(label.text(), "File Version: < No Data Available >");
    EXPECT_EQ(label.VersionResourceKey(), "FileVersion");
    EXPECT_EQ(label.LangCharset(), "-1");
    EXPECT_FALSE(label.wordWrap());
}

TEST(TVersionLabel, ReadsTheBlockFromTheExecutableOnDisk) {
    const VersionedExecutable program(kBlock);
    ASSERT_TRUE(program.Ok()) << "objcopy failed";
    TVersionLabel label;
    label.SetFileName(program.Path());
    EXPECT_EQ(label.text(), "File Version: 1.2.3.4");
    // The first translation replaces "-1" for good: language first, then code page.
    EXPECT_EQ(label.LangCharset(), "040904E4");

    label.SetVersionResource(vrProductName);
    EXPECT_EQ(label.InfoPrefix(), "Product Name:");
    EXPECT_EQ(label.text(), "Product Name: Vexil");
    label.SetShowInfoPrefix(false);
    EXPECT_EQ(label.text(), "Vexil");
    label.SetShowInfoPrefix(true);

    label.SetVersionResource(vrComments);
    EXPECT_EQ(label.text(), "Comments: < No Version Info >");
    label.SetVersionResource(vrCompanyName);
    EXPECT_EQ(label.text(), "Company Name: < Error retrieving version info >");

    // A key of its own becomes the prefix too, until the prefix is set again.
    label.SetVersionResourceKey("Motto");
    EXPECT_EQ(label.text(), "Motto Pictures, please");
    label.SetInfoPrefix("Says:");
    EXPECT_EQ(label.text(), "Says: Pictures, please");

    label.SetVersionResource(vrFlags);
    EXPECT_EQ(label.text(), "Flags: ");
    label.SetLangCharset("04070000");
    label.SetVersionResource(vrFileVersion);
    EXPECT_EQ(label.text(), "File Version: < Error retrieving version info >");
}

TEST(TVersionLabel, FlagsAreListedByName) {
    const VersionedExecutable program("VEXIL-VERSION 1\nFileFlags=0x29\nTranslation=0409 04E4\n");
    ASSERT_TRUE(program.Ok());
    TVersionLabel label;
    label.SetFileName(program.Path());
    label.SetVersionResource(vrFlags);
    EXPECT_EQ(label.text(), "Flags: Debug Build, Private Build, Special Build");
}

TEST(TVersionLabel, EveryFailureShowsItsBracketedText) {
    const VersionedExecutable noTranslation("VEXIL-VERSION 1\n"
                                            "StringFileInfo\\040904E4\\FileVersion=1\n");
    const VersionedExecutable broken("VEXIL-VERSION 7\nFileVersion=1\n");
    ASSERT_TRUE(noTranslation.Ok() && broken.Ok());
    TVersionLabel label;
    label.SetFileName(noTranslation.Path());
    EXPECT_EQ(label.text(), "File Version: < Error retrieving translation info >");
    label.SetVersionResource(vrFlags);
    EXPECT_EQ(label.text(), "Flags: < Error retrieving version info >");
    label.SetFileName(broken.Path());
    EXPECT_EQ(label.text(), "Flags: < Error retrieving version info >");
    label.SetFileName("/nonexistent/program");
    EXPECT_EQ(label.text(), "Flags: < No Data Available >");
}
