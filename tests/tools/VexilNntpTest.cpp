// vexil-nntp against the private news servers of the test fixture.
#include "../net/InnServer.h"

#include "message/Crc32.h"
#include "message/YEncEncoder.h"
#include "tests/browse/CommaLinesGroup.h"
#include "tests/support/TestFiles.h"
#include "tests/support/ToolRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <random>
#include <set>

namespace {

namespace fs = std::filesystem;
using namespace vexil::test;

class VexilNntpTest : public ::testing::Test {
protected:
    ToolResult Run(const std::string &arguments) { return tool_.Run(arguments); }

    // Writes the articles into the scratch folder as <stem>0.txt, <stem>1.txt ... and posts
    // them in that order to group, made first on the fixture's open server.
    void PostToNewGroup(const std::string &group, const std::vector<std::string> &articles,
                        const std::string &stem) {
        std::string files;
        for (std::size_t i = 0; i < articles.size(); ++i) {
            const fs::path file = dir_ / (stem + std::to_string(i) + ".txt");
            WriteFile(file, articles[i]);
            files += " " + file.string();
        }
        inn.AddGroup(group);
        inn.Post(files.substr(1));
    }

    InnServer inn;
    ToolRun tool_{"vexil-nntp"};
    const fs::path &dir_ = tool_.Dir();
};

TEST_F(VexilNntpTest, ListPrintsTheGroups) {
    const ToolResult r = Run("--server " + inn.Address() + " list");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string expected = std::string(InnServer::PictureGroup) + " " +
                                 std::to_string(inn.Articles(InnServer::PictureGroup).size()) +
                                 " 1 y";
    EXPECT_NE(r.out.find(expected + "\n"), std::string::npos) << r.out;
}

TEST_F(VexilNntpTest, WalkFromAndCount) {
    const auto posted = inn.Articles(InnServer::PictureGroup);
    const ToolResult r = Run("--server " + inn.Address() + " walk " + InnServer::PictureGroup +
                             " --from 3 --count 2");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(LinesOf(r.out),
              (std::vector<std::string>{
                  "3\t" + std::to_string(posted[2].lines) + "\t" + posted[2].subject,
                  "4\t" + std::to_string(posted[3].lines) + "\t" + posted[3].subject}));
}

TEST_F(VexilNntpTest, FetchSavesThePicturesBetweenTheLimits) {
    const ToolResult r = Run("--server " + inn.Address() + " fetch " + InnServer::PictureGroup +
                             " --min-lines 150 -o out");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(LinesOf(r.out).front(), "Opening connection");
    EXPECT_NE(r.out.find("\nLast available header retrieved\n"), std::string::npos);
    int files = 0;
    for (const auto &a : inn.Articles(InnServer::PictureGroup)) {
        const bool fetched = a.lines > 150 && a.kind != "part";
        for (const std::string &name : a.attachments) {
            // As in the window, a PNG is no picture and does not stay.
            const bool wanted = fetched && fs::path(name).extension() != ".png";
            EXPECT_EQ(fs::exists(dir_ / "out" / name), wanted) << name;
            if (wanted) {
                ++files;
                EXPECT_EQ(ReadFile(dir_ / "out" / name),
                          inn.Original(InnServer::PictureGroup, name));
            }
        }
    }
    EXPECT_GT(files, 5);
}

TEST_F(VexilNntpTest, TheOverviewGivesTheSameWalkAndTheSamePictures) {
    const std::string server = "--server " + inn.Address() + " ";
    const std::string group = InnServer::PictureGroup;
    for (const std::string range : {"", " --from 3 --count 2"}) {
        const ToolResult usual = Run(server + "walk " + group + range);
        const ToolResult fast = Run(server + "walk " + group + range + " --overview");
        ASSERT_EQ(fast.status, 0) << fast.err;
        EXPECT_FALSE(usual.out.empty());
        EXPECT_EQ(fast.out, usual.out) << range;
    }
    const ToolResult usual = Run(server + "fetch " + group + " -o usual");
    const ToolResult fast =
        Run(server + "--log log fetch " + group + " --overview --pipeline 3 -o fast");
    ASSERT_EQ(fast.status, 0) << fast.err;
    EXPECT_NE(ReadFile(dir_ / "log").find("OVER 1-"), std::string::npos);
    std::set<std::string> usualFiles;
    for (const auto &entry : fs::directory_iterator(dir_ / "usual"))
        usualFiles.insert(entry.path().filename().string());
    ASSERT_FALSE(usualFiles.empty());
    for (const std::string &name : usualFiles)
        EXPECT_EQ(ReadFile(dir_ / "fast" / name), ReadFile(dir_ / "usual" / name)) << name;
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "fast"), fs::directory_iterator()),
              static_cast<std::ptrdiff_t>(usualFiles.size()));
}

