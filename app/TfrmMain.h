#pragma once
// The main window: tool panel with the Go, Stop, Back, Forward and Setup buttons, the group
// drop-down and the picture number, the scroll box with the picture, the status bar and the
// main menu. It reads its settings when it is built, lists the pictures kept from earlier
// runs when the message loop starts, and writes the settings back when it closes.
//
// Commands whose work lives elsewhere go straight to it: navigation and display to the
// picture viewer, the slide show to its timer, Go and Stop to the browse run.

#include "browse/TMainSettings.h"
#include "message/TmsArticle.h"
#include "net/TmsNNTP.h"
#include "widgets/ErrorReport.h"
#include "widgets/TRTForm.h"

#include <QKeySequence>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QComboBox;
class QFrame;
class QLabel;
class QMenuBar;
class QProgressBar;
class QScrollArea;
class QShortcut;
class QStatusBar;
class QTimer;
class QToolButton;

namespace vexil {

class TBrowseRun;
class TGifImage;
class TSetupDlg;
class TPicOfPicBox;
class TPictureDrag;
class TPictureViewer;
class TSlideShow;
class TThumbnailStrip;
class TRegistry;
class TKeyring;
class TPasswordStore;

class TfrmMain : public TRTForm {
    Q_OBJECT
public:
    enum TStatusPanel { spArticles = 0, spStatus = 1, spFileName = 2 };

    explicit TfrmMain(QWidget *parent = nullptr);
    ~TfrmMain() override;

    // The preset list of picture groups, used while no group-list file exists.
    static QStringList PresetNewsGroups();

    // The article the client reads each article into; declared first, so that it outlives
    // the client that points at it.
    TmsArticle msArticle1;
    // The news client; its Server, UserName and Password are settings of the window.
    TmsNNTP msNNTP;

    // State kept for the window's whole life, in the order the window defines it.
    // Busy, PictureList and CurIndex live with the pictures (Pictures->...), LoopShow with
    // the slide show (SlideShow->LoopShow).
    // Server, user name and password live on msNNTP while the window runs (Get Groups
    // changes them there); the rest here.
    TMainSettings Settings;
    std::string TempFolder;
    std::unique_ptr<TRegistry> SettingsStore;
    // Where the login password is kept (the keyring or the settings file); freed with the
    // settings store at close.
    std::unique_ptr<TPasswordStore> Passwords;
    std::string DataFile;

    // The keyring each window asks for the password: the desktop's Secret Service unless
    // replaced (an empty maker restores it).
    using TKeyringMaker = std::function<std::unique_ptr<TKeyring>()>;
    static void SetKeyringMaker(TKeyringMaker maker);

    // Controls, named as the rest of the program knows them.
    QFrame *ToolPanel = nullptr;
    QFrame *Bevel1 = nullptr;
    QToolButton *btnGo = nullptr;
    QToolButton *CancelButton = nullptr;
    QToolButton *sbPrior = nullptr;
    QToolButton *sbNext = nullptr;
    QToolButton *SetupButton = nullptr;
    QComboBox *NGEdit = nullptr;
    TPicOfPicBox *PicOfPic = nullptr;
    QScrollArea *sbMain = nullptr;
    TGifImage *Image1 = nullptr;
    QStatusBar *StatusBar1 = nullptr;
    // Beside the panels during a Go only.
    QProgressBar *WalkProgress = nullptr;
    QTimer *ATimer = nullptr;

    QMenuBar *MainMenu = nullptr;
    QAction *mniOpenPictureFolder = nullptr;
    QAction *mniExit = nullptr;
    QAction *mniNextPicture = nullptr;
    QAction *mniPreviousPicture = nullptr;
    QAction *mniSetAsWallpaper = nullptr;
    QAction *mniCopyPicture = nullptr;
    QAction *mniSlideShow = nullptr;
    QAction *mniAutoSizePictures = nullptr;
    QAction *mniFitToWindow = nullptr;
    QAction *mniFullScreen = nullptr;
    QAction *mniDeletePicture = nullptr;
    QAction *mniThumbnails = nullptr;
    QAction *QuillonHomepage1 = nullptr;
    QAction *VexilOnlineHelp1 = nullptr;
    QAction *mniAbout = nullptr;

