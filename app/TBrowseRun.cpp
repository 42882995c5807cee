#include "app/TBrowseRun.h"

#include "browse/TMainSettings.h"
#include "net/NetErrors.h"
#include "net/ServerAddress.h"
#include "net/TmsNNTP.h"
#include "platform/PrintableText.h"
#include "platform/QtText.h"
#include "platform/TRegistry.h"
#include "widgets/ApplicationTitle.h"

#include <QComboBox>
#include <QMessageBox>
#include <QWidget>

#include <algorithm>

namespace vexil {

// Marks the run as in progress, and Go as unavailable, for as long as it lasts.
class TBrowseRun::TRunGuard {
public:
    explicit TRunGuard(TBrowseRun &run) : run_(run) {
        run_.running_ = true;
        run_.Controls.btnGo->setEnabled(false);
    }
    TRunGuard(const TRunGuard &) = delete;
    TRunGuard &operator=(const TRunGuard &) = delete;
    ~TRunGuard() {
        run_.running_ = false;
        run_.Controls.btnGo->setEnabled(true);
        if (run_.Controls.HideProgress)
            run_.Controls.HideProgress();
    }

private:
    TBrowseRun &run_;
};

TBrowseRun::TBrowseRun(TControls Controls, TmsNNTP &Client, TmsArticle &Article)
    : Controls(std::move(Controls)), Client(Client), Core(Client, Article) {
    Core.PictureFolder = this->Controls.PictureFolder;
    Core.SettingsStore = this->Controls.SettingsStore;
    BindEvents();
}

TBrowseRun::~TBrowseRun() {
    // The client may still fire (closing its socket as it goes) after this object is gone.
    Client.OnOpen = nullptr;
    Client.OnGroupSelected = nullptr;
    Client.OnProgress = nullptr;
    Client.OnArticleRetrieved = nullptr;
    Client.OnLastHeaderRetrieved = nullptr;
    Client.OnCancel = nullptr;
    Client.OnClosed = nullptr;
    Client.OnError = nullptr;
    Client.OnPosting = nullptr;
}

void TBrowseRun::BindEvents() {
    Client.OnOpen = [this](TObject *) { msNNTPOpen(); };
    Client.OnGroupSelected = [this](TObject *) { msNNTPGroupSelected(); };
    Core.OnHeader = [this](TObject *, int n) { msNNTPNextHeaderRetrieved(n); };
    Core.OnPictureStored = [this](TObject *, const std::string &path) {
        Controls.AddPicture(path);
    };
    // The core's own reports; a file name in them came from the article.
    const auto report = [this](TObject *, const std::string &text) {
        Status(TextOfBytes(PrintableText(text)));
    };
    Core.OnAttachmentsLeftOut = report;
    Core.OnFileFault = report;
    Core.OnArticleSkipped = report;
    Core.OnEmptyGroup = [this](TObject *) { msNNTPLastHeaderRetrieved(); };
    Client.OnProgress = [this](TObject *, int perc, int) { msNNTPProgress(perc); };
    Client.OnArticleRetrieved = [this](TObject *) { msNNTPArticleRetrieved(); };
    Client.OnLastHeaderRetrieved = [this](TObject *) { msNNTPLastHeaderRetrieved(); };
    Client.OnCancel = [this](TObject *) { msNNTPCancel(); };
    Client.OnClosed = [this](TObject *) { msNNTPClosed(); };
    Client.OnError = [this](TObject *, std::string &msg) { msNNTPError(msg); };
    Client.OnPosting = [this](TObject *) { msNNTPPosting(); };
}

void TBrowseRun::Go() {
    // Two walks on one connection would take each other's replies.
    if (running_)
        throw EBrowseError("A browse run is already in progress. Press Stop to end it first.");
    const std::string group = BytesOfText(Controls.NGEdit->currentText());
    if (group.empty())
        throw EBrowseError("Choose a newsgroup first. Get Groups in Setup fetches the "
                           "server's picture groups.");
    // A server address that can never connect is refused before anything is locked.
    CheckServerAddress(Client.Server());
    TRunGuard guard(*this);
    Controls.NGEdit->setEnabled(false);
    RunOnConnection([&] { Run(group); });
}

void TBrowseRun::Run(const std::string &Group) {
    walkPosition_ = 0;
    LeaveOutdatedServer();
    SelectGroupAfresh(Group);
    Core.Walk();
}

void TBrowseRun::SelectGroupAfresh(const std::string &Group) {
    // Selecting the current group again sends nothing, so another one comes in between and
    // the figures are read anew.
    if (Group == Client.NewsGroup()) {
        if (Controls.NGEdit->count() >= 2) {
            Client.SetNewsGroup(BytesOfText(Controls.NGEdit->itemText(0)));
            Client.SetNewsGroup(BytesOfText(Controls.NGEdit->itemText(1)));
        } else {
            // With no second group to step through, leaving the server is the one way.
            Client.Connect();
            Client.Disconnect();
        }
    }
    Client.SetNewsGroup(Group);
}

void TBrowseRun::Stop() {
    Controls.NGEdit->setEnabled(true);
    try {
        Client.Cancel();
    } catch (const std::exception &) {
        // Stop must always get through; the cancelled operation reports its own end.
    }
}

void TBrowseRun::ForgetHeaders() {
    if (!running_)
        Client.HeaderList().Clear();
}

void TBrowseRun::LeaveOutdatedServer() {
    if (Client.Connected() && connectedServer_ != ConnectionName())
        Client.Disconnect();
}

std::string TBrowseRun::ConnectionName() const {
    return Client.UseTls() ? Client.Server() + " (TLS)" : Client.Server();
}

void TBrowseRun::Status(const QString &Text) {
    Controls.SetStatusPanel(Client.Secure() ? "[TLS] " + Text : Text);
}

void TBrowseRun::RunOnConnection(const std::function<void()> &Exchange) {
    LoadTrustedCertificate();
    try {
        RunClosingBrokenConnection(Exchange);
    } catch (const ECertificateError &e) {
        if (!TrustedWhenAsked(e))
            throw;
        RunClosingBrokenConnection(Exchange);
    }
}

void TBrowseRun::LoadTrustedCertificate() {
    TRegistry *store = Controls.SettingsStore ? Controls.SettingsStore() : nullptr;
    Client.SetTrustedFingerprint(store != nullptr ? ReadTrustedCertificate(*store, Client.Server())
                                                  : std::string());
}

bool TBrowseRun::TrustedWhenAsked(const ECertificateError &Failure) {
    if (!Controls.TrustCertificate || !Controls.TrustCertificate(Failure))
        return false;
    if (TRegistry *store = Controls.SettingsStore ? Controls.SettingsStore() : nullptr)
        WriteTrustedCertificate(*store, Client.Server(), Failure.Fingerprint);
    Client.SetTrustedFingerprint(Failure.Fingerprint);
    return true;
}

void TBrowseRun::RunClosingBrokenConnection(const std::function<void()> &Exchange) {
    try {
        Exchange();
    } catch (const ESocketError &) {
        if (Client.Connected())
            Client.CloseSocket();
        throw;
    } catch (const EServerError &) {
        // A refusal on a working connection (an unknown group) keeps the connection.
        if (Client.Connected() && Client.CloseSeen())
            Client.CloseSocket();
        throw;
    }
}

void TBrowseRun::msNNTPNextHeaderRetrieved(int n) {
    // The bar moves first, so that it is current when the status text arrives.
    walkPosition_ = Client.HeaderList().Items(n).Number;
    ShowWalkPosition();
    Status(QString::number(n + 1) + " headers retrieved");
}

void TBrowseRun::ShowWalkPosition() {
    const int first = Client.FirstArticle();
    const int last = std::max(Client.LastArticle(), first);
    const int position = std::clamp(walkPosition_, first, last);
    ShowProgress(position, first, last, "Article %v of " + QString::number(last));
}

void TBrowseRun::ShowProgress(int Value, int Minimum, int Maximum, const QString &Format) {
    // Get Groups and the like report progress too; the bar belongs to Go.
    if (running_ && Controls.ShowProgress)
        Controls.ShowProgress(Value, Minimum, Maximum, Format);
}

void TBrowseRun::msNNTPOpen() {
    connectedServer_ = ConnectionName();
    Status("Opening connection");
}

void TBrowseRun::msNNTPGroupSelected() {
    Controls.SetArticlesPanel("Total articles: " + QString::number(Client.ArticleCount()));
}

void TBrowseRun::msNNTPProgress(int Perc) {
    // A block of unknown size (a header block, an article without Lines) has no percentage;
    // "-1% retrieved" would tell the user nothing.
    if (Perc < 0)
        return;
    ShowProgress(Perc, 0, 100, "%v%");
    Status(QString::number(Perc) + "% retrieved");
}

void TBrowseRun::msNNTPArticleRetrieved() {
    ShowWalkPosition();
    Status("Article retrieved");
}

void TBrowseRun::msNNTPLastHeaderRetrieved() {
    Status("Last available header retrieved");
}

void TBrowseRun::msNNTPCancel() {
    Status("Oparation has been canceled");
}

void TBrowseRun::msNNTPClosed() {
    Status("Connection closed");
}

void TBrowseRun::msNNTPError(const std::string &Msg) {
    Status(MessageText(PrintableText(Msg)));
}

void TBrowseRun::msNNTPPosting() {
    Status("Posting the article...");
}

bool AskToTrustCertificate(QWidget *Parent, const std::string &Server,
                           const ECertificateError &Failure) {
    const QString server = MessageText(PrintableText(Server));
    const QString text = MessageText(PrintableText(Failure.Message())) +
                         "\n\nTrust this certificate for " + server +
                         " from now on? Vexil will accept exactly this certificate from " + server +
                         "; should the server show another one, you will be asked again.";
    return QMessageBox::question(Parent, ApplicationTitle(), text,
                                 QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

} // namespace vexil
