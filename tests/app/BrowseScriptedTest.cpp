// The browse run against scripted news servers inside the test, for what a real server does
// not readily show: odd Lines headers and subjects, a group list of one entry, a server that
// drops the connection, a server changed between runs, attachment names that cannot be used,
// an article with too many attachments, a port that is no port.
#include "app/TBrowseRun.h"
#include "app/TPictureViewer.h"
#include "app/TSetupDlg.h"
#include "app/TfrmMain.h"
#include "message/TmsArticleDecoder.h"
#include "message/UUCode.h"
#include "message/YEncEncoder.h"
#include "net/ServerAddress.h"
#include "net/TmsNNTP.h"
#include "tests/net/ScriptedServer.h"

#include "tests/app/BrowseFixture.h"
#include "tests/support/ModalCatcher.h"

#include <QBuffer>
#include <QComboBox>
#include <QImage>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace vexil {
namespace {

using test::ModalCatcher;
using test::ScriptedServer;
using test::ServerConnection;

struct FakeArticle {
    int number;
    std::string lines; // the Lines header's value; none when empty
    std::string subject;
    std::string body = "Nothing to see.\r\n";
};

std::string HeaderBlock(const FakeArticle &a) {
    std::string block =
        "From: poster@example.invalid\r\nNewsgroups: alt.test\r\nSubject: " + a.subject +
        "\r\nMessage-ID: <" + std::to_string(a.number) + "@example.invalid>\r\n";
    if (!a.lines.empty())
        block += "Lines: " + a.lines + "\r\n";
    return block;
}

// Answers a reader's commands over `articles` as a news server does, until QUIT or the end
// of the connection; `fetched` gets the numbers of the articles sent whole.
void Serve(ServerConnection &c, const std::vector<FakeArticle> &articles,
           std::vector<int> &fetched) {
    c.SendLine("200 scripted news server ready (posting ok)");
    std::size_t cur = 0;
    const auto id = [&](std::size_t i) {
        return std::to_string(articles[i].number) + " <" + std::to_string(articles[i].number) +
               "@example.invalid>";
    };
    for (std::string line = c.ReadLine(); !line.empty(); line = c.ReadLine()) {
        const std::string cmd = line.substr(0, line.find(' '));
        if (cmd == "GROUP") {
            cur = 0;
            c.SendLine("211 " + std::to_string(articles.size()) + " " +
                       std::to_string(articles.front().number) + " " +
                       std::to_string(articles.back().number) + " " + line.substr(6));
        } else if (cmd == "STAT") {
            const int n = std::stoi(line.substr(5));
            const auto it = std::find_if(articles.begin(), articles.end(),
                                         [n](const FakeArticle &a) { return a.number == n; });
            if (it == articles.end()) {
                c.SendLine("423 No such article number " + std::to_string(n));
                continue;
            }
            cur = std::size_t(it - articles.begin());
            c.SendLine("223 " + id(cur) + " status");
        } else if (cmd == "NEXT") {
            if (cur + 1 >= articles.size()) {
                c.SendLine("421 No next article to retrieve");
                continue;
            }
            c.SendLine("223 " + id(++cur) + " Article retrieved");
        } else if (cmd == "HEAD") {
            c.Send("221 " + id(cur) + " head\r\n" + HeaderBlock(articles[cur]) + ".\r\n");
        } else if (cmd == "ARTICLE") {
            fetched.push_back(articles[cur].number);
            c.Send("220 " + id(cur) + " article\r\n" + HeaderBlock(articles[cur]) + "\r\n" +
                   articles[cur].body + ".\r\n");
        } else if (cmd == "QUIT") {
            c.SendLine("205 Bye!");
            return;
        } else {
            c.SendLine("500 What?");
        }
    }
}

const std::vector<FakeArticle> kThree = {{1, "500", "one"}, {2, "500", "two"}, {3, "500", "three"}};

class BrowseScriptedTest : public test::BrowseFixture {
protected:
    // Starts the window on server, chooses a group and presses Go; the texts of the message
    // boxes the run opened.
    QStringList StartAndGo(const std::string &server) {
        Start(server);
        Choose(test::kBrowseGroups[1]);
        ModalCatcher boxes;
        Go();
        return boxes.Texts();
    }
};

TEST_F(BrowseScriptedTest, LinesAreReadAsNumbersAndLaterPartsArePassedOver) {
    // A uuencoded text file: stored, then deleted at once, since it is no picture.
    const std::string note = "begin 644 note.txt\r\n#:&D*\r\n`\r\nend\r\n";
    const std::vector<FakeArticle> articles = {
        {1, "500", "the first, looked at like every other"},
        {2, "1,234", "pictures (1/1)", note},
        {3, "", "no Lines header"},
        {4, "lots", "Lines that are no number"},
        {5, "300", "series (1/2)"},
        {6, "300", "series 3/5"},
        {7, "300", "see HTTP://example.invalid/2 (2/3)"},
        {8, "150", "exactly the lower limit"},
        {9, " 200 ", "padded"},
    };
    std::vector<int> fetched;
    ScriptedServer server([&](ServerConnection &c) { Serve(c, articles, fetched); });
    Start(server.Address());
    Choose(test::kBrowseGroups[1]);
    std::vector<std::optional<std::int32_t>> memory;
    QObject::connect(form.get(), &TfrmMain::StatusTextChanged, form.get(),
                     [&](int panel, const QString &text) {
                         if (panel == TfrmMain::spStatus && text.endsWith(" headers retrieved"))
                             memory.push_back(Remembered(server.Address(),
                                                         test::kBrowseGroups[1].toStdString()));
                     });
    ModalCatcher boxes;
    Go();
    EXPECT_EQ(boxes.Count(), 0) << boxes.Texts().join("\n").toStdString();
    Close();
    EXPECT_TRUE(server.Failures().empty());
    EXPECT_EQ(fetched, (std::vector<int>{1, 2, 7, 9}));
    // Each header finds the memory where the articles before it that passed the Lines
    // filter left it: the later parts count, the articles without a number do not.
    using M = std::optional<std::int32_t>;
    EXPECT_EQ(memory, (std::vector<M>{std::nullopt, 1, 2, 2, 2, 5, 6, 7, 7}));
    EXPECT_EQ(Remembered(server.Address(), test::kBrowseGroups[1].toStdString()), 9);
    EXPECT_TRUE(std::filesystem::is_empty(PictureFolder()));
}

TEST_F(BrowseScriptedTest, WithOneGroupListedTheSecondGoLeavesAndComesBack) {
    std::ofstream(home.Home() + "Vexil.Dat", std::ios::binary | std::ios::trunc)
        << "alt.binaries.pictures.only\r\n";
    std::vector<int> fetched;
    ScriptedServer server([&](ServerConnection &c) { Serve(c, kThree, fetched); }, 2);
    Start(server.Address());
    ModalCatcher boxes;
    Go();
    Go();
    EXPECT_EQ(boxes.Count(), 0) << boxes.Texts().join("\n").toStdString();
    Close();
    const std::vector<std::string> received = server.Received();
    std::vector<std::string> commands;
    for (const std::string &line : received)
        if (line.rfind("GROUP", 0) == 0 || line == "QUIT")
            commands.push_back(line);
    // The figures are read afresh by a new session, with the walk after the memory.
    EXPECT_EQ(commands, (std::vector<std::string>{"GROUP alt.binaries.pictures.only", "QUIT",
                                                  "GROUP alt.binaries.pictures.only", "QUIT"}));
    EXPECT_EQ(fetched, (std::vector<int>{1, 2, 3}));
}

TEST_F(BrowseScriptedTest, AConnectionTheServerDroppedIsLeftAndTheNextGoConnectsAnew) {
    std::vector<int> fetched;
    int session = 0;
    ScriptedServer server(
        [&](ServerConnection &c) {
            if (++session == 1) {
                c.SendLine("200 scripted news server ready");
                c.ReadLine(); // GROUP
                c.Close();    // gone, as a server that restarts
                return;
            }
            Serve(c, kThree, fetched);
        },
        2);
    const QStringList boxes = StartAndGo(server.Address());
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes[0], "The server closed the connection without a reply");
    EXPECT_FALSE(form->msNNTP.Connected());
    statuses.clear();
    ModalCatcher later;
    Go();
    EXPECT_EQ(later.Count(), 0) << later.Texts().join("\n").toStdString();
    EXPECT_EQ(StatusTrail().value(0), "Opening connection");
    Close();
    EXPECT_EQ(fetched, (std::vector<int>{1, 2, 3}));
}

