// Go with "join pictures posted in several parts" on, against a group of the fixture's news
// server that holds a yEnc post in parts out of order, a uuencoded post in three parts and a
// post with a part missing, which a later post completes.
#include "browse/TBrowseCore.h"
#include "browse/TPartJoiner.h"
#include "message/Crc32.h"
#include "message/TmsArticle.h"
#include "message/UUCode.h"
#include "message/YEncEncoder.h"
#include "net/TmsNNTP.h"
#include "platform/TRegistry.h"

#include "tests/browse/CoreRun.h"
#include "tests/net/InnServer.h"
#include "tests/support/TempHome.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

namespace vexil {
namespace {

namespace fs = std::filesystem;
using test::InnServer;

std::string Hex(std::uint32_t value) {
    char text[9];
    std::snprintf(text, sizeof text, "%08x", value);
    return text;
}

std::string Picture(std::size_t size, int seed) {
    std::string bytes = "GIF89a";
    for (std::size_t i = bytes.size(); i < size; ++i)
        bytes += static_cast<char>((i * 131 + seed) % 256);
    return bytes;
}

class TBrowseJoinTest : public ::testing::Test {
protected:
    void SetUp() override {
        group = "alt.binaries.join.t" + std::to_string(::getpid());
        inn.AddGroup(group);
    }

    void Post(const std::string &subject, const std::string &body) {
        const fs::path file =
            fs::temp_directory_path() /
            ("vexil-join-" + std::to_string(::getpid()) + "-" + std::to_string(++posted) + ".txt");
        test::WriteFile(file, "From: poster@example.com\r\nNewsgroups: " + group + "\r\nSubject: " +
                                  subject + "\r\nMessage-ID: <join" + std::to_string(posted) + "." +
                                  group + "@example.invalid>\r\nLines: 200\r\n\r\n" + body);
        inn.Post(file.string());
        fs::remove(file);
    }

    // The bodies of a yEnc post of bytes in parts of partSize.
    static std::vector<std::string> YEncParts(const std::string &name, const std::string &bytes,
                                              std::size_t partSize, std::uint32_t fileCrc) {
        const std::size_t total = (bytes.size() + partSize - 1) / partSize;
        std::vector<std::string> bodies;
        for (std::size_t n = 1; n <= total; ++n) {
            const std::size_t begin = (n - 1) * partSize;
            const std::string part = bytes.substr(begin, partSize);
            bodies.push_back(
                "=ybegin part=" + std::to_string(n) + " total=" + std::to_string(total) +
                " line=128 size=" + std::to_string(bytes.size()) + " name=" + name +
                "\r\n=ypart begin=" + std::to_string(begin + 1) +
                " end=" + std::to_string(begin + part.size()) + "\r\n" + YEncEncode(part) +
                "=yend size=" + std::to_string(part.size()) + " part=" + std::to_string(n) +
                " pcrc32=" + Hex(Crc32(part)) + " crc32=" + Hex(fileCrc) + "\r\n");
        }
        return bodies;
    }

    std::vector<std::string> Go(std::vector<std::string> *faults = nullptr) {
        test::CoreRun go(inn.Address(), folder, store);
        TmsNNTP &nntp = go.nntp;
        TBrowseCore &core = go.core;
        core.Settings.MinLines = 10;
        core.Settings.JoinParts = true;
        std::vector<std::string> pictures;
        core.OnPictureStored = [&](TObject *, const std::string &path) {
            pictures.push_back(fs::path(path).filename().string());
        };
        core.OnFileFault = [&](TObject *, const std::string &text) {
            if (faults)
                faults->push_back(text);
        };
        nntp.SetNewsGroup(group);
        core.Walk();
        nntp.Disconnect();
        return pictures;
    }

    std::set<std::string> FilesInFolder() const {
        std::set<std::string> names;
        for (const auto &entry : fs::directory_iterator(folder))
            if (entry.is_regular_file())
                names.insert(entry.path().filename().string());
        return names;
    }

    test::TempHome home;
    TRegistry store;
    InnServer inn;
    std::string group;
    int posted = 0;
    const std::string folder = home.Home() + "pictures/";
};

TEST_F(TBrowseJoinTest, JoinsCompletePostsAndKeepsTheIncompleteOneAsideUntilALaterGo) {
    const std::string yenc = Picture(5000, 1);
    const auto yencParts = YEncParts("outoforder.gif", yenc, 2000, Crc32(yenc));
    Post("\"outoforder.gif\" yEnc (3/3)", yencParts[2]);
    Post("\"outoforder.gif\" yEnc (1/3)", yencParts[0]);

    const std::string uu = Picture(45 * 12, 2);
    std::string uuBodies[3] = {"begin 644 uu.gif\r\n", "", ""};
    for (std::size_t i = 0; i < 12; ++i)
        uuBodies[i / 4] += UUEncodeBlock(uu.substr(i * 45, 45)) + "\r\n";
    uuBodies[2] += "`\r\nend\r\n";
    Post("uu.gif [1/3]", uuBodies[0]);
    Post("uu.gif [2/3]", uuBodies[1]);
    Post("uu.gif [3/3]", uuBodies[2]);

    const std::string bad = Picture(3000, 3);
    const auto badParts = YEncParts("bad.gif", bad, 2000, Crc32(bad) ^ 0x10);
    Post("\"bad.gif\" yEnc (2/2)", badParts[1]);
    Post("\"bad.gif\" yEnc (1/2)", badParts[0]);

    const std::string later = Picture(4000, 4);
    const auto laterParts = YEncParts("later.gif", later, 2000, Crc32(later));
    Post("\"later.gif\" yEnc (1/2)", laterParts[0]);
    Post("\"outoforder.gif\" yEnc (2/3)", yencParts[1]);

    std::vector<std::string> faults;
    const auto first = Go(&faults);
    EXPECT_EQ(std::set<std::string>(first.begin(), first.end()),
              (std::set<std::string>{"outoforder.gif", "uu.gif", "bad.gif"}));
    EXPECT_EQ(first.size(), 3u);
    EXPECT_EQ(FilesInFolder(), (std::set<std::string>{"outoforder.gif", "uu.gif", "bad.gif"}));
    EXPECT_EQ(test::ReadFile(folder + "outoforder.gif"), yenc);
    EXPECT_EQ(test::ReadFile(folder + "uu.gif"), uu);
    EXPECT_EQ(test::ReadFile(folder + "bad.gif"), bad);
    EXPECT_EQ(faults, std::vector<std::string>{"CRC error in bad.gif"});
    EXPECT_TRUE(fs::exists(fs::path(folder) / TPartJoiner::PartsFolderName));

    Post("\"later.gif\" yEnc (2/2)", laterParts[1]);
    EXPECT_EQ(Go(), std::vector<std::string>{"later.gif"});
    EXPECT_EQ(test::ReadFile(folder + "later.gif"), later);
    EXPECT_FALSE(fs::exists(fs::path(folder) / TPartJoiner::PartsFolderName));
}

} // namespace
} // namespace vexil