TEST_F(VexilNntpTest, FetchReadsALinesHeaderWithAThousandsCommaAsTheWindowDoes) {
    const CommaLinesGroup group = PostCommaLinesArticle("alt.test.lines-comma.tool");
    const ToolResult r = Run("--server " + inn.Address() + " fetch " + group.Group + " -o out");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\nSaved " + group.PictureName + "\n"), std::string::npos) << r.out;
    EXPECT_EQ(ReadFile(dir_ / "out" / group.PictureName), group.Picture);
}

TEST_F(VexilNntpTest, FetchKeepsOnlyPicturesAndNeverOverwritesAFile) {
    // A picture of that name is already there, with other bytes: it stays, and the fetched
    // one takes a free name. The PNG, no picture type of the browser's, does not stay.
    const auto posted = inn.Articles(InnServer::PictureGroup);
    fs::create_directories(dir_ / "out");
    WriteFile(dir_ / "out" / posted[0].attachments[0], "mine");
    const ToolResult r = Run("--server " + inn.Address() + " fetch " + InnServer::PictureGroup +
                             " --count 2 -o out");
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(posted[1].attachments.size(), 1u);
    ASSERT_EQ(fs::path(posted[1].attachments[0]).extension(), ".png");
    EXPECT_FALSE(fs::exists(dir_ / "out" / posted[1].attachments[0]));
    EXPECT_EQ(ReadFile(dir_ / "out" / posted[0].attachments[0]), "mine");
    const fs::path stem = fs::path(posted[0].attachments[0]).stem();
    const fs::path renamed = dir_ / "out" / (stem.string() + " (2).jpg");
    EXPECT_EQ(ReadFile(renamed), inn.Original(InnServer::PictureGroup, posted[0].attachments[0]));
}

// A yEnc picture article for the group, with a wrong crc32= when crc is given.
std::string YEncArticle(const std::string &group, const std::string &id, const std::string &name,
                        const std::string &bytes, const std::string &crc = "") {
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08x", vexil::Crc32(bytes));
    const std::string size = std::to_string(bytes.size());
    const std::string body = "=ybegin line=128 size=" + size + " name=" + name + "\r\n" +
                             vexil::YEncEncode(bytes) + "=yend size=" + size +
                             " crc32=" + (crc.empty() ? std::string(hex) : crc) + "\r\n";
    std::size_t lines = 0;
    for (const char c : body)
        lines += c == '\n';
    return "From: poster@example.invalid\r\nNewsgroups: " + group + "\r\nSubject: " + name +
           " yEnc (1/1)\r\nMessage-ID: <" + id +
           "@example.invalid>\r\nLines: " + std::to_string(lines) + "\r\n\r\n" + body;
}

// Bytes that do not compress, the same on every run for the same generator.
std::string RandomBytes(std::mt19937 &rng, std::size_t size) {
    std::string bytes(size, '\0');
    for (auto &b : bytes)
        b = static_cast<char>(rng());
    return bytes;
}

TEST_F(VexilNntpTest, FetchReportsAYEncCrcErrorByNameAndKeepsTheFile) {
    const std::string group = "alt.test.yenc.tool";
    std::mt19937 rng(15);
    std::string good = RandomBytes(rng, 40000);
    const std::string bad = RandomBytes(rng, 30000), hostile = RandomBytes(rng, 20000);
    // Bytes that encode to "." at line starts: the server doubles those dots.
    for (std::size_t i = 0; i < good.size(); i += 128)
        good[i] = '\x04';
    const std::vector<std::string> articles{
        YEncArticle(group, "yenc-good", "good.jpg", good),
        YEncArticle(group, "yenc-bad", "bad.jpg", bad, "0badc0de"),
        YEncArticle(group, "yenc-hostile", "../../escape.jpg", hostile)};
    PostToNewGroup(group, articles, "article");

    fs::create_directories(dir_ / "deep" / "er");
    const ToolResult r =
        Run("--server " + inn.Address() + " fetch " + group + " --min-lines 0 -o deep/er/out");
    ASSERT_EQ(r.status, 0) << r.err;
    const auto lines = LinesOf(r.out);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "CRC error in bad.jpg"), lines.end()) << r.out;
    EXPECT_EQ(r.out.find("CRC error in good.jpg"), std::string::npos) << r.out;
    EXPECT_EQ(ReadFile(dir_ / "deep" / "er" / "out" / "good.jpg"), good);
    EXPECT_EQ(ReadFile(dir_ / "deep" / "er" / "out" / "bad.jpg"), bad);
    // The hostile name stays in the folder, under a usable name.
    EXPECT_FALSE(fs::exists(dir_ / "deep" / "escape.jpg"));
    EXPECT_FALSE(fs::exists(dir_ / "escape.jpg"));
    std::size_t pictures = 0;
    for (const auto &entry : fs::directory_iterator(dir_ / "deep" / "er" / "out"))
        pictures += ReadFile(entry.path()) == hostile;
    EXPECT_EQ(pictures, 1u);
}