TEST_F(BrowseScriptedTest, AServerChangedInSetupIsReachedAtTheNextGo) {
    std::vector<int> fetchedA, fetchedB;
    ScriptedServer a([&](ServerConnection &c) { Serve(c, kThree, fetchedA); });
    ScriptedServer b([&](ServerConnection &c) { Serve(c, kThree, fetchedB); });
    Start(a.Address());
    Choose(test::kBrowseGroups[1]);
    ModalCatcher setup([&](QWidget *modal) {
        if (auto *dlg = qobject_cast<TSetupDlg *>(modal)) {
            dlg->ServerEdit->setEditText(QString::fromStdString(b.Address()));
            dlg->OKBtn->click();
        }
    });
    Go();
    form->SetupButton->click();
    ASSERT_EQ(setup.Count(), 1);
    Go();
    EXPECT_EQ(setup.Count(), 1);
    // The first server was left with QUIT; the second one was walked from its start.
    const std::vector<std::string> toA = a.Received();
    ASSERT_FALSE(toA.empty());
    EXPECT_EQ(toA.back(), "QUIT");
    EXPECT_EQ(fetchedA, (std::vector<int>{1, 2, 3}));
    Close();
    EXPECT_EQ(fetchedB, (std::vector<int>{1, 2, 3}));
    const std::string group = test::kBrowseGroups[1].toStdString();
    EXPECT_EQ(Remembered(a.Address(), group), 3);
    EXPECT_EQ(Remembered(b.Address(), group), 3);
}

