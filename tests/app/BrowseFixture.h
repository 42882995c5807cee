#pragma once
// The main window against the private news servers of the test fixture: a fresh program
// folder and settings store, a group-list file naming the test groups, and a record of every
// status text the window writes.

#include "app/TfrmMain.h"
#include "platform/TRegistry.h"

#include "tests/net/InnServer.h"
#include "tests/support/ModalCatcher.h"
#include "tests/support/QtTestHelpers.h"
#include "tests/support/TempHome.h"

#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vexil::test {

// The groups of the fixture's group-list file, in the drop-down's order.
inline const QStringList kBrowseGroups = {"alt.binaries.pictures.empty",
                                          "alt.binaries.pictures.test", "alt.test.text"};

// The status texts a run ends with when Stop, or closing the window, cancels it.
inline const QStringList kCanceledTrail = {"Oparation has been canceled", "Connection closed",
                                           "Operation has been canceled"};

// The window's key in the settings store of the test's program folder, created when asked.
class SettingsKey : public TRegistry {
public:
    explicit SettingsKey(bool canCreate);
};

class BrowseFixture : public ::testing::Test {
protected:
    BrowseFixture();
    ~BrowseFixture() override;

    // Stores the server (and the other settings given) as a user's earlier run would have,
    // then builds the window and lets its start message arrive.
    void Start(const std::string &server, bool smartDownload = true, int minLines = 150,
               int maxLines = 100000);
    void Choose(const QString &group);
    // Presses Go; returns when the run has ended.
    void Go();
    // Destroys the window, which writes the command log when it is switched on.
    void Close();

    // Status texts of panel 1 in order, "% retrieved" runs folded into one "%".
    QStringList StatusTrail() const;
    // After Go that Stop cancelled: one box, the cancel text, and the trail ends with
    // kCanceledTrail. Call it with ASSERT_NO_FATAL_FAILURE.
    void ExpectStopped(const ModalCatcher &boxes) const;
    // Every text written to panel `panel`.
    QStringList PanelTexts(int panel) const;
    // The Smart Download value for the fixture's server and group, if any.
    std::optional<std::int32_t> Remembered(const std::string &server,
                                           const std::string &group) const;
    void Remember(const std::string &server, const std::string &group, std::int32_t number);
    bool MemoryKeyExists() const;
    std::vector<std::string> LogLines() const;
    std::string PictureFolder() const { return home.Home() + "TEMP/"; }
    // Runs f once the status panel shows text (queued, so it runs inside the next wait).
    void When(const QString &text, std::function<void()> f);

    // As the program does: the client's waits keep the window alive, so Stop gets through.
    QtMessagePump pump;
    TempHome home;
    InnServer inn;
    std::unique_ptr<TfrmMain> form;
    std::vector<std::pair<int, QString>> statuses;

private:
    QString trigger_;
    std::function<void()> action_;
};

// Whether the browse run fetches an article with these Lines and subject under the default
// limits (150 < Lines < 100000, no later part).
bool FetchedByDefault(const PostedArticle &article, int minLines = 150, int maxLines = 100000);

// Compares a command log with an expected exchange: commands must match exactly, replies
// (entries ending in "*") only by their beginning. Returns a description of the first
// difference, empty when they agree.
std::string CompareExchange(const std::vector<std::string> &log,
                            const std::vector<std::string> &expected);

} // namespace vexil::test
