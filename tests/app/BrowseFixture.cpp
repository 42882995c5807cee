#include "tests/app/BrowseFixture.h"

#include "app/TSetupDlg.h"
#include "browse/SmartDownloadMemory.h"
#include "browse/TMainSettings.h"
#include "net/ArticleFilter.h"
#include "net/TmsNNTP.h"
#include "platform/MessagePump.h"
#include "platform/TRegistry.h"

#include <QComboBox>
#include <QEventLoop>
#include <QTimer>
#include <QToolButton>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace vexil::test {

SettingsKey::SettingsKey(bool canCreate) {
    SetRootKey(HKEY_LOCAL_MACHINE);
    OpenKey(kSettingsKey, canCreate);
}

BrowseFixture::BrowseFixture() {
    // Tests that switch the command log on by hand find its folder as Setup leaves it.
    std::filesystem::create_directories(LogFileFolder());
    std::ofstream groups(home.Home() + "Vexil.Dat", std::ios::binary);
    for (const QString &group : kBrowseGroups)
        groups << group.toStdString() << "\r\n";
}

BrowseFixture::~BrowseFixture() {
    form.reset();
}

void BrowseFixture::Start(const std::string &server, bool smartDownload, int minLines,
                          int maxLines) {
    {
        SettingsKey store(true);
        store.WriteString("Server", server);
        store.WriteBool("SmartDownload", smartDownload);
        store.WriteInteger("MinLines", minLines);
        store.WriteInteger("MaxLines", maxLines);
    }
    form = std::make_unique<TfrmMain>();
    form->msNNTP.SetTimeOut(30);
    QObject::connect(form.get(), &TfrmMain::StatusTextChanged, form.get(),
                     [this](int panel, const QString &text) {
                         statuses.emplace_back(panel, text);
                         if (action_ && panel == TfrmMain::spStatus && text == trigger_) {
                             QTimer::singleShot(0, form.get(), std::exchange(action_, {}));
                             // Seen at the run's next wait, not up to a pump interval
                             // later, so that it lands where the test means it to.
                             RequestMessagePass();
                         }
                     });
    form->show();
    QEventLoop loop;
    QTimer::singleShot(20, &loop, &QEventLoop::quit);
    loop.exec();
}

void BrowseFixture::Choose(const QString &group) {
    const int index = form->NGEdit->findText(group);
    ASSERT_GE(index, 0) << group.toStdString();
    form->NGEdit->setCurrentIndex(index);
}

void BrowseFixture::Go() {
    form->btnGo->click();
}

void BrowseFixture::Close() {
    form.reset();
}

void BrowseFixture::When(const QString &text, std::function<void()> f) {
    trigger_ = text;
    action_ = std::move(f);
}

QStringList BrowseFixture::StatusTrail() const {
    QStringList trail;
    for (const auto &[panel, text] : statuses) {
        if (panel != TfrmMain::spStatus)
            continue;
        const QString entry = text.endsWith("% retrieved") ? "%" : text;
        if (entry == "%" && !trail.isEmpty() && trail.back() == "%")
            continue;
        trail << entry;
    }
    return trail;
}

void BrowseFixture::ExpectStopped(const ModalCatcher &boxes) const {
    ASSERT_EQ(boxes.Count(), 1);
    EXPECT_EQ(boxes.Texts()[0], "Operation has been canceled");
    const QStringList trail = StatusTrail();
    ASSERT_GE(trail.size(), kCanceledTrail.size());
    EXPECT_EQ(trail.mid(trail.size() - kCanceledTrail.size()), kCanceledTrail);
}

QStringList BrowseFixture::PanelTexts(int panel) const {
    QStringList texts;
    for (const auto &[p, text] : statuses)
        if (p == panel)
            texts << text;
    return texts;
}

std::optional<std::int32_t> BrowseFixture::Remembered(const std::string &server,
                                                      const std::string &group) const {
    TRegistry store;
    return ReadSmartDownload(store, SmartDownloadValueName(server, group));
}

void BrowseFixture::Remember(const std::string &server, const std::string &group,
                             std::int32_t number) {
    TRegistry store;
    WriteSmartDownload(store, SmartDownloadValueName(server, group), number);
}

bool BrowseFixture::MemoryKeyExists() const {
    TRegistry store;
    store.SetRootKey(HKEY_LOCAL_MACHINE);
    return store.KeyExists(kSmartDownloadKey);
}

std::vector<std::string> BrowseFixture::LogLines() const {
    std::vector<std::string> lines;
    std::ifstream file(LogFilePath(), std::ios::binary);
    for (std::string line; std::getline(file, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

bool FetchedByDefault(const PostedArticle &article, int minLines, int maxLines) {
    return minLines < article.lines && article.lines < maxLines && !IsLaterPart(article.subject);
}

std::string CompareExchange(const std::vector<std::string> &log,
                            const std::vector<std::string> &expected) {
    for (std::size_t i = 0; i < std::max(log.size(), expected.size()); ++i) {
        const std::string got = i < log.size() ? log[i] : "(end of log)";
        const std::string want = i < expected.size() ? expected[i] : "(end of exchange)";
        const bool prefix = !want.empty() && want.back() == '*';
        const bool same = prefix ? got.rfind(want.substr(0, want.size() - 1), 0) == 0 : got == want;
        if (!same)
            return "line " + std::to_string(i + 1) + ": got \"" + got + "\", expected \"" + want +
                   "\"";
    }
    return {};
}

} // namespace vexil::test