// A small picture that the window can show.
std::string Bitmap(QRgb colour) {
    QImage image(4, 3, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return bytes.toStdString();
}

// A body of uuencoded files, one for each name and its bytes.
std::string UUBody(const std::vector<std::pair<std::string, std::string>> &files) {
    std::string body = "Pictures follow.\r\n";
    for (const auto &[name, bytes] : files) {
        body += "begin 644 " + name + "\r\n";
        for (std::size_t pos = 0; pos < bytes.size(); pos += 45) {
            const std::string line = UUEncodeBlock(std::string_view(bytes).substr(pos, 45));
            body += (line.front() == '.' ? "." : "") + line + "\r\n"; // as a server sends it
        }
        body += "`\r\nend\r\n";
    }
    return body;
}

TEST_F(BrowseScriptedTest, AnUnusableAttachmentNameNoLongerEndsTheRun) {
    const std::vector<FakeArticle> articles = {
        {1, "500", "names that cannot be used",
         UUBody({{"..", Bitmap(0xff0000)},
                 {"a\x1b]2;owned\x07.bmp", Bitmap(0x00ff00)},
                 {"dir/", "text"}})},
        {2, "500", "an ordinary one", UUBody({{"later.bmp", Bitmap(0x0000ff)}})},
    };
    std::vector<int> fetched;
    ScriptedServer server([&](ServerConnection &c) { Serve(c, articles, fetched); });
    const QStringList boxes = StartAndGo(server.Address());
    EXPECT_TRUE(boxes.isEmpty()) << boxes.join("\n").toStdString();
    Close();
    EXPECT_EQ(fetched, (std::vector<int>{1, 2}));
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(PictureFolder()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"a_]2;owned_.bmp", "later.bmp"}));
    // Nothing landed beside the picture folder.
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto &entry : std::filesystem::directory_iterator(home.Home()))
        ++entries;
    EXPECT_EQ(entries, 2u) << "TEMP and Vexil.Dat";
}

