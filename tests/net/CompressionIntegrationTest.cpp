// Compressed connections to a real news server (the fixture's INN offers COMPRESS DEFLATE):
// the overview walk and the pipelined fetch give the same headers and the same pictures as
// the uncompressed way, on a plain connection, inside TLS, and after a login.
#include "base/ReplyWords.h"
#include "message/TmsArticle.h"
#include "net/ArticleFilter.h"
#include "net/TmsNNTP.h"

#include "InnServer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

namespace vexil {
namespace {

using test::InnServer;

struct TRunResult {
    std::vector<std::string> headers;
    std::vector<std::string> pictures;
    bool compressed = false;
    bool secure = false;
};

class CompressionIntegrationTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = std::filesystem::temp_directory_path() /
                 ("vexil-compress-test-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    // The overview walk of the picture group and a fetch of its pictures, 32 at once; the
    // pictures are saved into a folder of the run's own.
    TRunResult Run(const std::string &Server, bool Compress, const std::string &Name,
                   bool Login = false) {
        TmsNNTP nntp;
        TmsArticle article;
        nntp.SetWinsockLoaded(true);
        nntp.SetTimeOut(30);
        nntp.SetServer(Server);
        nntp.SetCaFile(inn.CaFile());
        nntp.SetArticle(&article);
        nntp.SetQueryCapabilities(true);
        nntp.SetUseOverview(true);
        nntp.SetUseCompression(Compress);
        if (Login) {
            nntp.UserName = inn.User();
            nntp.Password = inn.Password();
        }
        TRunResult result;
        std::vector<TmsNNTP::TArticleRequest> requests;
        nntp.OnNextHeaderRetrieved = [&](TObject *, int n) {
            const TmsNgInfoItem &item = nntp.HeaderList().Items(n);
            result.headers.push_back(std::to_string(item.Number) + " " +
                                     item.GetHeaderValue("Lines") + " " +
                                     item.GetHeaderValue("Subject"));
            const int lines = GetWordAsInt(item.GetHeaderValue("Lines"), 0);
            if (lines > 150 && !IsLaterPart(item.GetHeaderValue("Subject")))
                requests.push_back({item.Number, lines});
        };
        const std::filesystem::path into = folder / Name;
        std::filesystem::create_directories(into);
        nntp.SetNewsGroup(InnServer::PictureGroup);
        nntp.RetrieveHeaders(0, false);
        nntp.RetrieveArticles(requests, TmsNNTP::MaxDepth, [&](std::int32_t, bool found) {
            EXPECT_TRUE(found);
            for (int i = 0; i < article.Attachments().Count(); ++i) {
                article.SaveAttachment(i, into.string());
                result.pictures.push_back(article.Attachments().Items(i).FileName());
            }
        });
        result.compressed = nntp.Compression() != nullptr;
        result.secure = nntp.Secure();
        nntp.Disconnect();
        return result;
    }

    void ExpectSamePictures(const TRunResult &Result, const std::string &Name) {
        const auto posted = inn.Articles(InnServer::PictureGroup);
        std::vector<std::string> expected;
        for (const auto &a : posted)
            if (a.lines > 150 && !IsLaterPart(a.subject))
                expected.insert(expected.end(), a.attachments.begin(), a.attachments.end());
        EXPECT_EQ(Result.headers.size(), posted.size());
        EXPECT_EQ(Result.pictures, expected);
        for (const std::string &picture : Result.pictures)
            EXPECT_EQ(test::ReadFile((folder / Name / picture).string()),
                      inn.Original(InnServer::PictureGroup, picture))
                << picture;
    }

    InnServer inn;
    std::filesystem::path folder;
};

TEST_F(CompressionIntegrationTest, CompressedWalkAndFetchMatchTheUncompressedOnes) {
    const TRunResult plain = Run(inn.Address(), false, "plain");
    const TRunResult compressed = Run(inn.Address(), true, "compressed");
    EXPECT_FALSE(plain.compressed);
    EXPECT_TRUE(compressed.compressed);
    ExpectSamePictures(compressed, "compressed");
    EXPECT_EQ(compressed.headers, plain.headers);
    EXPECT_EQ(compressed.pictures, plain.pictures);
}

TEST_F(CompressionIntegrationTest, CompressionInsideTlsAndAfterALogin) {
    const TRunResult secure = Run("nntps://" + inn.TlsAddress(), true, "secure");
    EXPECT_TRUE(secure.secure);
    EXPECT_TRUE(secure.compressed);
    ExpectSamePictures(secure, "secure");

    const TRunResult plainLogin = Run(inn.AuthAddress(), true, "plain-login", true);
    EXPECT_TRUE(plainLogin.compressed);
    ExpectSamePictures(plainLogin, "plain-login");

    const TRunResult login = Run("nntps://" + inn.AuthTlsAddress(), true, "login", true);
    EXPECT_TRUE(login.secure);
    EXPECT_TRUE(login.compressed);
    ExpectSamePictures(login, "login");
}

} // namespace
} // namespace vexil
