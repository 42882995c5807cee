// Joining posts in several parts, without a server: the parts are article texts as a news
// server hands them out.
#include "browse/TPartJoiner.h"
#include "browse/SubjectPartCounter.h"
#include "message/Crc32.h"
#include "message/TmsArticle.h"
#include "message/UUCode.h"
#include "message/YEncEncoder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace vexil {
namespace {

namespace fs = std::filesystem;

std::string Hex(std::uint32_t value) {
    char text[9];
    std::snprintf(text, sizeof text, "%08x", value);
    return text;
}

std::string Picture(std::size_t size) {
    std::string bytes = "GIF89a";
    for (std::size_t i = bytes.size(); i < size; ++i)
        bytes += static_cast<char>((i * 131 + 7) % 256);
    return bytes;
}

std::string Article(const std::string &subject, const std::string &body) {
    return "From: poster@example.com\r\nNewsgroups: alt.binaries.test\r\nSubject: " + subject +
           "\r\nMessage-ID: <" + std::to_string(std::hash<std::string>{}(body)) + "@x>\r\n\r\n" +
           body;
}

// The articles of a yEnc post of bytes in parts of partSize, the whole file's CRC given as
// fileCrc.
std::vector<std::string> YEncPost(const std::string &name, const std::string &bytes,
                                  std::size_t partSize, std::uint32_t fileCrc) {
    const std::size_t total = (bytes.size() + partSize - 1) / partSize;
    std::vector<std::string> articles;
    for (std::size_t n = 1; n <= total; ++n) {
        const std::size_t begin = (n - 1) * partSize;
        const std::string part = bytes.substr(begin, partSize);
        const std::string body =
            "=ybegin part=" + std::to_string(n) + " total=" + std::to_string(total) +
            " line=128 size=" + std::to_string(bytes.size()) + " name=" + name + "\r\n" +
            "=ypart begin=" + std::to_string(begin + 1) +
            " end=" + std::to_string(begin + part.size()) + "\r\n" + YEncEncode(part) +
            "=yend size=" + std::to_string(part.size()) + " part=" + std::to_string(n) +
            " pcrc32=" + Hex(Crc32(part)) + " crc32=" + Hex(fileCrc) + "\r\n";
        articles.push_back(Article("\"" + name + "\" yEnc (" + std::to_string(n) + "/" +
                                       std::to_string(total) + ")",
                                   body));
    }
    return articles;
}

class TPartJoinerTest : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() /
               ("vexil-join-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        folder = (root / "pictures").string();
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(root); }

    // Hands article n (1-based) of a post to a joiner of the picture folder.
    TPartJoiner::TResult Add(TPartJoiner &joiner, const std::string &source, std::int32_t number,
                             const std::string &poster = "poster@example.com") {
        const std::string subject =
            source.substr(source.find("Subject: ") + 9,
                          source.find("\r\nMessage-ID") - source.find("Subject: ") - 9);
        const auto part = TPartJoiner::Recognise(subject, source);
        EXPECT_TRUE(part.has_value()) << subject;
        return joiner.Add(*part, poster, number, source, joined);
    }

    std::vector<fs::path> FilesUnder(const fs::path &path) const {
        std::vector<fs::path> files;
        for (const auto &entry : fs::recursive_directory_iterator(path))
            if (entry.is_regular_file())
                files.push_back(entry.path());
        return files;
    }

    fs::path root;
    std::string folder;
    TmsArticle joined;
};

TEST(SubjectPartCounterTest, FindsTheLastCounterInEitherBracket) {
    auto part = ParseSubjectPart("holiday \"a (b).jpg\" yEnc (02/10)");
    ASSERT_TRUE(part);
    EXPECT_EQ(part->Number, 2u);
    EXPECT_EQ(part->Total, 10u);
    EXPECT_EQ(part->Stem, "holiday \"a (b).jpg\" yEnc ");

    part = ParseSubjectPart("[3/5] - \"x.jpg\" yEnc (1/2) tail");
    ASSERT_TRUE(part);
    EXPECT_EQ(part->Number, 1u);
    EXPECT_EQ(part->Stem, "[3/5] - \"x.jpg\" yEnc  tail");

    part = ParseSubjectPart("x [7/9]");
    ASSERT_TRUE(part);
    EXPECT_EQ(part->Number, 7u);
    EXPECT_EQ(part->Total, 9u);
}

