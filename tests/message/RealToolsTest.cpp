// Articles made by tools that nobody here wrote (uuencode from sharutils, Python's email
// package, mpack), in the form a news server hands them out, decode to the original files
// byte for byte.
#include "ArticleTestSupport.h"

#include "message/HeaderText.h"
#include "tests/support/TestFiles.h"
#include "tests/support/ToolRun.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include <unistd.h>

using namespace vexil;
using namespace vexil::test;
namespace fs = std::filesystem;

namespace {

class RealToolsTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("vexil-realtools-" + std::to_string(getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        // Sizes chosen so that some last uuencoded lines hold 14 bytes and start with ".".
        std::mt19937 rng(2024);
        const std::vector<std::pair<std::string, std::size_t>> files{{"small.jpg", 14},
                                                                     {"dot tail.gif", 45 * 30 + 14},
                                                                     {"photo.jpg", 70001},
                                                                     {"exact.bmp", 57 * 45 * 4}};
        for (const auto &[name, size] : files) {
            std::string bytes(size, '\0');
            for (auto &b : bytes)
                b = static_cast<char>(rng());
            // Lines of text inside the data put "." at the start of base64 and uu lines too.
            for (std::size_t i = 0; i + 3 < size; i += 997)
                bytes[i] = '.';
            WriteFile(dir_ / name, bytes);
            pictures_.push_back(dir_ / name);
        }
    }
    void TearDown() override { fs::remove_all(dir_); }

    void Run(const std::string &command) {
        ASSERT_EQ(std::system((command + " 2>&1").c_str()), 0) << command;
    }

    std::unique_ptr<TmsArticle> LoadServerForm(const fs::path &article) {
        return LoadArticle(ServerForm(ReadFile(article)));
    }

    // Every picture, found by name among the attachments, holds the original bytes.
    void ExpectPictures(const TmsArticle &a, const std::vector<fs::path> &expected) {
        ASSERT_EQ(a.Attachments().Count(), static_cast<int>(expected.size()));
        for (std::size_t i = 0; i < expected.size(); ++i) {
            const TmsAttItem &item = a.Attachments().Items(static_cast<int>(i));
            EXPECT_EQ(item.FileName(), expected[i].filename().string());
            EXPECT_TRUE(item.Data.Bytes() == ReadFile(expected[i]))
                << expected[i] << ": " << item.Data.Bytes().size() << " bytes decoded";
        }
    }

    fs::path dir_;
    std::vector<fs::path> pictures_;
};

} // namespace

TEST_F(RealToolsTest, SharutilsUuencodeInAPlainArticle) {
    const fs::path article = dir_ / "uu.txt";
    WriteFile(article, "From: poster@example.invalid\nNewsgroups: alt.binaries.pictures.test\n"
                       "Subject: uuencoded pictures\n\nHere they are.\n\n");
    for (const auto &p : pictures_)
        Run("uuencode " + ShellQuoted(p) + " " + ShellQuoted(p.filename()) + " >> " +
            ShellQuoted(article));
    const auto a = LoadServerForm(article);
    EXPECT_EQ(a->Encoding(), meUU);
    EXPECT_EQ(a->Body(), (std::vector<std::string>{"Here they are.", ""}));
    ExpectPictures(*a, pictures_);
}

TEST_F(RealToolsTest, PythonEmailPackageArticles) {
    std::string command = "/usr/bin/python3 " +
                          ShellQuoted(fs::path(std::getenv("VEXIL_SOURCE_DIR")) / "tests" /
                                      "message" / "make_mime_articles.py") +
                          " " + ShellQuoted(dir_);
    for (const auto &p : pictures_)
        command += " " + ShellQuoted(p);
    Run(command);

    const auto mixed = LoadServerForm(dir_ / "mixed.txt");
    EXPECT_EQ(mixed->Subject(), "python mixed");
    EXPECT_EQ(mixed->Sender().Name(), "Python Poster");
    EXPECT_EQ(mixed->Body(), (std::vector<std::string>{"Pictures from Python.", "Second line."}));
    ExpectPictures(*mixed, pictures_);

    const auto single = LoadServerForm(dir_ / "single.txt");
    EXPECT_TRUE(single->Body().empty());
    ExpectPictures(*single, {pictures_[0]});

    const auto nested = LoadServerForm(dir_ / "nested.txt");
    EXPECT_EQ(nested->Body(), std::vector<std::string>{"Plain words."});
    ASSERT_EQ(nested->Attachments().Count(), 1 + static_cast<int>(pictures_.size()));
    EXPECT_EQ(nested->Attachments().Items(0).FileName(), "_alt.0");
    EXPECT_EQ(nested->Attachments().Items(0).Data.Bytes(), "<p>Plain words.</p>\r\n");
    for (std::size_t i = 0; i < pictures_.size(); ++i)
        EXPECT_TRUE(nested->Attachments().Items(static_cast<int>(i) + 1).Data.Bytes() ==
                    ReadFile(pictures_[i]));

    const auto latin = LoadServerForm(dir_ / "latin1.txt");
    EXPECT_EQ(latin->CharSet(), csISO8859);
    EXPECT_EQ(latin->Body(), std::vector<std::string>{"Gr\xfc\xdf"
                                                      "e aus K\xf6ln = Cologne."});
    ExpectPictures(*latin, {pictures_[0]});
}

TEST_F(RealToolsTest, MpackArticles) {
    for (std::size_t i = 0; i < pictures_.size(); ++i) {
        const fs::path out = dir_ / ("mpack" + std::to_string(i) + ".txt");
        const fs::path desc = dir_ / "description.txt";
        WriteFile(desc, "A picture.\n.dotted line\n");
        // Even pictures with a description part first, odd ones without.
        Run("mpack -s " + ShellQuoted("mpack " + std::to_string(i)) +
            (i % 2 == 0 ? " -d " + ShellQuoted(desc) : std::string()) + " -o " + ShellQuoted(out) +
            " " + ShellQuoted(pictures_[i]));
        std::string text = "From: mpack@example.invalid\nNewsgroups: alt.test\n" + ReadFile(out);
        WriteFile(out, text);
        const auto a = LoadServerForm(out);
        EXPECT_EQ(a->Subject(), "mpack " + std::to_string(i));
        if (i % 2 == 0)
            EXPECT_EQ(a->Body(), (std::vector<std::string>{"A picture.", ".dotted line"}));
        else
            EXPECT_TRUE(a->Body().empty());
        ExpectPictures(*a, {pictures_[i]});
    }
}
