#include "app/ProgramFolder.h"
#include "app/HelpLinks.h"
#include "app/TfrmMain.h"
#include "tests/support/ModalCatcher.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempHome.h"

#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

using namespace vexil;
namespace fs = std::filesystem;

using test::ScopedEnv;

TEST(ProgramFolder, ABuildTreeKeepsItsFilesBesideTheProgramAndReadsTheManualFromTheSources) {
    test::TempHome temp;
    ScopedEnv noHome("VEXIL_HOME", nullptr);
    const std::string bin = (temp.Root() / "build" / "app").string();
    fs::create_directories(bin);
    std::ofstream(bin + "/" + kBuildTreeMarker) << "/src/vexil\n";

    EXPECT_EQ(ProgramFolderOf(bin), bin + "/");
    EXPECT_EQ(ProgramFolderOf(bin + "/"), bin + "/");
    EXPECT_EQ(ManualFolderOf(bin), "/src/vexil/doc/manual/");

    // VEXIL_HOME chooses another folder for the files, not another manual.
    ScopedEnv other("VEXIL_HOME", "/elsewhere");
    EXPECT_EQ(ProgramFolderOf(bin), "/elsewhere/");
    EXPECT_EQ(ManualFolderOf(bin), "/src/vexil/doc/manual/");
}

TEST(ProgramFolder, AnInstalledProgramKeepsItsFilesInTheUsersDataFolder) {
    test::TempHome temp;
    ScopedEnv noHome("VEXIL_HOME", nullptr);
    ScopedEnv home("HOME", "/home/someone");
    const std::string bin = (temp.Root() / "usr" / "bin").string();
    fs::create_directories(bin);
    // An empty marker is no build tree: a truncated file must not put pictures under /usr.
    std::ofstream(bin + "/" + kBuildTreeMarker).flush();

    {
        ScopedEnv xdg("XDG_DATA_HOME", nullptr);
        EXPECT_EQ(ProgramFolderOf(bin), "/home/someone/.local/share/vexil/");
    }
    {
        ScopedEnv xdg("XDG_DATA_HOME", "/data/someone");
        EXPECT_EQ(ProgramFolderOf(bin), "/data/someone/vexil/");
    }
    {
        // Relative paths are not valid there and are ignored.
        ScopedEnv xdg("XDG_DATA_HOME", "data");
        EXPECT_EQ(ProgramFolderOf(bin), "/home/someone/.local/share/vexil/");
    }
    EXPECT_EQ(ManualFolderOf(bin),
              (temp.Root() / "usr" / "share" / "doc" / "vexil").string() + "/");
}

TEST(ProgramFolder, TheHelpLinksLeadToTheManualOfTheSourceTree) {
    // This test program is built with a marker beside it, as the program is.
    for (const std::string &page : {HomePageAddress(), OnlineHelpAddress()}) {
        EXPECT_TRUE(fs::is_regular_file(page)) << page;
        EXPECT_EQ(fs::path(page).parent_path(),
                  fs::path(std::getenv("VEXIL_SOURCE_DIR")) / "doc" / "manual");
    }
}

TEST(ProgramFolder, APictureFolderThatCannotBeMadeIsSaidOnceAndTheProgramRunsOn) {
    test::TempHome home;
    // Even root cannot make a folder inside a file.
    const std::string blocker = (home.Root() / "a-file").string();
    std::ofstream(blocker) << "in the way\n";
    ScopedEnv inside("VEXIL_HOME", (blocker + "/vexil").c_str());

    test::ModalCatcher catcher;
    TfrmMain form;
    form.show();
    ASSERT_TRUE(QTest::qWaitFor([&catcher] { return catcher.Count() > 0; }, 5000));
    QTest::qWait(200);
    ASSERT_EQ(catcher.Count(), 1);
    EXPECT_TRUE(catcher.Texts().first().startsWith(
        "Cannot create the picture folder " + QString::fromStdString(blocker) + "/vexil/TEMP/"))
        << catcher.Texts().first().toStdString();
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(form.btnGo->isEnabled());
}

TEST(ProgramFolder, AHomeWhereNothingCanBeMadeGivesTheOneMessageAndTheProgramRunsOn) {
    test::TempHome home;
    // Neither the picture folder nor the settings store can be made there.
    const std::string blocker = (home.Root() / "a-file").string();
    std::ofstream(blocker) << "in the way\n";
    ScopedEnv inside("VEXIL_HOME", (blocker + "/vexil").c_str());
    ScopedEnv settings("VEXIL_REGISTRY", (blocker + "/config/registry.sqlite3").c_str());

    test::ModalCatcher catcher;
    {
        TfrmMain form;
        form.show();
        ASSERT_TRUE(QTest::qWaitFor([&catcher] { return catcher.Count() > 0; }, 5000));
        QTest::qWait(200);
        ASSERT_EQ(catcher.Count(), 1) << catcher.Texts().join("\n").toStdString();
        EXPECT_TRUE(catcher.Texts().first().startsWith("Cannot create the picture folder " +
                                                       QString::fromStdString(blocker)))
            << catcher.Texts().first().toStdString();
        EXPECT_TRUE(form.btnGo->isEnabled());
    }
}
