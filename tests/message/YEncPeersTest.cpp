// Articles made by yEnc encoders that nobody here wrote (Debian's python3-yenc and
// python3-sabyenc), single and in parts, in the form a news server hands them out, decode
// to the original files byte for byte with every kernel and through the article decoder; and a post
// made by hand carries the corner cases that those encoders do not produce.
#include "YEncTestSupport.h"

#include "message/Crc32.h"
#include "tests/support/TestFiles.h"
#include "tests/support/ToolRun.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <sstream>

#include <unistd.h>

using namespace vexil;
using namespace vexil::test;
namespace fs = std::filesystem;

namespace {

std::string RunAndRead(const std::string &command) {
    std::string out;
    FILE *pipe = popen(command.c_str(), "r");
    if (!pipe)
        return out;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        out.append(buffer, n);
    EXPECT_EQ(pclose(pipe), 0) << command;
    return out;
}

// Puts a file together from its decoded parts, checking each the way the joiner will.
struct Joined {
    std::string bytes;
    YEncProblem problem = YEncProblem::None;
    std::string name;
};

Joined Join(const std::vector<std::string> &articles, YEncKernel kernel) {
    Joined j;
    std::optional<TYEncFileCheck> check;
    for (const std::string &article : articles) {
        const auto p = ReadArticlePart(Framed(ServerForm(article)), kernel);
        EXPECT_TRUE(p);
        if (!p)
            continue;
        if (!check) {
            check.emplace(p->begin.size);
            j.bytes.assign(p->begin.size, '\0');
            j.name = p->begin.name;
        }
        if (p->end && p->end->crc32)
            check->SetFileCrc(*p->end->crc32);
        const YEncPartData data = PartData(*p);
        if (check->AddPart(data) == YEncProblem::SizeMismatch)
            continue;
        j.bytes.replace(data.range.begin - 1, p->data.bytes.size(), p->data.bytes);
    }
    j.problem = check ? check->Finish() : YEncProblem::SizeMismatch;
    return j;
}

class YEncPeersTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("vexil-yencpeers-" + std::to_string(getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path dir_;
};

} // namespace

TEST_F(YEncPeersTest, PeerEncodedArticlesDecodeToTheOriginals) {
    std::mt19937 rng(2026);
    std::vector<fs::path> originals;
    for (const std::size_t size : {1, 3, 1000, 250000}) {
        std::string bytes(size, '\0');
        for (auto &b : bytes)
            b = static_cast<char>(rng());
        // Bytes that encode to "." now and then, some of them at line starts.
        for (std::size_t i = 0; i < size; i += 127)
            bytes[i] = '\x04';
        originals.push_back(dir_ / ("random " + std::to_string(size) + ".bin"));
        WriteFile(originals.back(), bytes);
    }
    const char *sourceDir = std::getenv("VEXIL_SOURCE_DIR");
    ASSERT_NE(sourceDir, nullptr) << "VEXIL_SOURCE_DIR names the source tree";
    const fs::path picture = dir_ / "photo.jpg";
    std::string command =
        "/usr/bin/python3 " +
        ShellQuoted(fs::path(sourceDir) / "tests" / "message" / "make_yenc_articles.py") + " " +
        ShellQuoted(dir_) + " --picture " + ShellQuoted(picture);
    for (const auto &p : originals)
        command += " " + ShellQuoted(p);
    originals.push_back(picture);

    // Articles per original and encoder post, in the order listed.
    std::map<std::string, std::vector<std::string>> posts;
    std::istringstream listing(RunAndRead(command));
    for (std::string line; std::getline(listing, line);) {
        const auto tab = line.find('\t');
        ASSERT_NE(tab, std::string::npos) << line;
        const fs::path article = line.substr(0, tab);
        const std::string stem = article.stem().string();
        posts[stem + (article.extension() == ".single" ? " single" : " parts")].push_back(
            ReadFile(article));
    }
    ASSERT_EQ(posts.size(), originals.size() * 4);

    for (const auto &original : originals) {
        const std::string expected = ReadFile(original);
        for (const char *encoder : {"yenc-", "sabyenc-"}) {
            for (const char *form : {" single", " parts"}) {
                const std::string key = encoder + original.filename().string() + form;
                auto articles = posts.at(key);
                // The article decoder gives each article's file or part as an attachment.
                std::string pieces;
                for (const std::string &article : articles) {
                    const auto a = LoadArticle(ServerForm(article));
                    ASSERT_EQ(a->Attachments().Count(), 1) << key;
                    const TmsAttItem &item = a->Attachments().Items(0);
                    EXPECT_EQ(item.Fault, YEncProblem::None) << key;
                    EXPECT_EQ(item.FileName(), original.filename().string());
                    pieces += item.Data.Bytes();
                }
                EXPECT_TRUE(pieces == expected) << key;
                std::reverse(articles.begin(), articles.end()); // parts in any order
                for (const YEncKernel kernel : AvailableYEncKernels()) {
                    const Joined j = Join(articles, kernel);
                    EXPECT_EQ(j.problem, YEncProblem::None) << key << " " << KernelName(kernel);
                    EXPECT_EQ(j.name, original.filename().string());
                    EXPECT_TRUE(j.bytes == expected) << key << " " << KernelName(kernel);
                }
            }
        }
    }
}

namespace {

const char kHead[] = "From: hand@example.invalid\r\nSubject: hand made\r\n\r\n";

std::string HandPart(int part, std::uint64_t begin, std::string_view lines,
                     const std::string &end) {
    const std::string data = HandDecoded(lines);
    return std::string(kHead) + "=ybegin part=" + std::to_string(part) +
           " total=3 line=128 size=30 name=../../tmp/evil\x01name \"x\".jpg\r\n" +
           "=ypart begin=" + std::to_string(begin) +
           " end=" + std::to_string(begin + data.size() - 1) + "\r\n" + std::string(lines) + end;
}

std::string Hex(std::uint32_t crc) {
    char text[9];
    std::snprintf(text, sizeof text, "%08x", crc);
    return text;
}

} // namespace

TEST_F(YEncPeersTest, HandMadePostWithTheCornerCases) {
    // The first part: an escaped dot and a bare one (doubled by the server) at line starts, a
    // blank and a TAB at line ends. The second: an escape as the last byte of a line, "=yend"
    // without crc32. The third: the rest.
    const std::string lines1 = "=nabc\r\n.def \r\n..gh\t\r\n";
    const std::string lines2 = "ijk=\r\nJlm\r\n";
    const std::string lines3 = "nopqrstuvw\r\n";
    const std::string file = HandDecoded(lines1) + HandDecoded(lines2) + HandDecoded(lines3);
    ASSERT_EQ(file.size(), 30u);
    const std::string crc = Hex(Crc32(file));
    const auto trailer = [&](int n, const std::string &lines) {
        const std::string data = HandDecoded(lines);
        return "=yend size=" + std::to_string(data.size()) + " part=" + std::to_string(n) +
               " pcrc32=" + Hex(Crc32(data));
    };
    const std::vector<std::string> post{
        HandPart(2, 15, lines2, trailer(2, lines2) + "\r\n"),
        HandPart(3, 21, lines3, trailer(3, lines3) + " crc32=" + crc + "\r\n"),
        HandPart(1, 1, lines1, trailer(1, lines1) + " crc32=" + crc + "\r\n")};

    for (const YEncKernel kernel : AvailableYEncKernels()) {
        const Joined j = Join(post, kernel);
        EXPECT_EQ(j.problem, YEncProblem::None) << KernelName(kernel);
        EXPECT_EQ(j.bytes, file) << KernelName(kernel);
        EXPECT_EQ(j.name, "../../tmp/evil\x01name \"x\".jpg");
        EXPECT_EQ(j.bytes.substr(0, 1), "\x04");     // "=n": an escaped dot
        EXPECT_EQ(j.bytes[4], static_cast<char>(4)); // ".def": the server's dot undone
        EXPECT_EQ(j.bytes[8], static_cast<char>(' ' - 42));
        EXPECT_EQ(j.bytes[13], static_cast<char>('\t' - 42));
        EXPECT_EQ(j.bytes[17], static_cast<char>('J' - 106)); // the escape across the line end

        // A wrong file CRC; a part whose begin/end disagree with its size=.
        std::vector<std::string> badCrc = post;
        badCrc[2].replace(badCrc[2].rfind(crc), 8, "00000000");
        EXPECT_EQ(Join(badCrc, kernel).problem, YEncProblem::CrcError);
        EXPECT_EQ(Join(badCrc, kernel).bytes, file);
        std::vector<std::string> badSize = post;
        badSize[1].replace(badSize[1].find("=yend size=10"), 13, "=yend size=11");
        EXPECT_EQ(Join(badSize, kernel).problem, YEncProblem::SizeMismatch);
        // A missing part.
        EXPECT_EQ(Join({post[0], post[2]}, kernel).problem, YEncProblem::SizeMismatch);
    }
}
