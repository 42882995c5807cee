// Stop pressed while 32 pipelined article requests are in flight to a slow server, with the
// connection plain and compressed: the run ends at once with the Stop texts, keeps only
// whole articles, remembers nothing past what it stored, and the next Go fetches the rest.
#include "app/TfrmMain.h"
#include "message/UUCode.h"
#include "net/TmsNNTP.h"
#include "tests/net/ScriptedServer.h"

#include "tests/app/BrowseFixture.h"
#include "tests/support/ModalCatcher.h"

#include <QBuffer>
#include <QComboBox>
#include <QImage>
#include <QToolButton>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <set>

namespace vexil {
namespace {

using test::ModalCatcher;
using test::ScriptedServer;
using test::ServerConnection;

constexpr int kArticles = 40;

std::string PictureName(int n) {
    char name[16];
    std::snprintf(name, sizeof name, "pic%02d.bmp", n);
    return name;
}

// A small bitmap of its own colour, uuencoded, as the server sends it (dot-stuffed, with
// the "." line).
std::string ArticleBlock(int n) {
    QImage image(16, 12, QImage::Format_RGB32);
    image.fill(qRgb(n * 6, 255 - n * 6, 128));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    std::string block = "From: poster@example.invalid\r\nNewsgroups: alt.binaries.pictures.test\r\n"
                        "Subject: " +
                        PictureName(n) + " (1/1)\r\nMessage-ID: <" + std::to_string(n) +
                        "@example.invalid>\r\nLines: 300\r\n\r\nbegin 644 " + PictureName(n) +
                        "\r\n";
    const std::string data = bytes.toStdString();
    for (std::size_t pos = 0; pos < data.size(); pos += 45) {
        const std::string line = UUEncodeBlock(std::string_view(data).substr(pos, 45));
        block += (line.front() == '.' ? "." : "") + line + "\r\n";
    }
    return block + "`\r\nend\r\n.\r\n";
}

std::string ArticleReply(int n) {
    return "220 " + std::to_string(n) + " <" + std::to_string(n) + "@example.invalid> article\r\n" +
           ArticleBlock(n);
}

struct TServerRecord {
    // ARTICLE requests read on the first connection before its first reply.
    std::atomic<int> inFlight{0};
    std::atomic<bool> stalled{false};
};

// A news server with an overview (and compression when Compress). On the first connection
// it reads every pipelined request before answering, sends the first article whole and the
// second one byte by byte, far slower than any user waits; later connections answer at once.
void Serve(ServerConnection &c, bool Compress, bool Slow, TServerRecord &record) {
    c.SendLine("200 scripted news server ready (posting ok)");
    std::vector<int> asked;
    for (std::string line = c.ReadLine(); !line.empty(); line = c.ReadLine()) {
        const std::string cmd = line.substr(0, line.find(' '));
        if (cmd == "CAPABILITIES") {
            c.Send(std::string("101 list\r\nVERSION 2\r\nREADER\r\nOVER\r\n") +
                   (Compress ? "COMPRESS DEFLATE\r\n" : "") + ".\r\n");
        } else if (cmd == "COMPRESS") {
            c.SendLine("206 Compression active");
            c.StartDeflate();
        } else if (cmd == "GROUP") {
            c.SendLine("211 " + std::to_string(kArticles) + " 1 " + std::to_string(kArticles) +
                       " " + line.substr(6));
        } else if (line == "LIST OVERVIEW.FMT") {
            c.Send("215 order\r\nSubject:\r\nFrom:\r\n:lines\r\n.\r\n");
        } else if (cmd == "OVER") {
            const int first = std::stoi(line.substr(5));
            std::string reply = "224 follows\r\n";
            for (int n = first; n <= kArticles; ++n)
                reply += std::to_string(n) + "\t" + PictureName(n) + " (1/1)\tme\t300\r\n";
            c.Send(reply + ".\r\n");
        } else if (cmd == "ARTICLE" && Slow) {
            asked.push_back(std::stoi(line.substr(8)));
            if (asked.size() < static_cast<std::size_t>(TmsNNTP::MaxDepth))
                continue;
            record.inFlight = static_cast<int>(asked.size());
            const std::string second = ArticleReply(asked[1]);
            c.Send(ArticleReply(asked[0]) + second.substr(0, second.size() / 2));
            record.stalled = true;
            c.Trickle(second.substr(second.size() / 2), std::chrono::milliseconds(100));
            return;
        } else if (cmd == "ARTICLE") {
            c.Send(ArticleReply(std::stoi(line.substr(8))));
        } else if (cmd == "QUIT") {
            c.SendLine("205 bye");
            return;
        } else {
            c.failures.push_back("unexpected \"" + line + "\"");
            c.SendLine("500 What?");
        }
    }
}

class PipelineStopTest : public test::BrowseFixture, public ::testing::WithParamInterface<bool> {
protected:
    std::set<std::string> StoredPictures() const {
        std::set<std::string> names;
        if (std::filesystem::exists(PictureFolder()))
            for (const auto &entry : std::filesystem::directory_iterator(PictureFolder()))
                names.insert(entry.path().filename().string());
        return names;
    }
};

TEST_P(PipelineStopTest, StopWithThirtyTwoRequestsInFlightEndsAtOnceAndTheNextGoCarriesOn) {
    const bool compress = GetParam();
    TServerRecord record;
    int connection = 0;
    ScriptedServer server(
        [&](ServerConnection &c) { Serve(c, compress, ++connection == 1, record); }, 2);
    {
        test::SettingsKey store(true);
        store.WriteBool("UseOverview", true);
        store.WriteInteger("ArticlesAtOnce", TmsNNTP::MaxDepth);
    }
    Start(server.Address());
    Choose(test::kBrowseGroups[1]);
    const std::string group = test::kBrowseGroups[1].toStdString();

    // The first article has come and is stored; the second is on its way.
    std::chrono::steady_clock::time_point pressed;
    bool compressed = false;
    When("Article retrieved", [&] {
        compressed = form->msNNTP.Compression() != nullptr;
        pressed = std::chrono::steady_clock::now();
        form->CancelButton->click();
    });
    ModalCatcher boxes;
    Go();
    const auto took = std::chrono::steady_clock::now() - pressed;
    std::printf("the run ended %.1f ms after Stop\n",
                std::chrono::duration<double, std::milli>(took).count());
    EXPECT_EQ(record.inFlight, TmsNNTP::MaxDepth);
    EXPECT_TRUE(record.stalled);
    EXPECT_EQ(compressed, compress);
    // The rest of the second article would take minutes to come.
    EXPECT_LT(took, std::chrono::seconds(10));
    ASSERT_NO_FATAL_FAILURE(ExpectStopped(boxes));
    EXPECT_EQ(StoredPictures(), std::set<std::string>{PictureName(1)});
    EXPECT_EQ(Remembered(server.Address(), group), 1);
    EXPECT_FALSE(form->msNNTP.Connected());

    statuses.clear();
    Go();
    EXPECT_EQ(boxes.Count(), 1) << boxes.Texts().join("\n").toStdString();
    EXPECT_EQ(StatusTrail().value(0), "Opening connection");
    EXPECT_EQ(StatusTrail().back(), "Last available header retrieved");
    std::set<std::string> all;
    for (int n = 1; n <= kArticles; ++n)
        all.insert(PictureName(n));
    EXPECT_EQ(StoredPictures(), all);
    EXPECT_EQ(Remembered(server.Address(), group), kArticles);
    Close();
    EXPECT_EQ(server.Failures(), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(PlainAndCompressed, PipelineStopTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool> &info) {
                             return info.param ? "Compressed" : "Plain";
                         });

} // namespace
} // namespace vexil
