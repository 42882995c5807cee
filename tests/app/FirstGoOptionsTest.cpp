// A first Go with the overview walk and pipelined fetching switched on in Setup (and over
// TLS) must leave the user with exactly what the classic walk leaves: the same pictures, the
// same Smart Download value, the same status texts. Each run starts from an empty picture
// folder and a fresh settings store against the fixture's picture group.
#include "app/TPicOfPicBox.h"
#include "app/TPictureViewer.h"
#include "app/TSetupDlg.h"
#include "app/TfrmMain.h"

#include "tests/app/BrowseFixture.h"
#include "tests/support/ModalCatcher.h"
#include "tests/support/TestFiles.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>

namespace vexil {
namespace {

namespace fs = std::filesystem;
using test::BrowseFixture;
using test::InnServer;
using test::ModalCatcher;

const QString kPictures = InnServer::PictureGroup;
const QString kSecure = "[TLS] ";

// One line per entry, so that a failure shows where two lists part.
std::string Lines(const QStringList &list) {
    return list.join("\n").toStdString();
}

struct Options {
    bool overview = false;
    int articlesAtOnce = 8;
};

// What a first Go leaves behind that the user can see.
struct Outcome {
    QStringList trail;    // panel 1, "[TLS] " taken off
    QStringList unmarked; // panel 1 texts without "[TLS] "
    QStringList articles; // panel 0
    QStringList shown;    // panel 2
    std::vector<std::string> list;
    std::map<std::string, std::string> files; // picture folder: name -> bytes
    std::optional<std::int32_t> remembered;
    QString picOfPic;
    QStringList boxes;
    std::vector<std::string> log;
};

class FirstGoOptionsTest : public BrowseFixture {
protected:
    ~FirstGoOptionsTest() override {
        if (caFileSet_)
            unsetenv("SSL_CERT_FILE");
    }

    // The fixture's test CA stands in for the system's trusted authorities.
    void TrustTestCa() {
        setenv("SSL_CERT_FILE", inn.CaFile().c_str(), 1);
        caFileSet_ = true;
    }

    // A first Go on the picture group with the command log on and the given options set in
    // Setup as a user does; then the window is closed (the log written) and the program
    // folder and settings are cleared for the next run.
    Outcome FirstGo(const std::string &server, const Options &options) {
        Start(server);
        Choose(kPictures);
        ModalCatcher setup([&](QWidget *modal) {
            auto *dlg = qobject_cast<TSetupDlg *>(modal);
            ASSERT_NE(dlg, nullptr);
            dlg->cbLogFile->setChecked(true);
            dlg->cbUseOverview->setChecked(options.overview);
            dlg->seArticlesAtOnce->setValue(options.articlesAtOnce);
            dlg->OKBtn->click();
        });
        form->SetupButton->click();
        EXPECT_EQ(setup.Count(), 1);

        Outcome out;
        {
            ModalCatcher boxes;
            Go();
            out.boxes = boxes.Texts();
        }
        for (QString text : StatusTrail())
            out.trail << (text.startsWith(kSecure) ? text.remove(0, kSecure.size()) : text);
        for (const QString &text : PanelTexts(TfrmMain::spStatus))
            if (!text.startsWith(kSecure))
                out.unmarked << text;
        out.articles = PanelTexts(TfrmMain::spArticles);
        out.shown = PanelTexts(TfrmMain::spFileName);
        for (const std::string &path : form->Pictures->PictureList)
            out.list.push_back(fs::path(path).filename().string());
        for (const auto &entry : fs::directory_iterator(PictureFolder()))
            out.files[entry.path().filename().string()] = test::ReadFile(entry.path().string());
        out.remembered = Remembered(server, InnServer::PictureGroup);
        out.picOfPic = form->PicOfPic->currentText();
        Close();
        out.log = LogLines();

        statuses.clear();
        fs::remove_all(PictureFolder());
        fs::remove(home.Registry());
        fs::remove(LogFilePath());
        return out;
    }

    // The "N headers retrieved" texts of a trail, or all the others.
    static QStringList HeaderTexts(const QStringList &trail, bool headers) {
        QStringList kept;
        for (const QString &text : trail)
            if (text.endsWith(" headers retrieved") == headers)
                kept << text;
        return kept;
    }

    static bool Sent(const Outcome &run, const std::string &command) {
        for (const std::string &line : run.log)
            if (line.rfind(command, 0) == 0)
                return true;
        return false;
    }

