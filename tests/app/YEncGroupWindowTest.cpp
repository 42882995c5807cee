// Go in the window with "Join pictures posted in several parts" on, against the group of
// today's posts that vexil-nntp fetches in tests/net/YEncGroupTest.cpp: the same pictures
// are listed and shown, the wrong CRC is told in the status bar, nothing partial is listed.
#include "tests/app/BrowseFixture.h"
#include "tests/net/YEncGroup.h"
#include "tests/support/ModalCatcher.h"
#include "tests/support/TestFiles.h"

#include "app/TPicOfPicBox.h"
#include "app/TPictureViewer.h"
#include "picture/TGifImage.h"
#include "platform/TRegistry.h"

#include <QComboBox>
#include <QToolButton>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <unistd.h>

namespace vexil {
namespace {

namespace fs = std::filesystem;

class YEncGroupWindowTest : public test::BrowseFixture {};

TEST_F(YEncGroupWindowTest, GoWithJoiningListsAndShowsTheCompletePictures) {
    const std::string pid = std::to_string(::getpid());
    const test::YEncGroup group =
        test::PostYEncGroup("alt.binaries.yenc.window.t" + pid,
                            fs::temp_directory_path() / ("vexil-yenc-window-" + pid));
    std::ofstream(home.Home() + "Vexil.Dat", std::ios::binary | std::ios::app)
        << group.name << "\r\n";
    {
        TRegistry store;
        store.SetRootKey(HKEY_LOCAL_MACHINE);
        store.OpenKey("\\Software\\Internet\\VX", true);
        store.WriteBool("JoinParts", true);
    }
    // A post kept aside by a Go long ago, whose other parts never came.
    const fs::path stale = fs::path(PictureFolder()) / ".parts" / "00000000deadbeef";
    fs::create_directories(stale);
    test::WriteFile(stale / "part.2", "From: x\r\n\r\nold part\r\n");
    fs::last_write_time(stale / "part.2",
                        fs::file_time_type::clock::now() - std::chrono::hours(24 * 20));
    Start(inn.Address(), true, 10);
    Choose(QString::fromStdString(group.name));
    test::ModalCatcher boxes;
    Go();
    EXPECT_EQ(boxes.Count(), 0) << boxes.Texts().join("\n").toStdString();
    EXPECT_TRUE(StatusTrail().contains("CRC error in badcrc.jpg"))
        << StatusTrail().join("\n").toStdString();

    // Listed: each complete picture once, byte for byte, and nothing else.
    const std::vector<std::string> &list = form->Pictures->PictureList;
    ASSERT_EQ(list.size(), group.pictures.size());
    std::set<std::string> listed;
    for (const std::string &path : list) {
        EXPECT_EQ(fs::path(path).parent_path(), fs::path(PictureFolder()).parent_path()) << path;
        listed.insert(fs::path(path).filename().string());
    }
    EXPECT_EQ(listed.size(), list.size());
    EXPECT_EQ(listed.count("missing.jpg"), 0u);
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_TRUE(fs::exists(fs::path(PictureFolder()) / ".parts")); // the incomplete post
    for (const auto &[name, picture] : group.pictures) {
        if (name != "hostile.jpg") {
            EXPECT_EQ(listed.count(name), 1u) << name;
        }
    }

    // The first one stored is shown at once; stepping through shows each at its own size.
    EXPECT_EQ(PanelTexts(TfrmMain::spFileName), QStringList{"single.jpg"});
    EXPECT_EQ(form->Pictures->CurIndex, 0);
    EXPECT_EQ(form->PicOfPic->currentText(), "1 of " + QString::number(list.size()));
    std::size_t shown = 0;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const std::string bytes = test::ReadFile(list[form->Pictures->CurIndex]);
        for (const auto &[name, picture] : group.pictures) {
            if (picture.bytes != bytes)
                continue;
            ++shown;
            EXPECT_EQ(form->Image1->Picture().Width(), picture.width) << name;
            EXPECT_EQ(form->Image1->Picture().Height(), picture.height) << name;
        }
        form->sbNext->click();
    }
    EXPECT_EQ(shown, group.pictures.size());
    EXPECT_EQ(boxes.Count(), 0) << boxes.Texts().join("\n").toStdString();
}

} // namespace
} // namespace vexil
