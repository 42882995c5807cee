// vexil-decode as its users run it: saved articles in, pictures and a summary out.
#include "message/Crc32.h"
#include "message/YEncEncoder.h"
#include "tests/support/TestFiles.h"
#include "tests/support/ToolRun.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;
using namespace vexil::test;

namespace {

class VexilDecodeTest : public ::testing::Test {
protected:
    ToolResult Run(const std::string &arguments) { return tool_.Run(arguments); }

    ToolRun tool_{"vexil-decode"};
    const fs::path &dir_ = tool_.Dir();
};

// "GIF89a" and "Cat" as uuencoded lines; LF line ends, no final "." line, as saved by hand.
const char kUuArticle[] = "From: Bob <bob@example.invalid>\n"
                          "Subject: two files\n"
                          "\n"
                          "Some text.\n"
                          "begin 644 a.gif\n"
                          "&1TE&.#EA\n"
                          "`\n"
                          "end\n"
                          "begin 644 ../../b.txt\n"
                          "#0V%T\n"
                          "`\n"
                          "end\n";

// As the server sends it: CR LF, a doubled dot, the final "." line.
const char kMimeArticle[] = "From: ann@example.invalid\r\n"
                            "Subject: mime\r\n"
                            "MIME-Version: 1.0\r\n"
                            "Content-Type: multipart/mixed; boundary=\"b\"\r\n"
                            "\r\n"
                            "--b\r\n"
                            "Content-Type: text/plain\r\n"
                            "\r\n"
                            "..dotted\r\n"
                            "--b\r\n"
                            "Content-Type: image/jpeg; name=\"p.jpg\"\r\n"
                            "Content-Transfer-Encoding: base64\r\n"
                            "\r\n"
                            "/9j/4A==\r\n"
                            "--b--\r\n"
                            ".\r\n";

} // namespace

TEST_F(VexilDecodeTest, SavesAttachmentsAndPrintsTheSummary) {
    WriteFile(dir_ / "uu.eml", kUuArticle);
    const ToolResult r = Run("-o out uu.eml");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "two files\t\t1\na.gif\t6\timage/gif\n../../b.txt\t3\ttext/plain\n");
    EXPECT_EQ(ReadFile(dir_ / "out" / "a.gif"), "GIF89a");
    // The hostile name is written inside the folder, never above it.
    EXPECT_EQ(ReadFile(dir_ / "out" / "b.txt"), "Cat");
    EXPECT_FALSE(fs::exists(dir_.parent_path() / "b.txt"));
}

TEST_F(VexilDecodeTest, ReadsTheServerFormAndPrintsTheBody) {
    WriteFile(dir_ / "mime.eml", kMimeArticle);
    const ToolResult summary = Run("mime.eml");
    EXPECT_EQ(summary.status, 0) << summary.err;
    EXPECT_EQ(summary.out, "mime\tmultipart/mixed\t1\np.jpg\t4\timage/jpeg\n");
    EXPECT_EQ(ReadFile(dir_ / "p.jpg"), std::string("\xff\xd8\xff\xe0", 4));
    const ToolResult body = Run("--body mime.eml");
    EXPECT_EQ(body.out, ".dotted\n");
}

// A yEnc file or part as the server sends it: leading dots doubled, the final "." line.
std::string YEncArticle(const std::string &name, const std::string &bytes, const std::string &part,
                        const std::string &end) {
    std::string body = "=ybegin " + part + "line=128 size=" + std::to_string(bytes.size()) +
                       " name=" + name + "\r\n";
    if (!part.empty())
        body += "=ypart begin=1 end=" + std::to_string(bytes.size()) + "\r\n";
    std::string stuffed;
    const std::string encoded = vexil::YEncEncode(bytes, 64);
    bool lineStart = true;
    for (const char c : encoded) {
        if (lineStart && c == '.')
            stuffed += '.';
        stuffed += c;
        lineStart = c == '\n';
    }
    return "From: poster@example.invalid\r\nSubject: " + name + "\r\n\r\n" + body + stuffed + end +
           "\r\n.\r\n";
}

TEST_F(VexilDecodeTest, DecodesYEncArticlesAndNamesTheirFaults) {
    std::string bytes;
    for (int i = 0; i < 5000; ++i)
        bytes += static_cast<char>(i % 64 == 0 ? 4 : i * 7); // "." at many line starts
    char crc[9];
    std::snprintf(crc, sizeof crc, "%08x", vexil::Crc32(bytes));
    const std::string size = std::to_string(bytes.size());
    WriteFile(dir_ / "good.txt",
              YEncArticle("good.jpg", bytes, "", "=yend size=" + size + " crc32=" + crc));
    WriteFile(dir_ / "part.txt", YEncArticle("part.gif", bytes, "part=1 total=1 ",
                                             "=yend size=" + size + " part=1 pcrc32=" + crc));
    WriteFile(dir_ / "bad.txt",
              YEncArticle("bad.jpg", bytes, "", "=yend size=" + size + " crc32=00000bad"));
    WriteFile(dir_ / "short.txt", YEncArticle("short.jpg", bytes, "", "=yend size=4999"));
    const ToolResult r = Run("-o out good.txt part.txt bad.txt short.txt");
    EXPECT_EQ(r.status, 0) << r.err;
    for (const char *line :
         {"good.jpg\t5000\timage/jpeg\n", "part.gif\t5000\timage/gif\n",
          "bad.jpg\t5000\timage/jpeg\tCRC error\n", "short.jpg\t5000\timage/jpeg\tsize mismatch\n"})
        EXPECT_NE(r.out.find(line), std::string::npos) << line << r.out;
    for (const char *name : {"good.jpg", "part.gif", "bad.jpg", "short.jpg"})
        EXPECT_EQ(ReadFile(dir_ / "out" / name), bytes) << name;
}