TEST_F(BrowseScriptedTest, AnArticleStoresAtMostAThousandAttachmentsAndSaysSo) {
    constexpr int kMax = TmsCustomDecoder::MaxAttachments;
    std::vector<std::pair<std::string, std::string>> files;
    for (int i = 0; i < kMax + 2; ++i)
        files.emplace_back("f" + std::to_string(i) + ".gif", "gif " + std::to_string(i));
    const std::vector<FakeArticle> articles = {
        {1, "500", "an ordinary one", UUBody({{"first.bmp", Bitmap(0xff0000)}})},
        {2, "5000", "too many", UUBody(files)},
        {3, "500", "after it", UUBody({{"after.gif", "after"}})},
    };
    std::vector<int> fetched;
    ScriptedServer server([&](ServerConnection &c) { Serve(c, articles, fetched); });
    const QStringList boxes = StartAndGo(server.Address());
    EXPECT_TRUE(boxes.isEmpty()) << boxes.join("\n").toStdString();
    EXPECT_TRUE(StatusTrail().contains(
        "Article 2 holds more than 1000 attachments: only the first 1000 were stored"))
        << StatusTrail().join("\n").toStdString();
    // What came before and the first thousand stay; the run goes on after the article.
    const auto &list = form->Pictures->PictureList;
    ASSERT_EQ(list.size(), std::size_t(kMax + 2));
    EXPECT_EQ(list.front(), PictureFolder() + "first.bmp");
    EXPECT_EQ(list[kMax], PictureFolder() + "f999.gif");
    EXPECT_EQ(list.back(), PictureFolder() + "after.gif");
    EXPECT_FALSE(std::filesystem::exists(PictureFolder() + "f1000.gif"));
    Close();
    EXPECT_EQ(fetched, (std::vector<int>{1, 2, 3}));
}

// A yEnc file as a server sends it (leading dots doubled), under the CRC given.
std::string YEncBody(const std::string &name, const std::string &bytes, const std::string &crc) {
    const std::string size = std::to_string(bytes.size());
    std::string body = "=ybegin line=128 size=" + size + " name=" + name + "\r\n";
    bool lineStart = true;
    for (const char c : YEncEncode(bytes)) {
        if (lineStart && c == '.')
            body += '.';
        body += c;
        lineStart = c == '\n';
    }
    return body + "=yend size=" + size + " crc32=" + crc + "\r\n";
}

TEST_F(BrowseScriptedTest, AYEncPictureWithAWrongCrcIsShownAndReported) {
    const std::string picture = Bitmap(0x00ff00);
    const std::vector<FakeArticle> articles = {
        {1, "500", "bad.bmp yEnc (1/1)", YEncBody("bad.bmp", picture, "0badc0de")}};
    std::vector<int> fetched;
    ScriptedServer server([&](ServerConnection &c) { Serve(c, articles, fetched); });
    Start(server.Address());
    Choose(test::kBrowseGroups[1]);
    ModalCatcher boxes;
    Go();
    EXPECT_EQ(boxes.Count(), 0) << boxes.Texts().join("\n").toStdString();
    EXPECT_TRUE(StatusTrail().contains("CRC error in bad.bmp"))
        << StatusTrail().join("\n").toStdString();
    // The file is kept and listed all the same.
    ASSERT_EQ(form->Pictures->PictureList.size(), 1u);
    EXPECT_EQ(form->Pictures->PictureList.front(), PictureFolder() + "bad.bmp");
    std::ifstream in(PictureFolder() + "bad.bmp", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), picture);
    Close();
}

TEST_F(BrowseScriptedTest, GoWithAPortThatIsNoPortSaysSoAndEndsCleanly) {
    for (const std::string server :
         {"127.0.0.1:99999", "127.0.0.1:abc", "127.0.0.1:0", "127.0.0.1:65536"}) {
        const QStringList boxes = StartAndGo(server);
        ASSERT_EQ(boxes.size(), 1) << server;
        std::string expected;
        try {
            CheckServerAddress(server);
        } catch (const Exception &e) {
            expected = e.Message();
        }
        EXPECT_FALSE(expected.empty()) << server;
        EXPECT_EQ(boxes[0].toStdString(), expected);
        // Nothing was locked or begun: Go and the group stay available.
        EXPECT_TRUE(form->btnGo->isEnabled());
        EXPECT_TRUE(form->NGEdit->isEnabled());
        EXPECT_FALSE(form->msNNTP.Connected());
        EXPECT_FALSE(StatusTrail().contains("Opening connection"));
        Close();
        statuses.clear();
    }
}