// Part n of 2 of a yEnc post of bytes, split in the middle.
std::string YEncHalf(const std::string &group, const std::string &id, const std::string &name,
                     const std::string &bytes, int n) {
    const std::size_t half = bytes.size() / 2;
    const std::string part = n == 1 ? bytes.substr(0, half) : bytes.substr(half);
    char pcrc[9], crc[9];
    std::snprintf(pcrc, sizeof pcrc, "%08x", vexil::Crc32(part));
    std::snprintf(crc, sizeof crc, "%08x", vexil::Crc32(bytes));
    const std::string begin = std::to_string(n == 1 ? 1 : half + 1);
    const std::string end = std::to_string(n == 1 ? half : bytes.size());
    const std::string body =
        "=ybegin part=" + std::to_string(n) +
        " total=2 line=128 size=" + std::to_string(bytes.size()) + " name=" + name +
        "\r\n=ypart begin=" + begin + " end=" + end + "\r\n" + vexil::YEncEncode(part) +
        "=yend size=" + std::to_string(part.size()) + " part=" + std::to_string(n) +
        " pcrc32=" + pcrc + " crc32=" + crc + "\r\n";
    return "From: poster@example.invalid\r\nNewsgroups: " + group + "\r\nSubject: " + name +
           " yEnc (" + std::to_string(n) + "/2)\r\nMessage-ID: <" + id +
           "@example.invalid>\r\nLines: 300\r\n\r\n" + body;
}

TEST_F(VexilNntpTest, FetchWithJoinWritesTheCompletePostsOnly) {
    const std::string group = "alt.test.join.tool";
    std::mt19937 rng(3);
    const std::string whole = RandomBytes(rng, 50000), alone = RandomBytes(rng, 30000);
    const std::vector<std::string> articles{YEncHalf(group, "join-2", "whole.jpg", whole, 2),
                                            YEncHalf(group, "join-alone", "alone.jpg", alone, 1),
                                            YEncHalf(group, "join-1", "whole.jpg", whole, 1)};
    PostToNewGroup(group, articles, "join");

    const ToolResult r = Run("--server " + inn.Address() + " fetch " + group + " --join -o out");
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> names;
    for (const auto &entry : fs::directory_iterator(dir_ / "out"))
        if (entry.is_regular_file())
            names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"whole.jpg"});
    EXPECT_EQ(ReadFile(dir_ / "out" / "whole.jpg"), whole);
    // The lone half waits for its other half, out of the list.
    EXPECT_TRUE(fs::is_directory(dir_ / "out" / ".parts"));
}

TEST_F(VexilNntpTest, LoginAndLog) {
    const ToolResult r =
        Run("--server " + inn.AuthAddress() + " --user " + inn.User() + " --password " +
            inn.Password() + " --log session.log walk " + InnServer::TextGroup + " --count 1");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string log = ReadFile(dir_ / "session.log");
    EXPECT_NE(log.find("AUTHINFO USER " + inn.User() + "\r\n381 "), std::string::npos) << log;
    EXPECT_NE(log.find("AUTHINFO PASS ********\r\n281 "), std::string::npos) << log;
    EXPECT_EQ(log.find(inn.Password()), std::string::npos);
    EXPECT_EQ(fs::status(dir_ / "session.log").permissions(),
              fs::perms::owner_read | fs::perms::owner_write);
    // A link planted under the log's name is replaced, and what it pointed to kept.
    fs::remove(dir_ / "session.log");
    WriteFile(dir_ / "mine.txt", "keep me");
    fs::create_symlink(dir_ / "mine.txt", dir_ / "session.log");
    // The list of a server that wants a login, on a fresh connection.
    const ToolResult list = Run("--server " + inn.AuthAddress() + " --user " + inn.User() +
                                " --password " + inn.Password() + " --log session.log list");
    ASSERT_EQ(list.status, 0) << list.err;
    EXPECT_NE(list.out.find(std::string(InnServer::PictureGroup) + " "), std::string::npos);
    EXPECT_EQ(ReadFile(dir_ / "mine.txt"), "keep me");
    EXPECT_FALSE(fs::is_symlink(dir_ / "session.log"));
    EXPECT_EQ(ReadFile(dir_ / "session.log").rfind("200 ", 0), 0u);
}

