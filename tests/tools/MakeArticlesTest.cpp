// tools/make-articles.py as a user first meets it: its help, a wrong set, a Python without
// Pillow. Each failure names the script and the reason and leaves no folder behind. Then its
// pictures cut from a folder of photographs (--photos), as the demo posts them.
#include "tests/support/ToolRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

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

// Two photographs, a reddish JPEG and a bluish PNG with detail enough to need some room, and a
// text file that is no photograph.
const char *const kMakePhotos = R"(
import random, sys
from PIL import Image, ImageFilter
rng = random.Random(5)
def photo(tint):
    noise = Image.frombytes("RGB", (960, 600), rng.randbytes(960 * 600 * 3))
    return Image.blend(Image.new("RGB", (960, 600), tint), noise.filter(ImageFilter.BLUR), 0.35)
photo((220, 40, 30)).save(sys.argv[1] + "/red.jpg", quality=95)
photo((30, 40, 220)).save(sys.argv[1] + "/blue.PNG")
open(sys.argv[1] + "/notes.txt", "w").write("not a photograph\n")
)";

// One line per file of a folder: name, bytes, the format Pillow finds, and which tint it has.
const char *const kDescribe = R"(
import os, sys
from PIL import Image, ImageStat
for name in sorted(os.listdir(sys.argv[1])):
    path = os.path.join(sys.argv[1], name)
    with Image.open(path) as img:
        r, g, b = ImageStat.Stat(img.convert("RGB")).mean
        print(name, os.path.getsize(path), img.format, "red" if r > b else "blue")
)";

struct Picture {
    std::string name, format, tint;
    long bytes = 0;
};

class MakeArticlesPhotosTest : public MakeArticlesTest {
protected:
    MakeArticlesPhotosTest() {
        fs::create_directories(photos_);
        Python(kMakePhotos, photos_);
    }

    std::string Python(const char *program, const fs::path &folder) {
        const fs::path script = python_.Dir() / "helper.py";
        std::ofstream(script) << program;
        const ToolResult r = python_.Run("'" + script.string() + "' '" + folder.string() + "'");
        EXPECT_EQ(r.status, 0) << r.err;
        return r.out;
    }

    std::vector<Picture> Originals(const fs::path &out) {
        std::vector<Picture> pictures;
        std::istringstream lines(Python(kDescribe, out / "originals"));
        for (Picture p; lines >> p.name >> p.bytes >> p.format >> p.tint;)
            pictures.push_back(p);
        return pictures;
    }

    static std::string Bytes(const fs::path &file) {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    const fs::path photos_ = python_.Dir() / "photos";
};

TEST_F(MakeArticlesPhotosTest, PicturesAreCutFromThePhotographsAtTheSizeTheSetAsks) {
    const ToolResult r = Run("out --seed 3 --photos photos pictures:6:30 sample");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::map<std::string, std::string> formats{
        {".jpg", "JPEG"}, {".png", "PNG"}, {".gif", "GIF"}};
    std::map<std::string, int> tints;
    const std::vector<Picture> pictures = Originals(out_);
    ASSERT_EQ(pictures.size(), 6u + 6u); // the sample set carries six pictures
    for (const Picture &p : pictures) {
        EXPECT_EQ(p.format, formats.at(fs::path(p.name).extension().string())) << p.name;
        ++tints[p.tint];
    }
    // Every photograph is used once before any comes again.
    EXPECT_EQ(tints["red"], 6);
    EXPECT_EQ(tints["blue"], 6);
    // No picture smaller than its set asks, so that its article passes the line limits the
    // set is made for.
    const std::map<std::string, long> kilobytes{{"bulk", 30},  {"sunset", 12}, {"meadow", 8},
                                                {"banner", 4}, {"pair", 6},    {"series", 30}};
    for (const Picture &p : pictures) {
        const auto kb = std::find_if(kilobytes.begin(), kilobytes.end(),
                                     [&](const auto &k) { return p.name.starts_with(k.first); });
        ASSERT_NE(kb, kilobytes.end()) << p.name;
        EXPECT_GE(p.bytes, kb->second * 1024) << p.name;
        EXPECT_LT(p.bytes, kb->second * 1024 * 5 / 4) << p.name;
    }
}

TEST_F(MakeArticlesPhotosTest, TheSeedDecidesThePictures) {
    ASSERT_EQ(Run("out --seed 3 --photos photos pictures:3:20").status, 0);
    ASSERT_EQ(Run("again --seed 3 --photos photos pictures:3:20").status, 0);
    ASSERT_EQ(Run("other --seed 4 --photos photos pictures:3:20").status, 0);
    const fs::path dir = python_.Dir();
    for (const char *name : {"bulk00000.jpg", "bulk00001.jpg", "bulk00002.jpg"}) {
        const std::string first = Bytes(out_ / "originals" / name);
        EXPECT_FALSE(first.empty()) << name;
        EXPECT_EQ(first, Bytes(dir / "again" / "originals" / name)) << name;
        EXPECT_NE(first, Bytes(dir / "other" / "originals" / name)) << name;
    }
    // The articles carry the same pictures as the originals.
    EXPECT_EQ(Bytes(out_ / "0001-uu.txt"), Bytes(dir / "again" / "0001-uu.txt"));
}

TEST_F(MakeArticlesPhotosTest, AFolderWithoutPhotographsIsNamed) {
    ToolResult r = Run("out --photos nowhere text:1");
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(r.err, "make-articles.py: --photos nowhere: No such file or directory\n");
    fs::remove(photos_ / "red.jpg");
    fs::remove(photos_ / "blue.PNG");
    r = Run("out --photos photos text:1");
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(r.err, "make-articles.py: --photos photos: no JPEG or PNG files there\n");
    EXPECT_FALSE(fs::exists(out_));

    std::ofstream(photos_ / "broken.jpg") << "not a JPEG at all";
    r = Run("out --photos photos pictures:1");
    EXPECT_NE(r.status, 0);
    EXPECT_TRUE(r.err.starts_with("make-articles.py: --photos: cannot read photos/broken.jpg: "))
        << r.err;
}

} // namespace
