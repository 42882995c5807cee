// The demo as a user meets it on two days: its news server started and Go pressed; two new
// articles posted; the server stopped and started again, Go pressed once more. And a demo
// first posted without photographs, started again once they are there.
#include "app/TPictureViewer.h"
#include "app/TfrmMain.h"

#include "tests/support/ModalCatcher.h"
#include "tests/support/QtTestHelpers.h"
#include "tests/support/TempHome.h"
#include "tests/support/TestFiles.h"

#include <QComboBox>
#include <QImage>
#include <QRandomGenerator>
#include <QToolButton>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

namespace vexil {
namespace {

const std::string kSource = std::getenv("VEXIL_SOURCE_DIR");
const std::string kBuild = std::getenv("VEXIL_BINARY_DIR");
const char *const kGroup = "alt.binaries.pictures.demo";

// Runs a shell command; its output without the last line end, or a failed test.
std::string Shell(const std::string &command) {
    std::string out;
    FILE *pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr)
        throw std::runtime_error("cannot run " + command);
    char chunk[4096];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;)
        out.append(chunk, n);
    const int status = ::pclose(pipe);
    if (status != 0)
        throw std::runtime_error(command + " failed (" + std::to_string(status) + "): " + out);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
        out.pop_back();
    return out;
}

class DemoRestartTest : public ::testing::Test {
protected:
    ~DemoRestartTest() override {
        form.reset();
        try {
            Shell(Demo("remove"));
        } catch (const std::exception &e) {
            ADD_FAILURE() << e.what();
        }
    }

    // The demo's groups are generated rather than cut from the photographs: what is tested
    // is the server's restart, and cutting the photographs takes a good part of a start's time.
    std::string Demo(const std::string &action) const {
        std::string command = "VEXIL_DEMO_PHOTOS='" + (home.Root() / "no-photos").string() +
                              "' bash " + kSource + "/tools/demo-server.sh " + action + " " +
                              home.Root().string();
        // start prints the address; the port it keeps is what the test compares.
        return action == "start"
                   ? command + " " + kBuild + " >/dev/null && cat " + home.Root().string() + "/port"
                   : command;
    }

    // Opens the window on the demo's settings, presses Go on the demo group and counts the
    // articles fetched.
    int OpenAndGo() {
        form = std::make_unique<TfrmMain>();
        fetched = 0;
        QObject::connect(form.get(), &TfrmMain::StatusTextChanged, form.get(),
                         [this](int panel, const QString &text) {
                             if (panel == TfrmMain::spStatus && text == "Article retrieved")
                                 ++fetched;
                         });
        form->show();
        test::RunEventLoop();
        const int listed = int(form->Pictures->PictureList.size());
        form->NGEdit->setCurrentIndex(form->NGEdit->findText(kGroup));
        test::ModalCatcher boxes;
        form->btnGo->click();
        EXPECT_EQ(boxes.Count(), 0) << boxes.Texts().join("\n").toStdString();
        return listed;
    }

    // Starts the demo with its photographs taken from Photos; what it said.
    std::string StartWithPhotos(const std::filesystem::path &Photos) const {
        return Shell("VEXIL_DEMO_PHOTOS='" + Photos.string() + "' bash " + kSource +
                     "/tools/demo-server.sh start " + home.Root().string() + " " + kBuild +
                     " 2>&1 >/dev/null");
    }

    std::string Picture(const std::string &Name) const {
        std::ifstream in(home.Root() / "home" / "TEMP" / Name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    const test::QtMessagePump pump;
    test::TempHome home;
    std::unique_ptr<TfrmMain> form;
    int fetched = 0;
};

TEST_F(DemoRestartTest, ASecondStartKeepsThePortSoGoFetchesOnlyWhatIsNew) {
    const std::string port = Shell(Demo("start"));
    ASSERT_FALSE(port.empty());
    OpenAndGo();
    const std::size_t first = form->Pictures->PictureList.size();
    ASSERT_GT(fetched, 0);
    ASSERT_GT(first, 0u);
    form.reset();

    // Two new picture articles, then the server ends as it does with the demo.
    const std::string root = home.Root().string();
    Shell("/usr/bin/python3 " + kSource + "/tools/make-articles.py " + root + "/extra --group " +
          kGroup + " --seed 99 --prefix vexil-demo-extra pictures:2:30 >/dev/null");
    Shell("bash " + kSource + "/tools/inn/post-article \"$(cat " + root + "/inn-dir)/server\" " +
          root + "/extra/[0-9]*.txt >/dev/null");
    Shell(Demo("stop"));

    EXPECT_EQ(Shell(Demo("start")), port);
    EXPECT_EQ(OpenAndGo(), int(first)) << "the pictures of the first day are listed at start";
    EXPECT_EQ(fetched, 2);
    EXPECT_EQ(form->Pictures->PictureList.size(), first + 2);
}

// Noisy photographs, so that the pictures cut from them need the room the sets ask for.
void MakePhotographs(const std::filesystem::path &Folder) {
    QRandomGenerator random(7);
    for (const char *name : {"one.jpg", "two.jpg"}) {
        QImage photo(640, 400, QImage::Format_RGB32);
        for (int y = 0; y < photo.height(); ++y)
            for (int x = 0; x < photo.width(); ++x)
                photo.setPixel(x, y, random.generate() | 0xff000000u);
        ASSERT_TRUE(photo.save(QString::fromStdString((Folder / name).string()), "JPG", 95));
    }
}

TEST_F(DemoRestartTest, ADemoOfGeneratedPicturesStartsAnewOnceThereArePhotographs) {
    const std::filesystem::path photos = home.Root() / "photos";
    std::filesystem::create_directories(photos);
    std::string said = StartWithPhotos(photos);
    EXPECT_NE(said.find("no photographs in " + photos.string()), std::string::npos) << said;
    OpenAndGo();
    const std::size_t pictures = form->Pictures->PictureList.size();
    const int articles = fetched;
    ASSERT_GT(pictures, 0u);
    const std::string generated = Picture("bulk00000.jpg");
    ASSERT_FALSE(generated.empty());
    form.reset();

    MakePhotographs(photos);
    said = StartWithPhotos(photos);
    EXPECT_NE(said.find("it starts anew, as with --fresh"), std::string::npos) << said;
    EXPECT_EQ(said.find("no photographs"), std::string::npos) << said;
    EXPECT_EQ(OpenAndGo(), 0) << "the generated pictures are gone";
    EXPECT_EQ(fetched, articles);
    EXPECT_EQ(form->Pictures->PictureList.size(), pictures);
    const std::string photo = Picture("bulk00000.jpg");
    EXPECT_NE(photo, generated);
    std::ifstream posted(home.Root() / "articles" / kGroup / "originals" / "bulk00000.jpg",
                         std::ios::binary);
    EXPECT_EQ(photo, std::string(std::istreambuf_iterator<char>(posted), {}));
    form.reset();

    // Started again as it is, the demo keeps its groups and its pictures.
    said = StartWithPhotos(photos);
    EXPECT_EQ(said, "") << said;
    EXPECT_EQ(OpenAndGo(), int(pictures));
    EXPECT_EQ(fetched, 0);
}

} // namespace
} // namespace vexil
