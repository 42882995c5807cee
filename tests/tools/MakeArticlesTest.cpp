// tools/make-articles.py as a user first meets it: its help, a wrong set, a Python without
// Pillow. Each failure names the script and the reason and leaves no folder behind.
#include "tests/support/ToolRun.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;
using vexil::test::ToolResult;
using vexil::test::ToolRun;

class MakeArticlesTest : public ::testing::Test {
protected:
    ToolResult Run(const std::string &arguments, const std::string &pythonFlags = "") {
        return python_.Run(pythonFlags + " '" + script_ + "' " + arguments);
    }

    ToolRun python_{"make-articles", "/usr/bin/python3"};
    const std::string script_ =
        std::string(std::getenv("VEXIL_SOURCE_DIR")) + "/tools/make-articles.py";
    const fs::path out_ = python_.Dir() / "out";
};

TEST_F(MakeArticlesTest, HelpListsTheArticleSets) {
    const ToolResult r = Run("--help");
    EXPECT_EQ(r.status, 0) << r.err;
    for (const char *set : {"sample", "pictures:N[:KB]", "text:N", "yenc:N[:KB]",
                            "yparts:N[:KB[:PARTS]]", "posts.nzb", "/usr/bin/python3"})
        EXPECT_NE(r.out.find(set), std::string::npos) << set;
}

TEST_F(MakeArticlesTest, FailuresNameTheReasonAndCreateNothing) {
    ToolResult r = Run("out sample bogus");
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(r.err, "make-articles.py: unknown set 'bogus' (sets: sample, pictures:N[:KB], "
                     "text:N, originals:N[:MIN:MAX], yenc:N[:KB], yparts:N[:KB[:PARTS]])\n");
    r = Run("out pictures:ten");
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(
        r.err,
        "make-articles.py: set 'pictures:ten': expected pictures:N[:KB] with whole numbers\n");
    r = Run("out yparts:2:100:0");
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(r.err, "make-articles.py: set 'yparts:2:100:0': expected yparts:N[:KB[:PARTS]] "
                     "with whole numbers, PARTS at least 1\n");
    r = Run("out yenc:2:100:3");
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(r.err, "make-articles.py: set 'yenc:2:100:3': expected yenc:N[:KB] with whole "
                     "numbers\n");
    // -S leaves out the folders Pillow lives in, as a Python without it would.
    r = Run("out text:1", "-S");
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("make-articles.py: needs Pillow (PIL)"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Debian's /usr/bin/python3"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(out_));

    r = Run("out text:2");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(out_ / "0002-text.txt"));
}

} // namespace
