// Text that came from a server or an article, as the main window shows it: the status bar
// and the message boxes replace its control characters and never come out empty.
#include "app/TfrmMain.h"
#include "platform/TRegistry.h"
#include "tests/net/ScriptedServer.h"
#include "tests/support/ModalCatcher.h"
#include "tests/support/QtTestHelpers.h"
#include "tests/support/TempHome.h"

#include <QImage>
#include <QToolButton>

#include <gtest/gtest.h>

#include <fstream>

namespace vexil {
namespace {

namespace fs = std::filesystem;

class ServerTextShownTest : public ::testing::Test {
protected:
    ServerTextShownTest() {
        std::ofstream(home.Home() + "Vexil.Dat", std::ios::binary) << "alt.test\r\n";
    }
    ~ServerTextShownTest() override { form.reset(); }

    void Start(const std::string &server) {
        {
            TRegistry store;
            store.SetRootKey(HKEY_LOCAL_MACHINE);
            store.OpenKey("\\Software\\Internet\\VX", true);
            store.WriteString("Server", server);
        }
        form = std::make_unique<TfrmMain>();
        form->msNNTP.SetTimeOut(30);
        QObject::connect(form.get(), &TfrmMain::StatusTextChanged, form.get(),
                         [this](int panel, const QString &text) {
                             if (panel == TfrmMain::spStatus)
                                 statuses << text;
                         });
        form->show();
        test::RunEventLoop();
    }

    const test::QtMessagePump pump;
    test::TempHome home;
    std::unique_ptr<TfrmMain> form;
    QStringList statuses;
};

TEST_F(ServerTextShownTest, AHostileReplyReachesStatusBarAndMessageBoxPrintable) {
    test::ScriptedServer server([](test::ServerConnection &c) {
        c.SendLine("200 ready");
        c.Expect("GROUP alt.test", std::string("\0"
                                               "411 \x1b]0;x\x07no such group\x9b"
                                               "2J",
                                               27));
        if (c.ReadLine(5) == "QUIT")
            c.SendLine("205 bye");
    });
    Start(server.Address());
    test::ModalCatcher boxes;
    form->btnGo->click();
    const QString expected = "?411 ?]0;x?no such group?2J";
    ASSERT_EQ(boxes.Count(), 1);
    EXPECT_EQ(boxes.Texts().first(), expected);
    for (const QString &status : statuses)
        for (const QChar c : status)
            EXPECT_FALSE(c.category() == QChar::Other_Control) << status.toStdString();
    form.reset();
    EXPECT_TRUE(server.Failures().empty());
}

TEST_F(ServerTextShownTest, APictureNameFromAnArticleIsShownPrintable) {
    // The name an article gave its attachment, kept on disk as it came.
    fs::create_directories(home.Home() + "TEMP");
    QImage picture(8, 8, QImage::Format_RGB32);
    picture.fill(Qt::red);
    ASSERT_TRUE(picture.save(QString::fromLatin1(home.Home() + "TEMP/b\x1b]0;x\x07"
                                                               "c.bmp"),
                             "BMP"));
    Start("127.0.0.1:1");
    test::RunEventLoop();
    EXPECT_EQ(form->StatusText(TfrmMain::spFileName), "b?]0;x?c.bmp");
}

} // namespace
} // namespace vexil