TEST(SubjectPartCounterTest, RefusesWhatIsNoCounter) {
    for (const char *subject : {"plain subject", "x (0/3)", "x (4/3)", "x (1/3]", "x (/3)",
                                "x (1/)", "x (1234567/9999999)", "x (1 /3)", "(", "[1/"})
        EXPECT_FALSE(ParseSubjectPart(subject)) << subject;
}

TEST_F(TPartJoinerTest, RecognisesPartsAndLeavesSingleArticlesAlone) {
    EXPECT_FALSE(TPartJoiner::Recognise("pic.jpg", Article("pic.jpg", "body\r\n")));
    EXPECT_FALSE(TPartJoiner::Recognise("pic.jpg (1/1)", Article("pic.jpg (1/1)", "b\r\n")));
    // The yEnc header says which part it is, whatever the subject says.
    const auto post = YEncPost("p.gif", Picture(300), 100, Crc32(Picture(300)));
    const auto part = TPartJoiner::Recognise("p.gif (9/9)", post[1]);
    ASSERT_TRUE(part);
    EXPECT_EQ(part->Number, 2u);
    EXPECT_EQ(part->Total, 3u);
    EXPECT_EQ(part->Stem, "p.gif ");
}

// The same articles as yEnc 1.2 posters write them: part= without total=.
std::vector<std::string> WithoutTotal(std::vector<std::string> articles) {
    for (std::string &article : articles) {
        const std::size_t at = article.find(" total=");
        article.erase(at, article.find(' ', at + 1) - at);
    }
    return articles;
}

TEST_F(TPartJoinerTest, APartWithoutTotalTakesItFromTheSubjectCounterOfTheSamePart) {
    const std::string bytes = Picture(700);
    const auto post = WithoutTotal(YEncPost("old.gif", bytes, 300, Crc32(bytes)));
    ASSERT_EQ(post[1].find("total="), std::string::npos);
    const auto part = TPartJoiner::Recognise("\"old.gif\" yEnc (2/3)", post[1]);
    ASSERT_TRUE(part);
    EXPECT_EQ(part->Number, 2u);
    EXPECT_EQ(part->Total, 3u);
    // No counter, or one that counts something else (the files of a set): the total is
    // unknown, and the article stands alone rather than wait for parts that never come.
    EXPECT_FALSE(TPartJoiner::Recognise("\"old.gif\" yEnc", post[1]));
    EXPECT_FALSE(TPartJoiner::Recognise("[1/5] - \"old.gif\" yEnc", post[1]));
    EXPECT_FALSE(TPartJoiner::Recognise("\"old.gif\" yEnc (2/1)", post[1]));

    TPartJoiner joiner(folder);
    EXPECT_EQ(Add(joiner, post[2], 3), TPartJoiner::TResult::KeptAside);
    EXPECT_EQ(Add(joiner, post[0], 1), TPartJoiner::TResult::KeptAside);
    EXPECT_EQ(Add(joiner, post[1], 2), TPartJoiner::TResult::Joined);
    ASSERT_EQ(joined.Attachments().Count(), 1);
    EXPECT_EQ(joined.Attachments().Items(0).Data.Bytes(), bytes);
    EXPECT_EQ(joined.Attachments().Items(0).Fault, YEncProblem::None);
}

TEST_F(TPartJoinerTest, JoinsYEncPartsArrivingInAnyOrder) {
    const std::string bytes = Picture(1000);
    const auto post = YEncPost("pic.gif", bytes, 300, Crc32(bytes));
    ASSERT_EQ(post.size(), 4u);
    TPartJoiner joiner(folder);
    EXPECT_EQ(Add(joiner, post[3], 14), TPartJoiner::TResult::KeptAside);
    EXPECT_EQ(Add(joiner, post[0], 11), TPartJoiner::TResult::KeptAside);
    EXPECT_EQ(Add(joiner, post[2], 13), TPartJoiner::TResult::KeptAside);
    EXPECT_EQ(Add(joiner, post[1], 12), TPartJoiner::TResult::Joined);
    ASSERT_EQ(joined.Attachments().Count(), 1);
    EXPECT_EQ(joined.Attachments().Items(0).FileName(), "pic.gif");
    EXPECT_EQ(joined.Attachments().Items(0).Data.Bytes(), bytes);
    EXPECT_EQ(joined.Attachments().Items(0).Fault, YEncProblem::None);
    // Nothing of the post is left aside.
    EXPECT_FALSE(fs::exists(fs::path(folder) / TPartJoiner::PartsFolderName));
}

