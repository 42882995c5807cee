// vexil-decode as its users run it: saved articles in, pictures and a summary out.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct Result {
    int status = -1;
    std::string out;
};

std::string ReadFile(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const fs::path &path, std::string_view bytes) {
    std::ofstream(path, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

class VexilDecodeTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("vexil-decode-test-" + std::to_string(getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        tool_ = fs::path(std::getenv("VEXIL_BINARY_DIR")) / "tools" / "vexil-decode";
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Runs the tool in dir_ with stderr folded into the output after a marker line.
    Result Run(const std::string &arguments) {
        const std::string command = "cd '" + dir_.string() + "' && '" + tool_.string() + "' " +
                                    arguments + " 2>stderr.txt; echo \"exit=$?\"";
        Result r;
        std::FILE *pipe = ::popen(command.c_str(), "r");
        std::array<char, 4096> buffer;
        std::size_t n;
        while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
            r.out.append(buffer.data(), n);
        ::pclose(pipe);
        const std::size_t at = r.out.rfind("exit=");
        r.status = std::atoi(r.out.c_str() + at + 5);
        r.out.resize(at);
        return r;
    }
    std::string Stderr() const { return ReadFile(dir_ / "stderr.txt"); }

    fs::path dir_;
    fs::path tool_;
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
    const Result r = Run("-o out uu.eml");
    EXPECT_EQ(r.status, 0) << Stderr();
    EXPECT_EQ(r.out, "two files\t\t1\na.gif\t6\timage/gif\n../../b.txt\t3\ttext/plain\n");
    EXPECT_EQ(ReadFile(dir_ / "out" / "a.gif"), "GIF89a");
    // The hostile name is written inside the folder, never above it.
    EXPECT_EQ(ReadFile(dir_ / "out" / "b.txt"), "Cat");
    EXPECT_FALSE(fs::exists(dir_.parent_path() / "b.txt"));
}

TEST_F(VexilDecodeTest, ReadsTheServerFormAndPrintsTheBody) {
    WriteFile(dir_ / "mime.eml", kMimeArticle);
    const Result summary = Run("mime.eml");
    EXPECT_EQ(summary.status, 0) << Stderr();
    EXPECT_EQ(summary.out, "mime\tmultipart/mixed\t1\np.jpg\t4\timage/jpeg\n");
    EXPECT_EQ(ReadFile(dir_ / "p.jpg"), std::string("\xff\xd8\xff\xe0", 4));
    const Result body = Run("--body mime.eml");
    EXPECT_EQ(body.out, ".dotted\n");
}

TEST_F(VexilDecodeTest, ReportsBadFilesAndGoesOn) {
    WriteFile(dir_ / "uu.eml", kUuArticle);
    const Result r = Run("-o out missing.eml uu.eml");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(Stderr().find("Cannot open file missing.eml"), std::string::npos) << Stderr();
    EXPECT_NE(r.out.find("==> uu.eml <==\ntwo files"), std::string::npos) << r.out;
    EXPECT_TRUE(fs::exists(dir_ / "out" / "a.gif"));

    // A decoder error that escapes: garbage in a base64 text body.
    WriteFile(dir_ / "bad.eml", "MIME-Version: 1.0\nContent-Transfer-Encoding: base64\n\n"
                                "not base64!\n");
    const Result bad = Run("bad.eml");
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(Stderr().find("bad.eml: Invalid Character"), std::string::npos) << Stderr();

    EXPECT_EQ(Run("").status, 2);
    EXPECT_EQ(Run("--help").status, 0);
}
