// The setup dialog as the Setup button opens it: filled from the window, applied on OK,
// Get Groups against the private INN, Reset of the Smart Download memory.
#include "app/PictureGroups.h"
#include "app/TBrowseRun.h"
#include "app/TPictureViewer.h"
#include "app/TSetupDlg.h"
#include "app/TfrmMain.h"
#include "browse/TMainSettings.h"
#include "net/ServerAddress.h"
#include "net/TmsNNTP.h"
#include "platform/TRegistry.h"
#include "tests/net/ScriptedServer.h"

#include "tests/app/BrowseFixture.h"
#include "tests/app/SetupRun.h"
#include "tests/support/ModalCatcher.h"
#include "tests/support/QtTestHelpers.h"
#include "tests/support/ScopedEnv.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolButton>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>

namespace vexil {
namespace {

using test::BrowseFixture;
using test::InnServer;
using test::ModalCatcher;
using test::WithSetup;

QStringList ItemsOf(const QComboBox *box) {
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

class SetupDlgTest : public BrowseFixture {};

TEST_F(SetupDlgTest, TheDialogOpensOnTheServerTabFilledFromTheWindow) {
    Start("news.example.net");
    form->msNNTP.UserName = "reader";
    form->msNNTP.Password = "s3cret";
    WithSetup(*form, [](TSetupDlg &dlg) {
        EXPECT_EQ(dlg.windowTitle(), "Setup");
        EXPECT_GE(dlg.width(), 441);
        EXPECT_GE(dlg.height(), 266);
        EXPECT_EQ(dlg.minimumSize(), dlg.maximumSize());
        QStringList tabs;
        for (int i = 0; i < dlg.pcMain->count(); ++i)
            tabs << dlg.pcMain->tabText(i);
        EXPECT_EQ(tabs, (QStringList{"Server", "Smart Download", "Advanced", "Login"}));
        EXPECT_EQ(dlg.pcMain->currentWidget(), dlg.tsMain);
        EXPECT_EQ(dlg.ServerEdit->currentText(), "news.example.net");
        EXPECT_TRUE(dlg.ServerEdit->isEditable());
        const QStringList servers = ItemsOf(dlg.ServerEdit);
        EXPECT_TRUE(servers.contains("news"));
        QStringList sorted = servers;
        sorted.sort(Qt::CaseInsensitive);
        EXPECT_EQ(servers, sorted);
        EXPECT_EQ(dlg.eName->text(), "reader");
        EXPECT_EQ(dlg.ePass->text(), "s3cret");
        EXPECT_EQ(dlg.ePass->echoMode(), QLineEdit::Password);
        EXPECT_EQ(dlg.eMinLines->text(), "150");
        EXPECT_EQ(dlg.eMaxLines->text(), "100000");
        EXPECT_TRUE(dlg.cbSmartDownLoad->isChecked());
        EXPECT_FALSE(dlg.cbLogFile->isChecked());
        // The user's own state folder, not a folder every user of the machine shares.
        EXPECT_EQ(dlg.cbLogFile->text(), "Create Log File in " +
                                             QString::fromLocal8Bit(std::getenv("XDG_STATE_HOME")) +
                                             "/vexil/VEXIL.LOG");
        EXPECT_EQ(dlg.cbSmartDownLoad->text(), "Use Smart Download (recommended)");
        EXPECT_EQ(dlg.cb256Color->text(), "Run in 256 Color Mode (Slower)");
        // Every control the keyboard reaches tells assistive tools what it is.
        for (QWidget *w : dlg.findChildren<QWidget *>()) {
            if (!(w->focusPolicy() & Qt::TabFocus) || !w->isVisibleTo(&dlg) ||
                w->inherits("QTabBar"))
                continue;
            QString name = w->accessibleName();
            if (auto *button = qobject_cast<QAbstractButton *>(w))
                name = name.isEmpty() ? button->text() : name;
            EXPECT_FALSE(name.isEmpty()) << w->metaObject()->className();
        }
        // Cancel applies nothing.
        dlg.eMinLines->setText("999");
        dlg.ServerEdit->setEditText("other");
        dlg.CancelBtn->click();
    });
    EXPECT_EQ(form->Settings.MinLines, 150);
    EXPECT_EQ(form->msNNTP.Server(), "news.example.net");
}

TEST_F(SetupDlgTest, OkAppliesEveryFieldWithTheRulesForTheLimits) {
    Start("news");
    WithSetup(*form, [](TSetupDlg &dlg) {
        dlg.ServerEdit->setEditText("news.other.example:1119");
        dlg.eName->setText("me");
        dlg.ePass->setText("pw");
        dlg.cb256Color->setChecked(true);
        dlg.eMinLines->setText("2.5 lines");
        dlg.eMaxLines->setText("");
        dlg.cbSmartDownLoad->setChecked(false);
        dlg.OKBtn->click();
    });
    EXPECT_EQ(form->msNNTP.Server(), "news.other.example:1119");
    EXPECT_EQ(form->msNNTP.UserName, "me");
    EXPECT_EQ(form->msNNTP.Password, "pw");
    EXPECT_TRUE(form->Settings.SlowColor);
    EXPECT_EQ(form->Settings.MinLines, 2);
    EXPECT_EQ(form->Settings.MaxLines, 100000);
    EXPECT_FALSE(form->Settings.SmartDownload);

    WithSetup(*form, [](TSetupDlg &dlg) {
        EXPECT_EQ(dlg.ServerEdit->currentText(), "news.other.example:1119");
        EXPECT_TRUE(dlg.cb256Color->isChecked());
        EXPECT_FALSE(dlg.cbSmartDownLoad->isChecked());
        dlg.eMinLines->setText("3.5");
        dlg.eMaxLines->setText("1,234");
        dlg.OKBtn->click();
    });
    EXPECT_EQ(form->Settings.MinLines, 4);
    EXPECT_EQ(form->Settings.MaxLines, 1234);
}

TEST_F(SetupDlgTest, LimitsTakenInSetupGovernTheNextGoAndUnshownSettingsPassThrough) {
    {
        test::SettingsKey store(true);
        store.WriteString("EMail Address", "me@example.invalid");
    }
    Start(inn.Address());
    Choose(test::kBrowseGroups[1]);
    WithSetup(*form, [](TSetupDlg &dlg) {
        dlg.eMinLines->setText("99998");
        dlg.OKBtn->click();
    });
    ModalCatcher boxes;
    Go();
    EXPECT_EQ(boxes.Count(), 0) << boxes.Texts().join("\n").toStdString();
    // Every header is looked at, none passes the new lower limit.
    EXPECT_TRUE(StatusTrail().contains(
        QString::number(inn.Articles(InnServer::PictureGroup).size()) + " headers retrieved"));
    EXPECT_FALSE(StatusTrail().contains("Article retrieved"));
    EXPECT_TRUE(form->Pictures->PictureList.empty());
    form->close(); // writes the settings
    Close();
    test::SettingsKey store(false);
    EXPECT_EQ(store.ReadString("EMail Address"), "me@example.invalid");
    EXPECT_EQ(store.ReadInteger("MinLines"), 99998);
}

TEST_F(SetupDlgTest, ALimitBeyondThirtyTwoBitsIsRefusedAndTheDialogStaysOpen) {
    Start("news");
    QStringList boxes;
    WithSetup(
        *form,
        [](TSetupDlg &dlg) {
            dlg.eMaxLines->setText("99999999999");
            dlg.OKBtn->click();
            EXPECT_TRUE(dlg.isVisible());
            EXPECT_EQ(dlg.pcMain->currentWidget(), dlg.tsAdvanced);
            dlg.eMaxLines->setText("5000");
            dlg.eMinLines->setText("-2147483649");
            dlg.OKBtn->click();
            EXPECT_TRUE(dlg.isVisible());
            dlg.eMinLines->setText("-2147483648");
            dlg.OKBtn->click();
            EXPECT_FALSE(dlg.isVisible());
        },
        &boxes);
    ASSERT_EQ(boxes.size(), 2);
    EXPECT_TRUE(boxes[0].contains("Ignore messages with more than")) << boxes[0].toStdString();
    EXPECT_TRUE(boxes[1].contains("Ignore messages with less than")) << boxes[1].toStdString();
    EXPECT_EQ(form->Settings.MaxLines, 5000);
    EXPECT_EQ(form->Settings.MinLines, -2147483647 - 1);
}

TEST_F(SetupDlgTest, AServerPortThatIsNoPortIsRefusedAndTheDialogStaysOpen) {
    Start("news");
    const std::vector<std::string> bad = {"host:99999", "host:abc", "host:0", "host:65536"};
    QStringList boxes;
    WithSetup(
        *form,
        [&](TSetupDlg &dlg) {
            for (const std::string &server : bad) {
                dlg.pcMain->setCurrentWidget(dlg.tsLogin);
                dlg.ServerEdit->setEditText(QString::fromStdString(server));
                dlg.OKBtn->click();
                EXPECT_TRUE(dlg.isVisible()) << server;
                EXPECT_EQ(dlg.pcMain->currentWidget(), dlg.tsMain) << server;
            }
            dlg.ServerEdit->setEditText("host:8119");
            dlg.OKBtn->click();
            EXPECT_FALSE(dlg.isVisible());
        },
        &boxes);
    ASSERT_EQ(boxes.size(), int(bad.size()));
    for (std::size_t i = 0; i < bad.size(); ++i) {
        std::string expected;
        try {
            CheckServerAddress(bad[i]);
        } catch (const Exception &e) {
            expected = e.Message();
        }
        EXPECT_FALSE(expected.empty()) << bad[i];
        EXPECT_EQ(boxes[int(i)].toStdString(), expected);
    }
    // Only the address that can be used was taken.
    EXPECT_EQ(form->msNNTP.Server(), "host:8119");
}

TEST_F(SetupDlgTest, TheLogsPathInTheUsersHomeFitsTheAdvancedTab) {
    // The default state folder of a user with a name of some length.
    const test::ScopedEnv state("XDG_STATE_HOME", nullptr);
    const test::ScopedEnv home("HOME", "/home/alexandra.featherstonehaugh");
    TSetupDlg dlg;
    // Inside the home folder the path is written from "~".
    EXPECT_EQ(dlg.cbLogFile->text(), "Create Log File in ~/.local/state/vexil/VEXIL.LOG");
    EXPECT_EQ(dlg.cbLogFile->toolTip(),
              "/home/alexandra.featherstonehaugh/.local/state/vexil/VEXIL.LOG");
    dlg.pcMain->setCurrentWidget(dlg.tsAdvanced);
    EXPECT_EQ(test::CutOffTexts(dlg).join(" | ").toStdString(), "");
}

TEST_F(SetupDlgTest, TheLogBoxKeepsItsStateAndClearingItStopsTheLog) {
    Start("news");
    WithSetup(*form, [](TSetupDlg &dlg) {
        dlg.cbLogFile->setChecked(true);
        dlg.OKBtn->click();
    });
    EXPECT_EQ(form->msNNTP.LogFileName(), LogFilePath());
    WithSetup(*form, [](TSetupDlg &dlg) {
        EXPECT_TRUE(dlg.cbLogFile->isChecked());
        dlg.cbLogFile->setChecked(false);
        dlg.OKBtn->click();
    });
    EXPECT_TRUE(form->msNNTP.LogFileName().empty());
    Close();
    EXPECT_FALSE(std::filesystem::exists(LogFilePath()));
}

TEST_F(SetupDlgTest, GetGroupsKeepsExactlyThePictureGroups) {
    Start("news");
    const std::string dataFile = home.Home() + "Vexil.Dat";
    QStringList boxes;
    WithSetup(
        *form,
        [&](TSetupDlg &dlg) {
            dlg.ServerEdit->setEditText(QString::fromStdString(inn.Address()));
            dlg.btnGetGroup->click();
            dlg.CancelBtn->click();
        },
        &boxes);
    EXPECT_TRUE(boxes.isEmpty()) << boxes.join("\n").toStdString();
    // Get Groups took the server at once, and Cancel does not take it back.
    EXPECT_EQ(form->msNNTP.Server(), inn.Address());
    const std::vector<std::string> kept = ReadTextLines(dataFile);
    EXPECT_EQ(std::set<std::string>(kept.begin(), kept.end()),
              (std::set<std::string>{"alt.binaries.Pictures.Scenery", "alt.binaries.pictures.empty",
                                     InnServer::PictureGroup}));
    EXPECT_EQ(kept.size(), 3u);
    EXPECT_FALSE(std::filesystem::exists(dataFile + ".new"));
    EXPECT_EQ(ItemsOf(form->NGEdit),
              (QStringList{"alt.binaries.pictures.empty", "alt.binaries.Pictures.Scenery",
                           InnServer::PictureGroup}));
    EXPECT_EQ(form->NGEdit->currentIndex(), -1);
    std::set<std::string> names;
    for (int i = 0; i < form->msNNTP.NewsGroupList().Count(); ++i)
        names.insert(form->msNNTP.NewsGroupList().Items(i).Name);
    EXPECT_EQ(names, std::set<std::string>(kept.begin(), kept.end()));

    // The next start offers the same groups, the first one chosen.
    Close();
    Start(inn.Address());
    EXPECT_EQ(ItemsOf(form->NGEdit).size(), 3);
    EXPECT_EQ(form->NGEdit->currentText(), "alt.binaries.pictures.empty");
}

TEST_F(SetupDlgTest, GetGroupsLogsInWithTheLoginTypedBesideTheServer) {
    Start("news");
    QStringList boxes;
    WithSetup(
        *form,
        [&](TSetupDlg &dlg) {
            dlg.ServerEdit->setEditText(QString::fromStdString(inn.AuthAddress()));
            dlg.eName->setText(QString::fromStdString(inn.User()));
            dlg.ePass->setText(QString::fromStdString(inn.Password()));
            dlg.btnGetGroup->click();
            dlg.CancelBtn->click();
        },
        &boxes);
    EXPECT_TRUE(boxes.isEmpty()) << boxes.join("\n").toStdString();
    EXPECT_EQ(ItemsOf(form->NGEdit).size(), 3);
}

TEST_F(SetupDlgTest, AFailedGetGroupsLeavesTheGroupListAsItWas) {
    Start("news");
    const std::string dataFile = home.Home() + "Vexil.Dat";
    const std::string before = test::ReadFile(dataFile);
    const QStringList items = ItemsOf(form->NGEdit);
    QStringList boxes;
    WithSetup(
        *form,
        [&](TSetupDlg &dlg) {
            dlg.ServerEdit->setEditText("127.0.0.1:" + QString::number(test::UnusedPort()));
            dlg.btnGetGroup->click();
            dlg.CancelBtn->click();
        },
        &boxes);
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes[0].contains("10061")) << boxes[0].toStdString();
    EXPECT_EQ(test::ReadFile(dataFile), before);
    // The refused connection is not kept: the next command connects anew.
    EXPECT_FALSE(form->msNNTP.Connected());
    EXPECT_FALSE(std::filesystem::exists(dataFile + ".new"));
    EXPECT_EQ(ItemsOf(form->NGEdit), items);
}

TEST_F(SetupDlgTest, GetGroupsIsRefusedWhileARunIsInProgress) {
    Start(inn.Address());
    Choose(InnServer::PictureGroup);
    const auto posted = inn.Articles(InnServer::PictureGroup);
    // One catcher for the whole run: Setup opens inside it, Get Groups is pressed there.
    QStringList boxes;
    ModalCatcher catcher(test::AnswerSetup(
        [](TSetupDlg &dlg) {
            dlg.btnGetGroup->click();
            dlg.CancelBtn->click();
        },
        &boxes));
    When("2 headers retrieved", [&] { form->SetupButton->click(); });
    Go();
    EXPECT_EQ(catcher.Count(), 2);
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes[0].startsWith("Get Groups cannot run")) << boxes[0].toStdString();
    // The run went on to the group's end.
    EXPECT_EQ(StatusTrail().back(), "Last available header retrieved");
    EXPECT_EQ(ReadTextLines(home.Home() + "Vexil.Dat").size(), test::kBrowseGroups.size());
}

TEST_F(SetupDlgTest, ResetTwiceShowsItsBoxOnce) {
    Remember("news", "alt.binaries.pictures.test", 17);
    Start("news");
    QStringList boxes;
    WithSetup(
        *form,
        [](TSetupDlg &dlg) {
            dlg.btnReset->click();
            dlg.btnReset->click();
            dlg.OKBtn->click();
        },
        &boxes);
    EXPECT_EQ(boxes, QStringList{"Smart Download Has Been Reset."});
    EXPECT_FALSE(MemoryKeyExists());
    EXPECT_FALSE(Remembered("news", "alt.binaries.pictures.test"));
}

TEST_F(SetupDlgTest, TheJoinSwitchIsOffByDefaultAndStoredOnceSwitchedOn) {
    Start("news.example.net");
    WithSetup(*form, [](TSetupDlg &dlg) {
        EXPECT_EQ(dlg.cbJoinParts->text(), "Join pictures posted in several parts");
        EXPECT_TRUE(dlg.tsAdvanced->isAncestorOf(dlg.cbJoinParts));
        EXPECT_FALSE(dlg.cbJoinParts->isChecked());
        dlg.cbJoinParts->setChecked(true);
        dlg.OKBtn->click();
    });
    form->close();
    Close();
    {
        test::SettingsKey store(false);
        EXPECT_TRUE(store.ReadBool("JoinParts"));
    }
    Start("news.example.net");
    WithSetup(*form, [](TSetupDlg &dlg) {
        EXPECT_TRUE(dlg.cbJoinParts->isChecked());
        dlg.cbJoinParts->setChecked(false);
        dlg.OKBtn->click();
    });
    form->close();
    Close();
    test::SettingsKey store(false);
    EXPECT_FALSE(store.ReadBool("JoinParts"));
}

TEST_F(SetupDlgTest, TheSecureConnectionSwitchIsStoredAndReadBack) {
    Start("news.example.net");
    WithSetup(*form, [](TSetupDlg &dlg) {
        EXPECT_EQ(dlg.cbUseTls->text(), "Use a secure connection (TLS)");
        EXPECT_TRUE(dlg.cbUseTls->isVisibleTo(&dlg));
        EXPECT_FALSE(dlg.cbUseTls->isChecked());
        dlg.cbUseTls->setChecked(true);
        dlg.OKBtn->click();
    });
    EXPECT_TRUE(form->msNNTP.UseTls());
    form->close(); // writes the settings
    Close();
    {
        test::SettingsKey store(false);
        EXPECT_TRUE(store.ReadBool("UseTLS"));
    }
    Start("news.example.net");
    EXPECT_TRUE(form->msNNTP.UseTls());
    WithSetup(*form, [](TSetupDlg &dlg) {
        EXPECT_TRUE(dlg.cbUseTls->isChecked());
        dlg.cbUseTls->setChecked(false);
        dlg.OKBtn->click();
    });
    EXPECT_FALSE(form->msNNTP.UseTls());
    // Switched off again, it is stored off.
    form->close();
    Close();
    test::SettingsKey store(false);
    EXPECT_FALSE(store.ReadBool("UseTLS"));
}

TEST_F(SetupDlgTest, TheOverviewOptionsAreStoredOnlyOnceChosen) {
    Start("news.example.net");
    WithSetup(*form, [](TSetupDlg &dlg) {
        EXPECT_EQ(dlg.cbUseOverview->text(), "Read headers from the server's overview (fast)");
        EXPECT_FALSE(dlg.cbUseOverview->isChecked());
        EXPECT_EQ(dlg.seArticlesAtOnce->value(), 8);
        EXPECT_EQ(dlg.seArticlesAtOnce->minimum(), 1);
        EXPECT_EQ(dlg.seArticlesAtOnce->maximum(), 32);
        dlg.OKBtn->click();
    });
    form->close();
    Close();
    {
        test::SettingsKey store(false);
        EXPECT_FALSE(store.ValueExists("UseOverview"));
        EXPECT_FALSE(store.ValueExists("ArticlesAtOnce"));
    }
    Start("news.example.net");
    WithSetup(*form, [](TSetupDlg &dlg) {
        dlg.cbUseOverview->setChecked(true);
        dlg.seArticlesAtOnce->setValue(32);
        dlg.OKBtn->click();
    });
    form->close();
    Close();
    Start("news.example.net");
    WithSetup(*form, [](TSetupDlg &dlg) {
        EXPECT_TRUE(dlg.cbUseOverview->isChecked());
        EXPECT_EQ(dlg.seArticlesAtOnce->value(), 32);
        dlg.CancelBtn->click();
    });
}

// Answers the certificate question with Yes or No and any other box with OK, keeping the
// texts.
ModalCatcher AnsweringTheQuestion(bool trust, QStringList &texts) {
    return ModalCatcher([trust, &texts](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        if (box == nullptr)
            return;
        texts << box->text();
        if (QAbstractButton *yes = box->button(QMessageBox::Yes))
            (trust ? yes : box->button(QMessageBox::No))->click();
        else
            box->done(QMessageBox::Ok);
    });
}

TEST_F(SetupDlgTest, ACertificateTrustedWhenAskedServesThisAndLaterRunsSecurely) {
    Start("nntps://" + inn.SelfSignedAddress());
    Choose(test::kBrowseGroups[1]);
    QStringList texts;
    {
        ModalCatcher catcher = AnsweringTheQuestion(true, texts);
        Go();
    }
    ASSERT_EQ(texts.size(), 1) << texts.join("\n").toStdString();
    EXPECT_TRUE(texts[0].contains("is self-signed")) << texts[0].toStdString();
    EXPECT_TRUE(texts[0].contains("SHA-256 fingerprint: "));
    EXPECT_TRUE(texts[0].contains("Trust this certificate for nntps://" +
                                  QString::fromStdString(inn.SelfSignedAddress())));
    EXPECT_FALSE(form->Pictures->PictureList.empty());
    // The panel shows the connection is secure while it is.
    EXPECT_TRUE(StatusTrail().contains("[TLS] Article retrieved"))
        << StatusTrail().join("|").toStdString();
    EXPECT_TRUE(StatusTrail().contains("Opening connection"));
    {
        TRegistry store;
        const std::string fingerprint =
            ReadTrustedCertificate(store, "nntps://" + inn.SelfSignedAddress());
        EXPECT_EQ(fingerprint.size(), 95u);
        EXPECT_TRUE(texts[0].contains(QString::fromStdString(fingerprint)));
    }

    // Known now: the next connection asks nothing.
    texts.clear();
    form->msNNTP.Disconnect();
    {
        ModalCatcher catcher = AnsweringTheQuestion(true, texts);
        Go();
    }
    EXPECT_TRUE(texts.isEmpty()) << texts.join("\n").toStdString();
    EXPECT_TRUE(form->msNNTP.Secure());
}

TEST_F(SetupDlgTest, ACertificateNotTrustedEndsTheRunWithItsMessage) {
    // The fixture's good certificate, but its authority is none this machine trusts.
    Start("nntps://" + inn.TlsAddress());
    Choose(test::kBrowseGroups[1]);
    QStringList texts;
    {
        ModalCatcher catcher = AnsweringTheQuestion(false, texts);
        Go();
    }
    ASSERT_EQ(texts.size(), 2) << texts.join("\n").toStdString();
    EXPECT_TRUE(texts[0].contains("is not trusted"));
    EXPECT_TRUE(texts[1].contains("is not trusted"));
    EXPECT_FALSE(texts[1].contains("Trust this certificate"));
    EXPECT_TRUE(form->Pictures->PictureList.empty());
    EXPECT_FALSE(form->msNNTP.Connected());
    TRegistry store;
    EXPECT_EQ(ReadTrustedCertificate(store, inn.TlsAddress()), "");
}

} // namespace
} // namespace vexil
