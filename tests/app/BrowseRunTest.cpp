// The browse run as a user meets it: the main window on Qt's offscreen platform, Go pressed
// against the private INN servers of the test fixture (one open, one that wants a login).
#include "app/TBrowseRun.h"
#include "app/TPicOfPicBox.h"
#include "app/TPictureViewer.h"
#include "app/TSetupDlg.h"
#include "app/TfrmMain.h"
#include "browse/SmartDownloadMemory.h"
#include "net/TmsNNTP.h"
#include "platform/TRegistry.h"

#include "tests/app/BrowseFixture.h"
#include "tests/browse/CommaLinesGroup.h"
#include "tests/support/ModalCatcher.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace vexil {
namespace {

namespace fs = std::filesystem;
using test::BrowseFixture;
using test::CompareExchange;
using test::FetchedByDefault;
using test::InnServer;
using test::kBrowseGroups;
using test::ModalCatcher;
using test::PostedArticle;

const QString kPictures = InnServer::PictureGroup;

std::string Num(std::size_t n) {
    return std::to_string(n);
}

// What a walk from article `from` on sends and reads back, up to the group's end, with the
// default limits: HEAD for each article, STAT, HEAD and ARTICLE for those fetched, NEXT.
// With `statuses`, each status text written meanwhile follows the line it came after, as
// "[panel] text" (a run of percentages as "[1] %"), for a walk into an empty picture list.
std::vector<std::string> WalkExchange(const std::vector<PostedArticle> &posted, std::size_t from,
                                      bool statuses = false) {
    std::vector<std::string> x;
    bool shown = false;
    for (std::size_t n = from; n <= posted.size(); ++n) {
        x.insert(x.end(), {"HEAD", "221 " + Num(n) + " *"});
        if (statuses)
            x.push_back("[1] " + Num(n - from + 1) + " headers retrieved");
        const PostedArticle &article = posted[n - 1];
        if (FetchedByDefault(article)) {
            x.insert(x.end(), {"STAT " + Num(n), "223 " + Num(n) + " *", "HEAD",
                               "221 " + Num(n) + " *", "ARTICLE", "220 " + Num(n) + " *"});
            if (statuses)
                x.insert(x.end(), {"[1] %", "[1] Article retrieved"});
            // The first picture is shown as soon as it is stored.
            for (const std::string &name : article.attachments)
                if (statuses && !shown && IsPictureFile(name)) {
                    x.push_back("[2] " + name);
                    shown = true;
                }
        }
        x.insert(x.end(), {"NEXT", n < posted.size() ? "223 " + Num(n + 1) + " *" : "421*"});
    }
    if (statuses)
        x.push_back("[1] Last available header retrieved");
    return x;
}

// The status texts of a walk from article `from` on, numbering its headers from 1.
QStringList WalkTrail(const std::vector<PostedArticle> &posted, std::size_t from) {
    QStringList trail;
    for (std::size_t n = from; n <= posted.size(); ++n) {
        trail << QString::number(n - from + 1) + " headers retrieved";
        if (FetchedByDefault(posted[n - 1]))
            trail << "%"
                  << "Article retrieved";
    }
    return trail << "Last available header retrieved";
}

// The picture files that the articles from `from` on leave in the picture folder.
std::vector<std::string> PicturesFrom(const std::vector<PostedArticle> &posted, std::size_t from) {
    std::vector<std::string> names;
    for (std::size_t n = from; n <= posted.size(); ++n)
        if (FetchedByDefault(posted[n - 1]))
            for (const std::string &name : posted[n - 1].attachments)
                if (IsPictureFile(name))
                    names.push_back(name);
    return names;
}

std::vector<std::string> Tail(const std::vector<std::string> &lines, std::size_t from) {
    return {lines.begin() + static_cast<std::ptrdiff_t>(std::min(from, lines.size())), lines.end()};
}

std::vector<std::string> FolderNames(const std::string &folder) {
    std::vector<std::string> names;
    for (const auto &entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class BrowseRunTest : public BrowseFixture {
protected:
    std::vector<PostedArticle> posted = inn.Articles(InnServer::PictureGroup);
};

TEST_F(BrowseRunTest, AFirstGoFetchesThePicturesShowsTheFirstAndRemembersEachArticle) {
    Start(inn.Address());
    Choose(kPictures);
    // The memory as it stands when each header arrives.
    std::vector<std::optional<std::int32_t>> memory;
    QObject::connect(form.get(), &TfrmMain::StatusTextChanged, form.get(),
                     [&](int panel, const QString &text) {
                         if (panel == TfrmMain::spStatus && text.endsWith(" headers retrieved"))
                             memory.push_back(Remembered(inn.Address(), InnServer::PictureGroup));
                     });
    ModalCatcher boxes;
    Go();
    EXPECT_EQ(boxes.Count(), 0) << boxes.Texts().join("\n").toStdString();

    // With no memory the walk starts at the first article itself.
    EXPECT_EQ(StatusTrail(), QStringList{"Opening connection"} + WalkTrail(posted, 1));
    EXPECT_EQ(PanelTexts(TfrmMain::spArticles),
              QStringList{"Total articles: " + QString::number(posted.size())});

    const std::vector<std::string> names = PicturesFrom(posted, 1);
    ASSERT_FALSE(names.empty());
    std::vector<std::string> expectedList;
    for (const std::string &name : names)
        expectedList.push_back(PictureFolder() + name);
    EXPECT_EQ(form->Pictures->PictureList, expectedList);
    // The first picture is shown as it arrives; the later ones only raise the count.
    EXPECT_EQ(PanelTexts(TfrmMain::spFileName), QStringList{QString::fromStdString(names[0])});
    EXPECT_EQ(form->Pictures->CurIndex, 0);
    EXPECT_EQ(form->PicOfPic->currentText(), "1 of " + QString::number(names.size()));
    // Picture files stay byte for byte; the PNG and every other file are gone.
    std::vector<std::string> sorted = names;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(FolderNames(PictureFolder()), sorted);
    for (const std::string &name : names)
        EXPECT_EQ(test::ReadFile(PictureFolder() + name),
                  inn.Original(InnServer::PictureGroup, name));

    // The memory moves on with every article that passed the Lines filter, also with those
    // that the subject rule passed over.
    std::optional<std::int32_t> expected;
    for (std::size_t i = 0; i < memory.size(); ++i) {
        EXPECT_EQ(memory[i], expected) << "when header " << i + 1 << " arrived";
        const PostedArticle &a = posted[i];
        if (150 < a.lines && a.lines < 100000)
            expected = static_cast<std::int32_t>(i + 1);
    }
    EXPECT_EQ(Remembered(inn.Address(), InnServer::PictureGroup), expected);
    EXPECT_EQ(memory.size(), posted.size());

    // The group stays locked until Stop; Go is available again.
    EXPECT_FALSE(form->NGEdit->isEnabled());
    EXPECT_TRUE(form->btnGo->isEnabled());
}

TEST_F(BrowseRunTest, AFirstGoGoesOverTheWireInItsOrderAndTheCloseSaysQuit) {
    Start(inn.Address());
    Choose(kPictures);
    // The log is switched on as a user does it: Setup, Advanced, the log box, OK.
    ModalCatcher setup([](QWidget *modal) {
        auto *dlg = qobject_cast<TSetupDlg *>(modal);
        ASSERT_NE(dlg, nullptr);
        dlg->cbLogFile->setChecked(true);
        dlg->OKBtn->click();
    });
    form->SetupButton->click();
    ASSERT_EQ(setup.Count(), 1);
    EXPECT_EQ(form->msNNTP.LogFileName(), LogFilePath());
    // Where in the exchange each status text is written: after how many lines of the log.
    std::vector<std::pair<std::size_t, std::string>> written;
    QObject::connect(form.get(), &TfrmMain::StatusTextChanged, form.get(),
                     [&](int panel, const QString &text) {
                         std::string entry = "[" + Num(std::size_t(panel)) + "] ";
                         entry += text.endsWith("% retrieved") ? "%" : text.toStdString();
                         if (written.empty() || written.back().second != entry)
                             written.emplace_back(form->msNNTP.LogLines().size(), entry);
                     });
    Go();
    Close();

    // The log file with the status texts put where they came.
    const std::vector<std::string> log = LogLines();
    std::vector<std::string> merged;
    auto next = written.begin();
    for (std::size_t line = 0; line <= log.size(); ++line) {
        for (; next != written.end() && next->first == line; ++next)
            merged.push_back(next->second);
        if (line < log.size())
            merged.push_back(log[line]);
    }
    std::vector<std::string> expected = {"[1] Opening connection",
                                         "200 *",
                                         "GROUP " + kPictures.toStdString(),
                                         "211 " + Num(posted.size()) + " 1 *",
                                         "[0] Total articles: " + Num(posted.size()),
                                         "STAT 1",
                                         "223 1 *"};
    const std::vector<std::string> walk = WalkExchange(posted, 1, true);
    expected.insert(expected.end(), walk.begin(), walk.end());
    expected.insert(expected.end(), {"QUIT", "205*"});
    EXPECT_EQ(CompareExchange(merged, expected), "");
}

TEST_F(BrowseRunTest, ASecondGoSelectsTheGroupAfreshAndContinuesAfterTheRememberedArticle) {
    Start(inn.Address());
    Choose(kPictures);
    form->msNNTP.SetLogFileName(LogFilePath());
    Go();
    const std::size_t firstRun = form->msNNTP.LogLines().size();
    const auto pictures = form->Pictures->PictureList;
    const std::int32_t remembered = *Remembered(inn.Address(), InnServer::PictureGroup);
    statuses.clear();

    ModalCatcher boxes;
    Go();
    EXPECT_EQ(boxes.Count(), 0);
    // The chosen group is the second entry: the first comes in between.
    std::vector<std::string> expected = {"GROUP " + kBrowseGroups[0].toStdString(),
                                         "211 *",
                                         "GROUP " + kPictures.toStdString(),
                                         "211 *",
                                         "STAT " + Num(remembered),
                                         "223 " + Num(remembered) + " *",
                                         "NEXT",
                                         "223 " + Num(remembered + 1) + " *"};
    const std::vector<std::string> walk = WalkExchange(posted, remembered + 1);
    expected.insert(expected.end(), walk.begin(), walk.end());
    EXPECT_EQ(CompareExchange(Tail(form->msNNTP.LogLines(), firstRun), expected), "");
    EXPECT_EQ(StatusTrail(), WalkTrail(posted, remembered + 1));
    EXPECT_EQ(
        PanelTexts(TfrmMain::spArticles),
        (QStringList{"Total articles: 0", "Total articles: " + QString::number(posted.size())}));
    EXPECT_EQ(form->Pictures->PictureList, pictures);
}

TEST_F(BrowseRunTest, ResetAndGoFetchesEverythingAgainButNeitherWritesNorListsItTwice) {
    Start(inn.Address());
    Choose(kPictures);
    Go();
    const auto pictures = form->Pictures->PictureList;
    const auto files = FolderNames(PictureFolder());
    ASSERT_FALSE(pictures.empty());
    {
        TRegistry store;
        ASSERT_TRUE(ResetSmartDownload(store));
    }
    statuses.clear();
    ModalCatcher boxes;
    Go();
    EXPECT_EQ(boxes.Count(), 0) << boxes.Texts().join("\n").toStdString();
    EXPECT_EQ(StatusTrail(), WalkTrail(posted, 1)) << "every article is fetched again";
    EXPECT_EQ(form->Pictures->PictureList, pictures);
    EXPECT_EQ(form->PicOfPic->currentText(), "1 of " + QString::number(pictures.size()));
    EXPECT_EQ(FolderNames(PictureFolder()), files);

    // The window started again lists the folder once, whatever was fetched twice.
    Close();
    Start(inn.Address());
    EXPECT_EQ(form->Pictures->PictureList.size(), pictures.size());
}

TEST_F(BrowseRunTest, AGroupBeyondTheFirstTwoEntriesIsSelectedThreeTimesOver) {
    Start(inn.Address());
    Choose(kBrowseGroups[2]);
    form->msNNTP.SetLogFileName(LogFilePath());
    Go();
    const std::size_t firstRun = form->msNNTP.LogLines().size();
    Go();
    std::vector<std::string> groups;
    for (const std::string &line : Tail(form->msNNTP.LogLines(), firstRun))
        if (line.rfind("GROUP ", 0) == 0)
            groups.push_back(line.substr(6));
    EXPECT_EQ(groups, (std::vector<std::string>{kBrowseGroups[0].toStdString(),
                                                kBrowseGroups[1].toStdString(),
                                                kBrowseGroups[2].toStdString()}));
    // Text articles are shorter than the lower limit: nothing to fetch, nothing to remember.
    EXPECT_TRUE(form->Pictures->PictureList.empty());
    EXPECT_FALSE(Remembered(inn.Address(), InnServer::TextGroup));
}

TEST_F(BrowseRunTest, ARememberedArticleIsWhereTheWalkGoesOnAndOneBeyondTheEndEndsIt) {
    Remember(inn.Address(), InnServer::PictureGroup, 12);
    Start(inn.Address());
    Choose(kPictures);
    Go();
    EXPECT_EQ(StatusTrail(), QStringList{"Opening connection"} + WalkTrail(posted, 13));
    ASSERT_FALSE(form->Pictures->PictureList.empty());
    EXPECT_EQ(form->Pictures->PictureList.front(), PictureFolder() + PicturesFrom(posted, 13)[0]);

    // A number above the group's last article: positioned on the last, nothing follows.
    Remember(inn.Address(), InnServer::PictureGroup, 100000);
    statuses.clear();
    form->msNNTP.SetLogFileName(LogFilePath());
    Go();
    EXPECT_EQ(StatusTrail(), QStringList{"Last available header retrieved"});
    const std::vector<std::string> log = form->msNNTP.LogLines();
    ASSERT_GE(log.size(), 4u);
    EXPECT_EQ(CompareExchange(Tail(log, log.size() - 4),
                              {"STAT " + Num(posted.size()), "223*", "NEXT", "421*"}),
              "");
}

TEST_F(BrowseRunTest, WithoutSmartDownloadTheWalkStartsAtTheFirstArticleAndLeavesNoMemory) {
    Start(inn.Address(), false);
    Choose(kPictures);
    form->msNNTP.SetLogFileName(LogFilePath());
    Go();
    const std::vector<std::string> walk = WalkExchange(posted, 1);
    std::vector<std::string> expected = {"200 *", "GROUP " + kPictures.toStdString(), "211 *",
                                         "STAT 1", "223 1 *"};
    expected.insert(expected.end(), walk.begin(), walk.end());
    EXPECT_EQ(CompareExchange(form->msNNTP.LogLines(), expected), "");
    ASSERT_FALSE(form->Pictures->PictureList.empty());
    EXPECT_EQ(form->Pictures->PictureList.front(), PictureFolder() + posted[0].attachments[0]);
    EXPECT_FALSE(MemoryKeyExists());
}

TEST_F(BrowseRunTest, AServerThatWantsALoginGetsOneAndAWrongPasswordEndsInItsReply) {
    {
        test::SettingsKey store(true);
        store.WriteString("User", inn.User());
        store.WriteString("Pass", inn.Password());
    }
    Start(inn.AuthAddress());
    Choose(kPictures);
    form->msNNTP.SetLogFileName(LogFilePath());
    ModalCatcher boxes;
    Go();
    EXPECT_EQ(boxes.Count(), 0) << boxes.Texts().join("\n").toStdString();
    // The login, then the walk as without one.
    const std::vector<std::string> log = form->msNNTP.LogLines();
    EXPECT_EQ(CompareExchange({log.begin(), log.begin() + std::min<std::size_t>(13, log.size())},
                              {"200 *", "GROUP " + kPictures.toStdString(), "480*",
                               "AUTHINFO USER " + inn.User(), "381*", "AUTHINFO PASS ********",
                               "281*", "GROUP " + kPictures.toStdString(), "211*", "STAT 1",
                               "223 1 *", "HEAD", "221 1 *"}),
              "");
    EXPECT_EQ(form->Pictures->PictureList.size(), PicturesFrom(posted, 1).size());

    // A new connection with the wrong password: the server's refusal is the message.
    Close();
    statuses.clear();
    {
        test::SettingsKey store(true);
        store.WriteString("Pass", "not-the-password");
    }
    Start(inn.AuthAddress());
    Choose(kPictures);
    const auto before = form->Pictures->PictureList.size();
    Go();
    ASSERT_EQ(boxes.Count(), 1);
    const QString refusal = boxes.Texts()[0];
    EXPECT_TRUE(refusal.startsWith("481")) << refusal.toStdString();
    EXPECT_EQ(refusal.toStdString(), form->msNNTP.LastReply());
    EXPECT_EQ(form->Pictures->PictureList.size(), before);
}

TEST_F(BrowseRunTest, StopDuringARunCancelsItAndTheNextGoCarriesOn) {
    Start(inn.Address());
    Choose(kPictures);
    // The fourth article's header arrives; it passes, so its fetch is under way when Stop
    // is pressed.
    When("4 headers retrieved", [this] { form->CancelButton->click(); });
    ModalCatcher boxes;
    Go();
    ASSERT_NO_FATAL_FAILURE(ExpectStopped(boxes));
    // The second article is the last one remembered; the fourth was not fetched.
    EXPECT_EQ(Remembered(inn.Address(), InnServer::PictureGroup), 2);
    EXPECT_TRUE(form->NGEdit->isEnabled());
    EXPECT_FALSE(form->msNNTP.Connected());

    statuses.clear();
    Go();
    EXPECT_EQ(boxes.Count(), 1);
    EXPECT_EQ(StatusTrail(), QStringList{"Opening connection"} + WalkTrail(posted, 3));
}

TEST_F(BrowseRunTest, StopAfterARunUnlocksTheGroupAndClosesTheConnection) {
    Start(inn.Address());
    Choose(kPictures);
    Go();
    ASSERT_FALSE(form->NGEdit->isEnabled());
    ASSERT_TRUE(form->msNNTP.Connected());
    statuses.clear();
    ModalCatcher boxes;
    form->CancelButton->click();
    EXPECT_TRUE(form->NGEdit->isEnabled());
    EXPECT_EQ(StatusTrail(), (QStringList{"Oparation has been canceled", "Connection closed"}));
    EXPECT_FALSE(form->msNNTP.Connected());
    EXPECT_EQ(boxes.Count(), 0);
    statuses.clear();
    Go();
    EXPECT_EQ(StatusTrail().value(0), "Opening connection");
}

TEST_F(BrowseRunTest, ClosingDuringARunCancelsItAndWritesTheSettings) {
    Start(inn.Address());
    Choose(kPictures);
    form->msNNTP.SetLogFileName(LogFilePath());
    form->Settings.MinLines = 160;
    When("4 headers retrieved", [this] { form->close(); });
    ModalCatcher boxes;
    Go();
    // The user closed the window: the run ends without a box.
    EXPECT_EQ(boxes.Count(), 0) << boxes.Texts().join("\n").toStdString();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(StatusTrail().mid(StatusTrail().size() - 3), test::kCanceledTrail);
    Close();
    test::SettingsKey store(true);
    EXPECT_EQ(store.ReadInteger("MinLines"), 160);
    EXPECT_EQ(store.ReadString("Server"), inn.Address());
    // The connection was already gone: no QUIT.
    const std::vector<std::string> log = LogLines();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(std::count(log.begin(), log.end(), "QUIT"), 0);
    EXPECT_EQ(Remembered(inn.Address(), InnServer::PictureGroup), 2);
}

TEST_F(BrowseRunTest, ASecondGoIsRefusedWhileARunIsInProgress) {
    Start(inn.Address());
    Choose(kPictures);
    bool disabled = false;
    std::string refusal;
    const int before = int(form->Pictures->PictureList.size());
    When("2 headers retrieved", [&] {
        disabled = !form->btnGo->isEnabled();
        try {
            form->btnGoClick();
        } catch (const EBrowseError &e) {
            refusal = e.Message();
        }
    });
    Go();
    EXPECT_TRUE(disabled);
    EXPECT_NE(refusal.find("in progress"), std::string::npos) << refusal;
    // The one run went on to the end undisturbed.
    EXPECT_EQ(StatusTrail(), QStringList{"Opening connection"} + WalkTrail(posted, 1));
    EXPECT_EQ(int(form->Pictures->PictureList.size()) - before,
              int(PicturesFrom(posted, 1).size()));
}

TEST_F(BrowseRunTest, AnEmptyGroupEndsTheRunAtOnce) {
    Start(inn.Address());
    Choose("alt.binaries.pictures.empty");
    ModalCatcher boxes;
    Go();
    EXPECT_EQ(boxes.Count(), 0) << boxes.Texts().join("\n").toStdString();
    EXPECT_EQ(StatusTrail(),
              (QStringList{"Opening connection", "Last available header retrieved"}));
    EXPECT_EQ(PanelTexts(TfrmMain::spArticles), QStringList{"Total articles: 0"});
}

TEST_F(BrowseRunTest, LimitsAreStrictAtBothEnds) {
    // The MIME picture of article 2 has exactly the lower limit, the pair of article 4
    // exactly the upper one: both are passed over.
    ASSERT_EQ(posted[1].kind, "mime");
    ASSERT_EQ(posted[3].kind, "uu-two");
    Start(inn.Address(), true, posted[1].lines, posted[3].lines);
    Choose(kPictures);
    form->msNNTP.SetLogFileName(LogFilePath());
    Go();
    std::vector<std::string> articles;
    for (const std::string &line : form->msNNTP.LogLines())
        if (line.rfind("STAT ", 0) == 0)
            articles.push_back(line.substr(5));
    for (const char *n : {"2", "4"})
        EXPECT_EQ(std::count(articles.begin(), articles.end(), n), 0) << n;
    const auto names = form->Pictures->PictureList;
    EXPECT_EQ(std::count(names.begin(), names.end(), PictureFolder() + posted[3].attachments[0]),
              0);
}

TEST_F(BrowseRunTest, ALinesHeaderWithAThousandsCommaCountsAsItsNumber) {
    const test::CommaLinesGroup group = test::PostCommaLinesArticle("alt.test.lines-comma.window");
    std::ofstream(home.Home() + "Vexil.Dat", std::ios::binary | std::ios::app)
        << group.Group << "\r\n";
    Start(inn.Address());
    Choose(QString::fromStdString(group.Group));
    ModalCatcher boxes;
    Go();
    EXPECT_EQ(boxes.Count(), 0) << boxes.Texts().join("\n").toStdString();
    ASSERT_EQ(form->Pictures->PictureList.size(), 1u);
    EXPECT_EQ(test::ReadFile(form->Pictures->PictureList[0]), group.Picture);
    EXPECT_EQ(std::filesystem::path(form->Pictures->PictureList[0]).filename(), group.PictureName);
    EXPECT_EQ(Remembered(inn.Address(), group.Group), 1);
}

} // namespace
} // namespace vexil
