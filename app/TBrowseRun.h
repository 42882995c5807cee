#pragma once
// The browse run behind Go, on the window's side: selects the chosen group afresh, lets the
// browse core walk it, and turns the core's and the news client's events into the status
// texts, the picture list and the enabling of the controls.
//
// The run blocks inside Go while the client keeps the interface alive; Stop, the window's
// close and the header handler (with its nested article fetch) run inside it.

#include "browse/TBrowseCore.h"
#include "platform/Exception.h"
#include "platform/Object.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <string>

class QComboBox;
class QWidget;

namespace vexil {

class ECertificateError;
class TmsArticle;
class TmsNNTP;
class TRegistry;

// A command that would interleave a second exchange with the running one.
class EBrowseError : public Exception {
public:
    using Exception::Exception;
};

class TBrowseRun : public TObject {
public:
    struct TControls {
        QComboBox *NGEdit = nullptr;
        // Disabled while a run is in progress.
        QWidget *btnGo = nullptr;
        std::function<void(const QString &)> SetArticlesPanel;
        std::function<void(const QString &)> SetStatusPanel;
        // The progress bar of a Go: Value within Minimum..Maximum, with Format on the bar
        // ("%v" standing for the value, as in QProgressBar); the walk's place in the group, or
        // an article fetch's percentage. Hidden when Go ends.
        std::function<void(int Value, int Minimum, int Maximum, const QString &Format)>
            ShowProgress;
        std::function<void()> HideProgress;
        // The window's settings store; null once the window has closed.
        std::function<TRegistry *()> SettingsStore;
        // Where the attachments go, and the list a stored picture joins.
        std::string PictureFolder;
        std::function<void(const std::string &)> AddPicture;
        // Asked when the server's certificate failed its check: true trusts exactly this
        // certificate for the server from now on. Unset: nothing is trusted.
        std::function<bool(const ECertificateError &)> TrustCertificate;
    };

    // Binds the client's events; the client and the article outlive the run object.
    TBrowseRun(TControls Controls, TmsNNTP &Client, TmsArticle &Article);

    // The settings the walk follows; a running walk takes a change at its next header.
    void SetSettings(const TMainSettings &Settings) { Core.Settings = Settings; }
    ~TBrowseRun() override;
    TBrowseRun(const TBrowseRun &) = delete;
    TBrowseRun &operator=(const TBrowseRun &) = delete;

    bool Running() const { return running_; }

    // Go: the whole run; returns when the walk ends and throws what ended it otherwise.
    // Refused while a run is in progress, when no group is chosen and when the server's port
    // is not a number from 1 to 65535.
    void Go();
    // Stop: lets the group be chosen again and cancels what the client is doing.
    void Stop();
    // The group drop-down changed or lost the focus: the headers of the last walk go. A
    // running walk keeps the list it is working on.
    void ForgetHeaders();
    // After the server's name was changed, the connection to the old server is left, so
    // that the next command reaches the new one.
    void LeaveOutdatedServer();
    // Runs an exchange with the server. When it fails because the connection broke (a
    // socket error, or a server that closed its end), our end is closed too, so that the
    // next command connects anew instead of failing on the dead connection. A certificate
    // the user trusts when asked is stored for the server and the exchange runs once more.
    void RunOnConnection(const std::function<void()> &Exchange);

private:
    class TRunGuard;

    // Index n of the client's HeaderList has just arrived; the core applies the rules.
    void msNNTPNextHeaderRetrieved(int n);

    // The status texts of the client's events.
    void msNNTPOpen();
    void msNNTPGroupSelected();
    void msNNTPProgress(int Perc);
    void msNNTPArticleRetrieved();
    void msNNTPLastHeaderRetrieved();
    void msNNTPCancel();
    void msNNTPClosed();
    void msNNTPError(const std::string &Msg);
    void msNNTPPosting();
    // The walk's place: the article of the last header within the group's numbers.
    void ShowWalkPosition();
    void ShowProgress(int Value, int Minimum, int Maximum, const QString &Format);

    void Run(const std::string &Group);
    void SelectGroupAfresh(const std::string &Group);
    void BindEvents();
    // Over TLS every status text carries a lock mark, so the panel shows the connection is
    // secure for as long as it is.
    void Status(const QString &Text);
    void RunClosingBrokenConnection(const std::function<void()> &Exchange);
    // The certificate trusted for the server, from the settings store.
    void LoadTrustedCertificate();
    bool TrustedWhenAsked(const ECertificateError &Failure);
    // The server and whether TLS is switched on: either changed means another connection.
    std::string ConnectionName() const;

    TControls Controls;
    TmsNNTP &Client;
    TBrowseCore Core;
    bool running_ = false;
    // The number of the article whose header came last in the running walk.
    int walkPosition_ = 0;
    // The server the open connection was made to.
    std::string connectedServer_;
};

// The question of TControls::TrustCertificate, as a message box over Parent: the failure,
// and whether to trust this one certificate for Server. No is the default.
bool AskToTrustCertificate(QWidget *Parent, const std::string &Server,
                           const ECertificateError &Failure);

} // namespace vexil