TEST_F(BrowseScriptedTest, TheProgressBarFollowsTheWalkAndEachFetchAndGoesWhenGoEnds) {
    const std::vector<FakeArticle> articles = {
        {101, "500", "one", std::string(4000, 'a') + "\r\n"},
        {102, "10", "too short to fetch"},
        {104, "500", "three", std::string(4000, 'b') + "\r\n"},
    };
    std::vector<int> fetched;
    ScriptedServer server([&](ServerConnection &c) { Serve(c, articles, fetched); });
    Start(server.Address());
    Choose(test::kBrowseGroups[1]);
    QProgressBar &bar = *form->WalkProgress;
    EXPECT_FALSE(bar.isVisible());
    EXPECT_EQ(bar.accessibleName(), "Progress");

    struct Seen {
        int value, minimum, maximum;
        QString text;
        bool operator==(const Seen &) const = default;
    };
    std::vector<Seen> walk;
    QStringList barPercentages, panelPercentages;
    int shownAfterFetch = 0;
    // The bar as each status text arrives: the walk's place with the headers and after each
    // fetch, the percentage during one.
    QObject::connect(
        form.get(), &TfrmMain::StatusTextChanged, form.get(), [&](int panel, const QString &text) {
            if (panel != TfrmMain::spStatus)
                return;
            if (text.endsWith("% retrieved")) {
                panelPercentages << text.chopped(10);
                if (bar.minimum() == 0 && bar.maximum() == 100)
                    barPercentages << bar.text();
            } else if (text.endsWith(" headers retrieved") || text == "Article retrieved") {
                walk.push_back({bar.value(), bar.minimum(), bar.maximum(), bar.text()});
                shownAfterFetch += text == "Article retrieved" && bar.isVisible();
            }
        });
    ModalCatcher boxes;
    Go();
    EXPECT_EQ(boxes.Count(), 0) << boxes.Texts().join("\n").toStdString();
    EXPECT_EQ(fetched, (std::vector<int>{101, 104}));
    ASSERT_FALSE(walk.empty());
    EXPECT_EQ(walk.front(), (Seen{101, 101, 104, "Article 101 of 104"}));
    EXPECT_EQ(walk.back(), (Seen{104, 101, 104, "Article 104 of 104"}));
    std::vector<int> places;
    for (const Seen &seen : walk)
        if (places.empty() || places.back() != seen.value)
            places.push_back(seen.value);
    EXPECT_EQ(places, (std::vector<int>{101, 102, 104}));
    // During a fetch the bar shows the percentage the status panel shows.
    EXPECT_FALSE(panelPercentages.isEmpty());
    EXPECT_EQ(barPercentages, panelPercentages);
    EXPECT_EQ(shownAfterFetch, 2);
    EXPECT_FALSE(bar.isVisible());
    Close();
}

TEST_F(BrowseScriptedTest, StopInTheMiddleOfTheWalkTakesTheProgressBarAway) {
    std::vector<int> fetched;
    ScriptedServer server([&](ServerConnection &c) { Serve(c, kThree, fetched); });
    Start(server.Address());
    Choose(test::kBrowseGroups[1]);
    bool shownAtStop = false;
    QObject::connect(
        form.get(), &TfrmMain::StatusTextChanged, form.get(), [&](int panel, const QString &text) {
            if (panel == TfrmMain::spStatus && text == "Article retrieved" && !shownAtStop) {
                shownAtStop = form->WalkProgress->isVisible();
                form->CancelButton->click();
            }
        });
    ModalCatcher boxes;
    Go();
    EXPECT_TRUE(shownAtStop);
    EXPECT_LT(fetched.size(), 3u);
    EXPECT_FALSE(form->WalkProgress->isVisible());
    Close();
}

} // namespace
} // namespace vexil
