// vexil-nntp fetch --join, run as a user runs it, on a group of the fixture's news server
// that holds the posts of today's picture groups (tests/net/make_yenc_group.py): yEnc by
// peer encoders in one part and in parts out of order, a wrong CRC, lines the server
// dot-stuffs, a post with a part missing, a uuencoded post in parts, a hostile yEnc name.
#include "YEncGroup.h"
#include "InnServer.h"

#include "tests/support/TestFiles.h"
#include "tests/support/ToolRun.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace vexil::test;

YEncGroup *group = nullptr;

class YEncGroupTest : public ::testing::TestWithParam<std::string> {
protected:
    static void SetUpTestSuite() {
        const std::string pid = std::to_string(::getpid());
        group = new YEncGroup(PostYEncGroup(
            "alt.binaries.yenc.t" + pid, fs::temp_directory_path() / ("vexil-yenc-group-" + pid)));
    }
    static void TearDownTestSuite() {
        delete group;
        group = nullptr;
    }

    InnServer inn;
    ToolRun tool{"vexil-nntp"};
};

TEST_P(YEncGroupTest, FetchWithJoinWritesExactlyTheCompletePictures) {
    ASSERT_EQ(group->pictures.size(), 6u);
    const fs::path out = tool.Dir() / "out";
    // A post kept aside by a run long ago, whose other parts never came.
    const fs::path stale = out / ".parts" / "00000000deadbeef";
    fs::create_directories(stale);
    WriteFile(stale / "part.1", "From: x\r\n\r\nold part\r\n");
    fs::last_write_time(stale / "part.1",
                        fs::file_time_type::clock::now() - std::chrono::hours(24 * 30));

    const ToolResult r = tool.Run("--server " + inn.Address() + " fetch " + group->name +
                                  " --join --min-lines 10 " + GetParam() + " -o out");
    ASSERT_EQ(r.status, 0) << r.err;

    // The wrong CRC is told by the file's name, and only that one.
    std::vector<std::string> faults;
    for (const std::string &line : LinesOf(r.out))
        if (line.find("CRC error") != std::string::npos)
            faults.push_back(line);
    EXPECT_EQ(faults, std::vector<std::string>{"CRC error in badcrc.jpg"}) << r.out;

    // Exactly the complete pictures, byte for byte; the hostile name's under a name of the
    // folder's own.
    std::map<std::string, std::string> written;
    for (const auto &entry : fs::directory_iterator(out))
        if (entry.is_regular_file())
            written[entry.path().filename().string()] = ReadFile(entry.path());
    EXPECT_EQ(written.size(), group->pictures.size()) << r.out;
    for (const auto &[name, picture] : group->pictures) {
        const std::string &bytes = picture.bytes;
        if (name == "hostile.jpg") {
            std::size_t copies = 0;
            for (const auto &[savedName, savedBytes] : written)
                copies += savedBytes == bytes;
            EXPECT_EQ(copies, 1u);
        } else {
            ASSERT_EQ(written.count(name), 1u) << name << "\n" << r.out;
            EXPECT_TRUE(written[name] == bytes) << name;
        }
    }
    EXPECT_EQ(written.count("missing.jpg"), 0u);

    // Nothing outside the folder; inside it, besides the pictures, only the incomplete post,
    // kept aside, and not the stale one.
    for (const auto &entry : fs::recursive_directory_iterator(tool.Dir())) {
        if (entry.is_regular_file() && entry.path().filename() != "stderr.txt") {
            EXPECT_EQ(fs::relative(entry.path(), tool.Dir()).begin()->string(), "out")
                << entry.path();
        }
    }
    EXPECT_FALSE(fs::exists(tool.Dir().parent_path() / "escape.jpg"));
    EXPECT_FALSE(fs::exists(stale));
    std::vector<fs::path> kept;
    for (const auto &entry : fs::directory_iterator(out / ".parts"))
        kept.push_back(entry.path());
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_TRUE(fs::exists(kept[0] / "part.1"));
    EXPECT_TRUE(fs::exists(kept[0] / "part.3"));
    EXPECT_FALSE(fs::exists(kept[0] / "part.2"));
}

INSTANTIATE_TEST_SUITE_P(Walks, YEncGroupTest, ::testing::Values("", "--overview --pipeline 8"),
                         [](const ::testing::TestParamInfo<std::string> &info) {
                             return info.param.empty() ? std::string("HeaderByHeader")
                                                       : std::string("OverviewPipelined");
                         });

} // namespace