    // Every user-visible part of two runs agrees. Pipelined fetching reads the headers of a
    // range before its articles, so the header counts and the article texts interleave
    // differently; each kind keeps its order, and the run ends on the same text.
    static void ExpectSameAs(const Outcome &classic, const Outcome &run, bool pipelined) {
        if (pipelined) {
            EXPECT_EQ(Lines(HeaderTexts(run.trail, true)), Lines(HeaderTexts(classic.trail, true)));
            EXPECT_EQ(Lines(HeaderTexts(run.trail, false)),
                      Lines(HeaderTexts(classic.trail, false)));
            EXPECT_EQ(run.trail.back(), classic.trail.back());
        } else {
            EXPECT_EQ(Lines(run.trail), Lines(classic.trail));
        }
        EXPECT_EQ(Lines(run.articles), Lines(classic.articles));
        EXPECT_EQ(Lines(run.shown), Lines(classic.shown));
        EXPECT_EQ(run.list, classic.list);
        EXPECT_EQ(run.files, classic.files);
        EXPECT_EQ(run.remembered, classic.remembered);
        EXPECT_EQ(run.picOfPic, classic.picOfPic);
        EXPECT_EQ(Lines(run.boxes), Lines(classic.boxes));
    }

    // The classic run is itself sound: every expected picture exact, nothing asked.
    void ExpectSoundClassic(const Outcome &classic) {
        ASSERT_FALSE(classic.list.empty());
        EXPECT_TRUE(classic.boxes.isEmpty()) << classic.boxes.join("\n").toStdString();
        EXPECT_EQ(classic.files.size(), classic.list.size());
        for (const auto &[name, bytes] : classic.files)
            EXPECT_EQ(bytes, inn.Original(InnServer::PictureGroup, name)) << name;
        EXPECT_TRUE(classic.remembered.has_value());
        EXPECT_EQ(classic.trail.back(), "Last available header retrieved");
        EXPECT_FALSE(Sent(classic, "OVER") || Sent(classic, "XOVER"));
    }

    // The new ways were really taken: headers from the overview, articles by number without
    // the per-article STAT and HEAD.
    static void ExpectOverviewAndPipeline(const Outcome &run) {
        EXPECT_TRUE(Sent(run, "OVER ") || Sent(run, "XOVER "));
        EXPECT_TRUE(Sent(run, "ARTICLE "));
        EXPECT_FALSE(Sent(run, "HEAD"));
        EXPECT_FALSE(Sent(run, "NEXT"));
    }

private:
    bool caFileSet_ = false;
};

TEST_F(FirstGoOptionsTest, TheOverviewAndPipelinedFetchingLeaveWhatTheClassicWalkLeaves) {
    const Outcome classic = FirstGo(inn.Address(), {});
    ExpectSoundClassic(classic);
    // A plain connection never claims to be secure.
    for (const QString &text : classic.unmarked)
        EXPECT_FALSE(text.contains("TLS")) << text.toStdString();
    EXPECT_GE(classic.unmarked.size(), classic.trail.size());

    // One article at a time and the deepest pipeline: the same either way.
    for (int depth : {1, 8, 32}) {
        SCOPED_TRACE("articles at once: " + std::to_string(depth));
        const Outcome fast = FirstGo(inn.Address(), {true, depth});
        ExpectOverviewAndPipeline(fast);
        ExpectSameAs(classic, fast, true);
    }
}

TEST_F(FirstGoOptionsTest, OverTlsTheNewOptionsLeaveTheSameAndEveryStatusSaysSecure) {
    TrustTestCa();
    const Outcome classic = FirstGo(inn.Address(), {});
    ExpectSoundClassic(classic);

    const std::string server = "nntps://" + inn.TlsAddress();
    const Outcome secureClassic = FirstGo(server, {});
    ExpectSameAs(classic, secureClassic, false);
    const Outcome secureFast = FirstGo(server, {true, 8});
    ExpectOverviewAndPipeline(secureFast);
    ExpectSameAs(classic, secureFast, true);
    // Everything said while connected says so; only the opening comes before TLS.
    for (const Outcome *run : {&secureClassic, &secureFast})
        EXPECT_EQ(run->unmarked, QStringList{"Opening connection"});
}

} // namespace
} // namespace vexil