    QString StatusText(TStatusPanel panel) const;

    // The pictures: the list, the one shown, navigation; the slide show over them.
    std::unique_ptr<TPictureViewer> Pictures;
    std::unique_ptr<TSlideShow> SlideShow;
    // The thumbnails of the picture list, shown while Picture > Thumbnails is ticked.
    TThumbnailStrip *Thumbnails = nullptr;
    // Dragging the picture shown out to other programs.
    TPictureDrag *PictureDrag = nullptr;

    // Go: the browse run. Its failure leaves here as an exception, where the button shows it
    // in a message box.
    void btnGoClick();

signals:
    // Every text written into a status panel, in order (for what watches the status bar).
    void StatusTextChanged(int panel, const QString &text);

protected:
    void customEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    // Shows text in a panel; the panel's accessible name follows it, so that a screen reader
    // hears what the panel shows.
    void SetStatusText(TStatusPanel panel, const QString &text);
    // A slot that runs work as a command: its failure ends in a message box.
    template <typename Work> auto Command(Work work) {
        return [this, work] { RunCommand(this, work); };
    }

    // Lists the pictures of the picture folder; runs when the start message arrives.
    void LoadFolderPictures();
    void sbNextClick();
    // Stop: first of all it ends a running slide show; otherwise it cancels the browse run.
    void CancelButtonClick();
    void NGEditChange();
    // The setup dialog, with Get Groups and Reset acting while it is open.
    void SetupButtonClick();
    void mniAboutClick();
    // Full Screen: the picture alone, Esc leaves, the arrow keys go Back and Forward.
    void SetFullScreen(bool on);
    void AddFullScreenKey(QKeySequence key, void (TfrmMain::*command)());
    void LeaveFullScreen();
    void BackClick();

    // Client operations in progress (a browse run, Get Groups). Each command that runs one
    // holds a TClientOperation for its length, so that closing knows whether to cancel it or
    // to leave the server politely.
    int ClientOperations = 0;
    class TClientOperation {
    public:
        explicit TClientOperation(TfrmMain &form) : form_(form) { ++form_.ClientOperations; }
        TClientOperation(const TClientOperation &) = delete;
        TClientOperation &operator=(const TClientOperation &) = delete;
        ~TClientOperation() { --form_.ClientOperations; }

    private:
        TfrmMain &form_;
    };

    // The browse run behind Go, driving the client.
    std::unique_ptr<TBrowseRun> Browse;

    void BuildToolPanel(QWidget *client);
    void BuildPictureArea(QWidget *client);
    void BuildStatusBar(QWidget *client);
    void BuildMenu();
    void BuildThumbnailStrip(QWidget *client);
    // Brings the strip up to date once the current event is handled.
    void FollowPictures();
    bool followPending_ = false;
    QToolButton *AddToolButton(const QString &caption, const QString &hint, int icon);
    void FormCreate();
    void ApplySettings(const TMainSettings &settings);
    TMainSettings CurrentSettings() const;
    void CreateBrowseRun();
    void ConnectBrowseControls();
    // Fills NGEdit from DataFile, selecting its first entry or none.
    void LoadGroupListFile(bool selectFirst);
    void ApplySetup(const TSetupDlg &dlg);
    void SetupGetGroups(TSetupDlg &dlg);
    void SetupReset(QWidget *dialog);
    void LoadPassword(TMainSettings &settings);
    // Stores the client's password where it belongs and tells what the store has to say.
    void SavePassword();
    void ShowPasswordNotices();
    // A password the keyring could not give at start: the keyring is asked again, then the
    // user. False when the user cancelled.
    bool PasswordAtHand();
    void FormClose();
    void LeaveServer();

    std::vector<QLabel *> panels_;
    // Enabled only in full screen, where the arrow keys have nothing else to do.
    std::vector<QShortcut *> fullScreenKeys_;
    Qt::WindowStates windowedState_;
    TFormBorderStyle windowedBorder_ = bsSizeable;
    std::vector<std::string> startupErrors_;
    bool built_ = false;
    bool startupHeld_ = false;
    bool closed_ = false;
};

} // namespace vexil