TEST_F(TPartJoinerTest, KeepsAnIncompletePostForALaterRun) {
    const std::string bytes = Picture(500);
    const auto post = YEncPost("later.gif", bytes, 200, Crc32(bytes));
    {
        TPartJoiner first(folder);
        EXPECT_EQ(Add(first, post[0], 21), TPartJoiner::TResult::KeptAside);
        EXPECT_EQ(Add(first, post[2], 23), TPartJoiner::TResult::KeptAside);
    }
    // Kept under the hidden folder only, with what is known of the post.
    const auto files = FilesUnder(folder);
    for (const auto &file : files)
        EXPECT_EQ(fs::relative(file, folder).begin()->string(), TPartJoiner::PartsFolderName);
    std::ifstream info(
        fs::path(TPartJoiner(folder).PostFolder(
            *TPartJoiner::Recognise("\"later.gif\" yEnc (1/3)", post[0]), "poster@example.com")) /
        "info");
    std::stringstream text;
    text << info.rdbuf();
    EXPECT_NE(text.str().find("Total: 3"), std::string::npos) << text.str();
    EXPECT_NE(text.str().find("article 21"), std::string::npos);
    EXPECT_NE(text.str().find("article 23"), std::string::npos);

    TPartJoiner later(folder);
    EXPECT_EQ(Add(later, post[1], 40), TPartJoiner::TResult::Joined);
    ASSERT_EQ(joined.Attachments().Count(), 1);
    EXPECT_EQ(joined.Attachments().Items(0).Data.Bytes(), bytes);
}

TEST_F(TPartJoinerTest, TheSamePartTwiceKeepsTheFirstCopy) {
    const std::string bytes = Picture(400);
    const auto post = YEncPost("twice.gif", bytes, 200, Crc32(bytes));
    auto other = YEncPost("twice.gif", Picture(401).substr(1), 200, Crc32(bytes));
    TPartJoiner joiner(folder);
    EXPECT_EQ(Add(joiner, post[0], 1), TPartJoiner::TResult::KeptAside);
    EXPECT_EQ(Add(joiner, other[0], 2), TPartJoiner::TResult::KeptAside);
    EXPECT_EQ(Add(joiner, post[1], 3), TPartJoiner::TResult::Joined);
    EXPECT_EQ(joined.Attachments().Items(0).Data.Bytes(), bytes);
    EXPECT_EQ(joined.Attachments().Items(0).Fault, YEncProblem::None);
}

TEST_F(TPartJoinerTest, ATotalThatChangesMakesNoFile) {
    const std::string bytes = Picture(600);
    const auto inTwo = YEncPost("t.gif", bytes, 300, Crc32(bytes));
    const auto inThree = YEncPost("t.gif", bytes, 200, Crc32(bytes));
    TPartJoiner joiner(folder);
    EXPECT_EQ(Add(joiner, inTwo[0], 1), TPartJoiner::TResult::KeptAside);
    EXPECT_EQ(Add(joiner, inThree[1], 2), TPartJoiner::TResult::KeptAside);
    EXPECT_EQ(Add(joiner, inThree[2], 3), TPartJoiner::TResult::KeptAside);
    EXPECT_EQ(joined.Attachments().Count(), 0);
}

TEST_F(TPartJoinerTest, WrongWholeFileCrcIsReportedOnTheJoinedFile) {
    const std::string bytes = Picture(700);
    const auto post = YEncPost("bad.gif", bytes, 300, Crc32(bytes) ^ 1);
    TPartJoiner joiner(folder);
    Add(joiner, post[2], 3);
    Add(joiner, post[1], 2);
    EXPECT_EQ(Add(joiner, post[0], 1), TPartJoiner::TResult::Joined);
    ASSERT_EQ(joined.Attachments().Count(), 1);
    EXPECT_EQ(joined.Attachments().Items(0).Data.Bytes(), bytes); // kept all the same
    EXPECT_EQ(joined.Attachments().Items(0).Fault, YEncProblem::CrcError);
}

