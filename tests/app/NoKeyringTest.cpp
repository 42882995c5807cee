// The login password on a session bus without a Secret Service
// (tests/support/with-session-bus.sh bare), and with a keyring that does not answer.
#include "app/TfrmMain.h"
#include "platform/TSecretServiceKeyring.h"
#include "tests/app/KeyringTestSupport.h"
#include "tests/support/ModalCatcher.h"
#include "tests/support/QtTestHelpers.h"
#include "tests/support/TempHome.h"

#include <QInputDialog>
#include <QMessageBox>
#include <QProcess>
#include <QToolButton>

#include <gtest/gtest.h>

#include <cstdlib>

#include <sys/stat.h>

using namespace vexil;

TEST(SecretServiceKeyring, WithoutASecretServiceOnTheBusThereIsNone) {
    TSecretServiceKeyring keyring;
    EXPECT_THROW(keyring.Read("test entry"), EKeyringMissing);
    EXPECT_THROW(keyring.Write("test entry", "x"), EKeyringMissing);
}

TEST(KeyringWindow, WithoutAKeyringThePasswordGoesToThePrivateSettingsFileAfterOneMessage) {
    test::TempHome home;
    test::StoreLogin("reader", "");
    {
        TfrmMain form;
        {
            // Nothing to say at start: no password is stored yet.
            test::ModalCatcher boxes;
            form.show();
            test::RunEventLoop(200);
            EXPECT_EQ(boxes.Count(), 0) << boxes.Texts().join("\n").toStdString();
        }
        const QStringList told = test::SetupWithPassword(form, "f1le-s3cret");
        ASSERT_EQ(told.size(), 1);
        EXPECT_TRUE(told[0].contains("no keyring")) << told[0].toStdString();
        EXPECT_TRUE(
            told[0].contains(QString::fromStdString(home.Registry()) + ", which only you can read"))
            << told[0].toStdString();
        EXPECT_EQ(test::StoredPass(), "f1le-s3cret");
        struct stat st {};
        ASSERT_EQ(::stat(home.Registry().c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);

        // Once only: another password, and closing, say nothing.
        EXPECT_TRUE(test::SetupWithPassword(form, "an0ther").isEmpty());
        test::ModalCatcher boxes;
        form.close();
        EXPECT_EQ(boxes.Count(), 0);
    }
    EXPECT_EQ(test::StoredPass(), "an0ther");
    test::ModalCatcher boxes;
    TfrmMain form;
    form.show();
    test::RunEventLoop(200);
    EXPECT_EQ(form.msNNTP.Password, "an0ther");
    EXPECT_EQ(boxes.Count(), 0) << boxes.Texts().join("\n").toStdString();
}

namespace {

// A keyring that holds a password but answers no request in time.
class SilentKeyring : public TKeyring {
public:
    std::optional<std::string> Read(const std::string &) override { Fail(); }
    void Write(const std::string &, const std::string &) override { Fail(); }
    void Remove(const std::string &) override { Fail(); }

private:
    [[noreturn]] static void Fail() {
        throw EKeyringError("the keyring did not answer within 30 seconds.");
    }
};

} // namespace

TEST(KeyringWindow, AKeyringThatDoesNotAnswerIsSaidAtStartAndGoAsksForThePassword) {
    test::TempHome home;
    test::StoreLogin("reader", "");
    TfrmMain::SetKeyringMaker([] { return std::make_unique<SilentKeyring>(); });
    {
        TfrmMain form;
        form.msNNTP.SetServer("127.0.0.1:1");
        {
            test::ModalCatcher boxes;
            form.show();
            test::RunEventLoop(200);
            ASSERT_EQ(boxes.Count(), 1);
            EXPECT_TRUE(boxes.Texts()[0].startsWith(
                "The login password could not be read from the keyring: the keyring did not "
                "answer within 30 seconds."))
                << boxes.Texts()[0].toStdString();
        }
        // Cancelled, Go does not run; answered, it runs with the password typed.
        QStringList prompts;
        auto answer = [&prompts](const QString &typed) {
            return [&prompts, typed](QWidget *modal) {
                if (auto *ask = qobject_cast<QInputDialog *>(modal)) {
                    prompts << ask->labelText();
                    if (typed.isEmpty()) {
                        ask->reject();
                    } else {
                        ask->setTextValue(typed);
                        ask->accept();
                    }
                } else if (auto *box = qobject_cast<QMessageBox *>(modal)) {
                    box->done(QMessageBox::Ok);
                }
            };
        };
        {
            test::ModalCatcher cancel(answer({}));
            form.btnGo->click();
            EXPECT_EQ(cancel.Count(), 1);
        }
        EXPECT_EQ(form.msNNTP.Password, "");
        {
            test::ModalCatcher typed(answer("typ3d"));
            form.btnGo->click();
            test::RunEventLoop(200);
            EXPECT_EQ(typed.Count(), 2) << "the prompt, then the refused connection";
        }
        ASSERT_EQ(prompts.size(), 2);
        EXPECT_TRUE(prompts[0].contains("Password for reader")) << prompts[0].toStdString();
        EXPECT_EQ(form.msNNTP.Password, "typ3d");

        // Closing: the keyring does not take it either, so the file keeps it, and says so.
        test::ModalCatcher boxes;
        form.close();
        ASSERT_EQ(boxes.Count(), 1);
        EXPECT_TRUE(boxes.Texts()[0].startsWith("The keyring did not take the login password"))
            << boxes.Texts()[0].toStdString();
    }
    TfrmMain::SetKeyringMaker({});
    EXPECT_EQ(test::StoredPass(), "typ3d");
}

TEST(SecretServiceKeyring, AKeyringThatDoesNotAnswerInTimeIsGivenUpAndItsLateAnswerHarmsNothing) {
    QProcess service;
    service.start(
        "/usr/bin/python3",
        {QString(std::getenv("VEXIL_SOURCE_DIR")) + "/tests/app/slow-secret-service.py", "3"});
    ASSERT_TRUE(service.waitForReadyRead(20000)) << service.errorString().toStdString();
    ASSERT_EQ(service.readLine().trimmed(), "ready");

    TSecretServiceKeyring keyring(std::chrono::seconds(2));
    try {
        keyring.Read("test entry");
        ADD_FAILURE() << "a keyring that does not answer gave an answer";
    } catch (const EKeyringMissing &e) {
        ADD_FAILURE() << "taken for no keyring: " << e.Message();
    } catch (const EKeyringError &e) {
        EXPECT_EQ(e.Message(), "the keyring did not answer within 2 seconds.");
    }
    // The answer that comes after all, a second later, reaches a request that was given up.
    test::RunEventLoop(3000);
    service.kill();
    service.waitForFinished();
}

TEST(KeyringWindow, AKeyringThatFailsWhileTheWindowIsBuiltIsReportedWithTheOtherStartMessages) {
    test::TempHome home;
    test::StoreLogin("reader", "");
    QProcess service;
    service.start(
        "/usr/bin/python3",
        {QString(std::getenv("VEXIL_SOURCE_DIR")) + "/tests/app/slow-secret-service.py", "0.5"});
    ASSERT_TRUE(service.waitForReadyRead(20000)) << service.errorString().toStdString();
    {
        test::ModalCatcher boxes;
        TfrmMain form;
        form.show();
        test::RunEventLoop(500);
        ASSERT_EQ(boxes.Count(), 1);
        EXPECT_TRUE(boxes.Texts()[0].startsWith(
            "The login password could not be read from the keyring: the keyring failed"))
            << boxes.Texts()[0].toStdString();
        form.close();
    }
    service.kill();
    service.waitForFinished();
}
