#include "message/AttachmentFile.h"
#include "platform/Exception.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <unistd.h>

using namespace vexil;
using vexil::test::ReadFile;
using vexil::test::WriteFile;
namespace fs = std::filesystem;

namespace {

class SaveUnderFreeNameTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() / ("vexil-free-" + std::to_string(getpid()));
        fs::remove_all(root_);
        folder_ = root_ / "TEMP";
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(root_); }

    std::string Folder() const { return folder_.string(); }
    std::optional<std::string> Save(const std::string &name, const std::string &bytes) {
        return SaveUnderFreeName(Folder(), name, bytes);
    }
    std::string At(const std::string &name) const { return (folder_ / name).string(); }
    // Every entry below root_, so that nothing written elsewhere (or left over) goes unseen.
    std::vector<std::string> Entries() const {
        std::vector<std::string> out;
        for (const auto &e : fs::recursive_directory_iterator(root_))
            out.push_back(e.path().lexically_relative(root_).string());
        std::sort(out.begin(), out.end());
        return out;
    }

    fs::path root_;
    fs::path folder_;
};

} // namespace

TEST(UsableFileName, KeepsTheNamePartAndReplacesWhatCannotBeUsed) {
    EXPECT_EQ(UsableFileName("C:\\pics\\a.jpg", 0), "a.jpg");
    EXPECT_EQ(UsableFileName("../../etc/passwd", 0), "passwd");
    EXPECT_EQ(UsableFileName("my picture.jpg", 0), "my picture.jpg");
    // Control characters (a terminal's escape among them) become '_'.
    EXPECT_EQ(UsableFileName("a\x01 b\x1b[2J\x7f.jpg", 0), "a_ b_[2J_.jpg");
    EXPECT_EQ(UsableFileName("tab\tand\nline.gif", 0), "tab_and_line.gif");
    // Names that would be the folder itself, or its parent, or are cut by a NUL.
    EXPECT_EQ(UsableFileName("", 3), "att.3");
    EXPECT_EQ(UsableFileName("dir/", 3), "att.3");
    EXPECT_EQ(UsableFileName("..", 3), "att.3");
    EXPECT_EQ(UsableFileName("a\\..", 4), "att.4");
    EXPECT_EQ(UsableFileName("x:.", 5), "att.5");
    // A picture stays a picture; an extension that is no plain one is dropped.
    EXPECT_EQ(UsableFileName(std::string("a\0b.jpg", 7), 6), "att.6.jpg");
    EXPECT_EQ(UsableFileName(std::string("a.j\0g", 5), 6), "att.6");
    EXPECT_EQ(UsableFileName(std::string(300, 'x') + ".jpg", 0).size(), 255u);
}

TEST(NumberedFileName, NumbersTheStemAndStaysWithinTheNameLimit) {
    EXPECT_EQ(NumberedFileName("name.jpg", 2), "name (2).jpg");
    EXPECT_EQ(NumberedFileName("a.b.gif", 13), "a.b (13).gif");
    EXPECT_EQ(NumberedFileName("noext", 3), "noext (3)");
    const std::string longName = std::string(251, 'x') + ".jpg";
    const std::string numbered = NumberedFileName(longName, 2);
    EXPECT_EQ(numbered.size(), 255u);
    EXPECT_EQ(numbered.substr(numbered.size() - 8), " (2).jpg");
}

TEST_F(SaveUnderFreeNameTest, ATakenNameGivesTheNextFreeOneAndEqualBytesAreNotWrittenAgain) {
    EXPECT_EQ(Save("a.jpg", "one"), At("a.jpg"));
    EXPECT_EQ(Save("a.jpg", "two"), At("a (2).jpg"));
    EXPECT_EQ(Save("a.jpg", "three"), At("a (3).jpg"));
    // The same bytes again, whichever of the names holds them: nothing is written.
    EXPECT_EQ(Save("a.jpg", "one"), std::nullopt);
    EXPECT_EQ(Save("a.jpg", "two"), std::nullopt);
    EXPECT_EQ(Save("a.jpg", "three"), std::nullopt);
    // Same length, other bytes: still another picture.
    EXPECT_EQ(Save("a.jpg", "owt"), At("a (4).jpg"));
    EXPECT_EQ(ReadFile(At("a.jpg")), "one");
    EXPECT_EQ(ReadFile(At("a (2).jpg")), "two");
    EXPECT_EQ(ReadFile(At("a (3).jpg")), "three");
    EXPECT_EQ(ReadFile(At("a (4).jpg")), "owt");
    EXPECT_EQ(Save("empty.gif", ""), At("empty.gif"));
    EXPECT_EQ(Save("empty.gif", ""), std::nullopt);
    EXPECT_EQ(Entries(),
              (std::vector<std::string>{"TEMP", "TEMP/a (2).jpg", "TEMP/a (3).jpg",
                                        "TEMP/a (4).jpg", "TEMP/a.jpg", "TEMP/empty.gif"}));
}

TEST_F(SaveUnderFreeNameTest, AFolderOrALinkUnderTheNameIsLeftAloneAndNeverFollowed) {
    fs::create_directory(folder_ / "d.jpg");
    EXPECT_EQ(Save("d.jpg", "pic"), At("d (2).jpg"));
    // A link to a file outside with the very same bytes is neither taken as the picture nor
    // written through.
    WriteFile(root_ / "outside.jpg", "pic");
    fs::create_symlink(root_ / "outside.jpg", folder_ / "l.jpg");
    EXPECT_EQ(Save("l.jpg", "pic"), At("l (2).jpg"));
    fs::create_symlink(root_ / "nowhere.jpg", folder_ / "n.jpg");
    EXPECT_EQ(Save("n.jpg", "new"), At("n (2).jpg"));
    EXPECT_FALSE(fs::exists(root_ / "nowhere.jpg"));
    EXPECT_EQ(ReadFile(root_ / "outside.jpg"), "pic");
    EXPECT_EQ(Entries(), (std::vector<std::string>{"TEMP", "TEMP/d (2).jpg", "TEMP/d.jpg",
                                                   "TEMP/l (2).jpg", "TEMP/l.jpg", "TEMP/n (2).jpg",
                                                   "TEMP/n.jpg", "outside.jpg"}));
}

TEST_F(SaveUnderFreeNameTest, AFolderThatCannotTakeTheFileFailsAndLeavesNothing) {
    EXPECT_THROW(SaveUnderFreeName((root_ / "missing").string(), "a.jpg", "x"), EFCreateError);
    fs::permissions(folder_, fs::perms::owner_read | fs::perms::owner_exec);
    if (::geteuid() != 0) { // root writes anyway
        EXPECT_THROW(Save("a.jpg", "x"), EFCreateError);
    }
    fs::permissions(folder_, fs::perms::owner_all);
    EXPECT_THROW(Save(std::string(300, 'y'), "x"), EFCreateError);
    EXPECT_EQ(Entries(), std::vector<std::string>{"TEMP"});
}