TEST_F(VexilNntpTest, PortThatIsNoNumberFromOneTo65535IsRefused) {
    for (const std::string port : {"99999", "abc", "0", "65536"}) {
        const ToolResult r = Run("--server 127.0.0.1:" + port + " list");
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "vexil-nntp: The port of the news server \"127.0.0.1:" + port +
                             "\" must be a number from 1 to 65535.\n");
    }
}

TEST_F(VexilNntpTest, FailuresPrintTheMessage) {
    ToolResult r = Run("--server " + inn.AuthAddress() + " walk " + InnServer::TextGroup);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "vexil-nntp: 480 Authentication required for command\n");
    r = Run("--server no-such-host.invalid list");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "vexil-nntp: [11001] Host not found\n");
    r = Run("--server " + inn.Address() + " frobnicate");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err.rfind("vexil-nntp: unknown command \"frobnicate\"\n", 0), 0u) << r.err;
}

TEST_F(VexilNntpTest, SecureServersWithTheirCertificatesChecked) {
    const std::string ca = " --ca-file " + inn.CaFile();
    ToolResult r = Run("--server nntps://" + inn.TlsAddress() + ca + " walk " +
                       InnServer::PictureGroup + " --count 2");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(LinesOf(r.out).size(), 2u);
    r = Run("--server " + inn.AuthTlsAddress() + " --tls" + ca + " --user " + inn.User() +
            " --password " + inn.Password() + " walk " + InnServer::PictureGroup + " --count 1");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(LinesOf(r.out).size(), 1u);

    // Refused: the message names what was wrong and the fingerprint, which can then be
    // trusted for that one certificate.
    r = Run("--server nntps://" + inn.SelfSignedAddress() + ca + " list");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("is self-signed"), std::string::npos) << r.err;
    const std::size_t at = r.err.find("SHA-256 fingerprint: ");
    ASSERT_NE(at, std::string::npos) << r.err;
    const std::string fingerprint = r.err.substr(at + 21, 95);
    r = Run("--server nntps://" + inn.SelfSignedAddress() + " --trust-fingerprint " + fingerprint +
            " list");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(std::string(InnServer::PictureGroup) + " "), std::string::npos);
    r = Run("--server nntps://" + inn.ExpiredAddress() + ca + " --trust-fingerprint " +
            fingerprint + " list");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("has expired"), std::string::npos) << r.err;

    r = Run("--server nntps://" + inn.TlsAddress() + " --trust-fingerprint 12:34 list");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("is no SHA-256 fingerprint"), std::string::npos) << r.err;
    r = Run("--server nntps://" + inn.TlsAddress() + " --ca-file /no/such/ca.pem list");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("/no/such/ca.pem cannot be read"), std::string::npos) << r.err;
}

TEST_F(VexilNntpTest, CompressedFetchGivesTheSamePictures) {
    const std::string fetch = "--server " + inn.Address() + " --log log fetch " +
                              InnServer::PictureGroup + " --overview --pipeline 32 ";
    ASSERT_EQ(Run(fetch + "-o usual").status, 0);
    const ToolResult compressed = Run(fetch + "--compress -o compressed");
    ASSERT_EQ(compressed.status, 0) << compressed.err;
    EXPECT_NE(ReadFile(dir_ / "log").find("COMPRESS DEFLATE\r\n206 "), std::string::npos);
    std::set<std::string> names;
    for (const auto &entry : fs::directory_iterator(dir_ / "usual"))
        names.insert(entry.path().filename().string());
    ASSERT_FALSE(names.empty());
    for (const std::string &name : names)
        EXPECT_EQ(ReadFile(dir_ / "compressed" / name), ReadFile(dir_ / "usual" / name)) << name;
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "compressed"), fs::directory_iterator()),
              static_cast<std::ptrdiff_t>(names.size()));

    const ToolResult alone =
        Run("--server " + inn.Address() + " walk " + InnServer::PictureGroup + " --compress");
    EXPECT_EQ(alone.status, 2);
    EXPECT_NE(alone.err.find("--compress is used with --overview"), std::string::npos) << alone.err;
}

} // namespace