TEST_F(VexilDecodeTest, ReportsBadFilesAndGoesOn) {
    WriteFile(dir_ / "uu.eml", kUuArticle);
    const ToolResult r = Run("-o out missing.eml uu.eml");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Cannot open file missing.eml"), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("==> uu.eml <==\ntwo files"), std::string::npos) << r.out;
    EXPECT_TRUE(fs::exists(dir_ / "out" / "a.gif"));

    // A decoder error that escapes: garbage in a base64 text body.
    WriteFile(dir_ / "bad.eml", "MIME-Version: 1.0\nContent-Transfer-Encoding: base64\n\n"
                                "not base64!\n");
    const ToolResult bad = Run("bad.eml");
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.err.find("bad.eml: Invalid Character"), std::string::npos) << bad.err;

    EXPECT_EQ(Run("").status, 2);
    EXPECT_EQ(Run("--help").status, 0);
}

TEST_F(VexilDecodeTest, NamesWhatIsWrongAndCreatesNothing) {
    fs::create_directory(dir_ / "folder");
    // A folder given as a file once ended in "std::bad_alloc".
    ToolResult r = Run("-o out folder");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "vexil-decode: folder: is a folder, not an article file\n");
    r = Run("-o out missing.eml");
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(fs::exists(dir_ / "out"));

    // A command line it cannot use: one line on what is wrong, then the hint, no usage.
    r = Run("--count abc uu.eml");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "vexil-decode: unknown option --count\n"
                     "Try 'vexil-decode --help' for more information.\n");
    EXPECT_EQ(Run("uu.eml -o").err.substr(0, 33), "vexil-decode: -o needs a value\nTr");
    EXPECT_EQ(Run("-o out").err.substr(0, 31), "vexil-decode: no FILE given\nTry");
    // After "--" a name that looks like an option is a file.
    WriteFile(dir_ / "-x.eml", kUuArticle);
    r = Run("-o out -- -x.eml");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(dir_ / "out" / "a.gif"));
}

TEST_F(VexilDecodeTest, PrintsArticleTextWithoutControlCharacters) {
    // Retitles the terminal and clears it; 0x9B is CSI on an 8-bit terminal.
    WriteFile(dir_ / "hostile.eml", "Subject: \x1b]0;owned\x07hi\x9b"
                                    "2J\n"
                                    "\n"
                                    "text \x1b[2J\ttabbed\n"
                                    "begin 644 a\x1b[1mb.gif\n"
                                    "&1TE&.#EA\n"
                                    "`\n"
                                    "end\n");
    ToolResult r = Run("-o out hostile.eml");
    EXPECT_EQ(r.out, "]0;owned?hi?2J\t\t1\na?[1mb.gif\t6\timage/gif\n");
    r = Run("--body -o out hostile.eml");
    EXPECT_EQ(r.out, "text ?[2J tabbed\n");
    // The message of a failed file shows the name as the other texts do.
    r = Run("'bad\x1b[2J.eml'");
    EXPECT_EQ(r.err, "vexil-decode: bad?[2J.eml: Cannot open file bad?[2J.eml\n");
}

TEST_F(VexilDecodeTest, LargeAndEmptyFilesAreReadWhole) {
    // Far more than one piece of the framing's copy, with doubled dots deep inside and
    // bytes after the final "." line that are no part of the article.
    std::string article = "Subject: big\r\n\r\n";
    std::string body;
    for (int i = 0; i < 20000; ++i) {
        const std::string line = (i % 777 == 5 ? "." : "") + std::string(1 + i % 70, 'a' + i % 26);
        article += (line[0] == '.' ? "." : "") + line + "\r\n";
        body += line + "\n";
    }
    article += ".\r\nafter the end\r\n";
    WriteFile(dir_ / "big.eml", article);
    const ToolResult r = Run("--body big.eml");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.out == body) << r.out.size() << " bytes instead of " << body.size();

    WriteFile(dir_ / "empty.eml", "");
    const ToolResult empty = Run("empty.eml");
    EXPECT_EQ(empty.status, 0) << empty.err;
    EXPECT_EQ(empty.out, "\ttext/plain\t0\n");
}