TEST_F(TPartJoinerTest, HostileNamesStayOutOfTheFileSystem) {
    const std::string bytes = Picture(300);
    const auto post = YEncPost("../../../evil.gif", bytes, 200, Crc32(bytes));
    TPartJoiner joiner(folder);
    EXPECT_EQ(Add(joiner, post[0], 1, "../../x\n/../y"), TPartJoiner::TResult::KeptAside);
    for (const auto &file : FilesUnder(root))
        EXPECT_EQ(file.parent_path().parent_path().parent_path(), fs::path(folder)) << file;
    EXPECT_EQ(Add(joiner, post[1], 2, "../../x\n/../y"), TPartJoiner::TResult::Joined);
    EXPECT_EQ(joined.Attachments().Items(0).Data.Bytes(), bytes);
    EXPECT_TRUE(FilesUnder(root).empty());
}

TEST_F(TPartJoinerTest, JoinsAUuencodedPostInThreeParts) {
    const std::string bytes = Picture(45 * 30 + 17);
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < bytes.size(); at += 45)
        lines.push_back(UUEncodeBlock(bytes.substr(at, 45)) + "\r\n");
    std::string bodies[3];
    bodies[0] = "begin 644 three.gif\r\n";
    for (std::size_t i = 0; i < lines.size(); ++i)
        bodies[i * 3 / lines.size()] += lines[i];
    bodies[2] += "`\r\nend\r\n";
    TPartJoiner joiner(folder);
    EXPECT_EQ(Add(joiner, Article("three.gif [2/3]", bodies[1]), 2),
              TPartJoiner::TResult::KeptAside);
    EXPECT_EQ(Add(joiner, Article("three.gif [3/3]", bodies[2]), 3),
              TPartJoiner::TResult::KeptAside);
    EXPECT_EQ(Add(joiner, Article("three.gif [1/3]", bodies[0]), 1), TPartJoiner::TResult::Joined);
    ASSERT_EQ(joined.Attachments().Count(), 1);
    EXPECT_EQ(joined.Attachments().Items(0).FileName(), "three.gif");
    EXPECT_EQ(joined.Attachments().Items(0).Data.Bytes(), bytes);
}

// Kept-aside posts older than the age bound, or beyond the size bound, go; the newest stay.
TEST_F(TPartJoinerTest, RemovesPostsKeptAsideTooLongOrBeyondTheSizeBound) {
    const auto now = fs::file_time_type::clock::now();
    TPartJoiner joiner(folder);
    // Sets every file of the post that article belongs to as written age ago.
    const auto keepAside = [&](const std::string &name, std::size_t size, std::chrono::hours age) {
        const auto post = YEncPost(name, Picture(size), size / 2 + 1, 0);
        EXPECT_EQ(Add(joiner, post[0], 1), TPartJoiner::TResult::KeptAside);
        const auto subject = "\"" + name + "\" yEnc (1/2)";
        const fs::path postFolder =
            joiner.PostFolder(*TPartJoiner::Recognise(subject, post[0]), "poster@example.com");
        for (const auto &file : fs::directory_iterator(postFolder))
            fs::last_write_time(file.path(), now - age);
        return postFolder;
    };
    const fs::path fresh = keepAside("fresh.gif", 3000, std::chrono::hours(1));
    const fs::path week = keepAside("week.gif", 3000, std::chrono::hours(7 * 24));
    const fs::path old =
        keepAside("old.gif", 100, TPartJoiner::MaxKeptAsideAge + std::chrono::hours(1));

    // A post folder that a run cut short left empty.
    const fs::path empty = fs::path(folder) / TPartJoiner::PartsFolderName / "0123456789abcdef";
    fs::create_directories(empty);

    EXPECT_EQ(joiner.RemoveStale(now), 2);
    EXPECT_FALSE(fs::exists(empty));
    EXPECT_TRUE(fs::exists(fresh));
    EXPECT_TRUE(fs::exists(week));
    EXPECT_FALSE(fs::exists(old));

    // Room for one of the two only: the older goes, though young enough.
    EXPECT_EQ(joiner.RemoveStale(now, 3000), 1);
    EXPECT_TRUE(fs::exists(fresh));
    EXPECT_FALSE(fs::exists(week));

    // A week later nothing is left, not even the hidden folder.
    EXPECT_EQ(joiner.RemoveStale(now + std::chrono::hours(14 * 24)), 1);
    EXPECT_FALSE(fs::exists(fs::path(folder) / TPartJoiner::PartsFolderName));
    EXPECT_EQ(joiner.RemoveStale(now), 0);
}

} // namespace
} // namespace vexil
