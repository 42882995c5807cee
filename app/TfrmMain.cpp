#include "app/TfrmMain.h"
#include "app/HelpLinks.h"
#include "app/PictureGroups.h"
#include "app/ProgramFolder.h"
#include "app/TAboutBox.h"
#include "app/TBrowseRun.h"
#include "app/TPicOfPicBox.h"
#include "app/TPictureDrag.h"
#include "app/TPictureViewer.h"
#include "app/TSetupDlg.h"
#include "app/TSlideShow.h"
#include "app/TThumbnailStrip.h"
#include "browse/FolderPictures.h"
#include "browse/SmartDownloadMemory.h"
#include "browse/TMainSettings.h"
#include "message/TmsArticle.h"
#include "net/NetErrors.h"
#include "net/TmsNNTP.h"
#include "picture/TGifImage.h"
#include "platform/DisplayDepth.h"
#include "platform/PrintableText.h"
#include "platform/QtText.h"
#include "platform/Shell.h"
#include "platform/TPasswordStore.h"
#include "platform/TRegistry.h"
#include "platform/TSecretServiceKeyring.h"
#include "widgets/ApplicationTitle.h"
#include "widgets/ErrorReport.h"
#include "widgets/TFocusKeeper.h"
#include "widgets/TScrollBox.h"

#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QScrollArea>
#include <QShortcut>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace vexil {

namespace {

constexpr int kToolPanelHeight = 73;
constexpr int kToolButtonSide = 45;
constexpr int kNGEditWidth = 260;
constexpr int kPicOfPicWidth = 108;

// The drop-down keeps its entries sorted, as a sorted list box does: without regard to case.
void setSortedItems(QComboBox *box, QStringList items) {
    items.sort(Qt::CaseInsensitive);
    box->clear();
    box->addItems(items);
}

} // namespace

TfrmMain::TfrmMain(QWidget *parent) : TRTForm(parent) {
    setObjectName("frmMain");
    setWindowTitle("Vexil - Image Browser");
    resize(544, 456);
    auto *layout = new QVBoxLayout(ClientArea());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    BuildMenu();
    BuildToolPanel(ClientArea());
    BuildPictureArea(ClientArea());
    BuildStatusBar(ClientArea());
    BuildThumbnailStrip(ClientArea());
    ATimer = new QTimer(this);
    ATimer->setObjectName("ATimer");
    connect(ATimer, &QTimer::timeout, this, Command([this] { SlideShow->Tick(); }));
    msNNTP.SetDefaultPort(119);
    msNNTP.SetTimeOut(600);
    msNNTP.SetArticle(&msArticle1);
    try {
        // The socket library is bound with the window, so that a missing one is reported
        // at start rather than at the first Go.
        msNNTP.SetWinsockLoaded(true);
    } catch (const Exception &e) {
        startupErrors_.push_back(e.Message());
    }
    FormCreate();
    ConnectBrowseControls();
    built_ = true;
    if (startupHeld_)
        QApplication::postEvent(this, new QEvent(WM_STARTUP));
}

TfrmMain::~TfrmMain() {
    // Leaving the server runs the event loop, so it happens while every part still lives.
    Browse.reset();
    try {
        msNNTP.Disconnect();
    } catch (const Exception &e) {
        std::fprintf(stderr, "vexil: leaving the news server: %s\n", PrintableMessage(e).c_str());
    }
}

QStringList TfrmMain::PresetNewsGroups() {
    return {
        "alt.binaries.pictures",
        "alt.binaries.pictures.animals",
        "alt.binaries.pictures.architecture",
        "alt.binaries.pictures.astronomy",
        "alt.binaries.pictures.aviation",
        "alt.binaries.pictures.cartoons",
        "alt.binaries.pictures.fractals",
        "alt.binaries.pictures.landscapes",
        "alt.binaries.pictures.misc",
        "alt.binaries.pictures.nature",
        "alt.binaries.pictures.rail",
        "alt.binaries.pictures.space",
        "alt.binaries.pictures.vehicles",
        "alt.binaries.pictures.wallpaper",
    };
}

QToolButton *TfrmMain::AddToolButton(const QString &caption, const QString &hint, int icon) {
    auto *button = new QToolButton(ToolPanel);
    button->setText(caption);
    button->setToolTip(hint);
    button->setIcon(style()->standardIcon(static_cast<QStyle::StandardPixmap>(icon)));
    button->setIconSize(QSize(20, 20));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setAutoRaise(true);
    button->setFixedSize(kToolButtonSide, kToolButtonSide);
    button->setFocusPolicy(Qt::StrongFocus);
    // The captions must fit the square buttons: "Forward" is the longest.
    QFont small = button->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    button->setFont(small);
    return button;
}

void TfrmMain::BuildToolPanel(QWidget *client) {
    ToolPanel = new QFrame(client);
    ToolPanel->setObjectName("ToolPanel");
    ToolPanel->setFixedHeight(kToolPanelHeight);
    client->layout()->addWidget(ToolPanel);

    Bevel1 = new QFrame(ToolPanel);
    Bevel1->setObjectName("Bevel1");
    Bevel1->setFrameShape(QFrame::HLine);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->setGeometry(0, 0, width(), 2);

    btnGo = AddToolButton("Go", {}, QStyle::SP_MediaPlay);
    btnGo->setObjectName("btnGo");
    CancelButton = AddToolButton("Stop", {}, QStyle::SP_BrowserStop);
    CancelButton->setObjectName("CancelButton");
    sbPrior = AddToolButton("Back", "Previous Picture", QStyle::SP_ArrowBack);
    sbPrior->setObjectName("sbPrior");
    sbNext = AddToolButton("Forward", "Next Picture", QStyle::SP_ArrowForward);
    sbNext->setObjectName("sbNext");
    SetupButton = AddToolButton("Setup", "Setup", QStyle::SP_FileDialogDetailedView);
    SetupButton->setObjectName("SetupButton");

    NGEdit = new QComboBox(ToolPanel);
    NGEdit->setObjectName("NGEdit");
    NGEdit->setAccessibleName("Newsgroup");
    NGEdit->setFixedWidth(kNGEditWidth);
    NGEdit->setEditable(false);
    setSortedItems(NGEdit, PresetNewsGroups());

    auto *nowViewing = new QLabel("Now Viewing:", ToolPanel);
    PicOfPic = new TPicOfPicBox(ToolPanel);
    PicOfPic->setObjectName("PicOfPic");
    PicOfPic->setAccessibleName("Now Viewing");
    PicOfPic->setEditable(true);
    PicOfPic->lineEdit()->setAccessibleName("Now Viewing");
    PicOfPic->setFixedWidth(kPicOfPicWidth);
    nowViewing->setBuddy(PicOfPic);

    auto *row = new QHBoxLayout(ToolPanel);
    row->setContentsMargins(4, 8, 4, 8);
    row->setSpacing(2);
    for (QToolButton *button : {btnGo, CancelButton, sbPrior, sbNext, SetupButton})
        row->addWidget(button, 0, Qt::AlignTop);
    row->addSpacing(8);
    auto *choices = new QVBoxLayout;
    choices->setSpacing(4);
    choices->addWidget(NGEdit);
    auto *viewing = new QHBoxLayout;
    viewing->addWidget(nowViewing);
    viewing->addWidget(PicOfPic);
    viewing->addStretch(1);
    choices->addLayout(viewing);
    row->addLayout(choices);
    row->addStretch(1);

    connect(sbNext, &QToolButton::clicked, this, Command([this] { sbNextClick(); }));
    connect(sbPrior, &QToolButton::clicked, this, Command([this] { BackClick(); }));
    connect(CancelButton, &QToolButton::clicked, this, Command([this] { CancelButtonClick(); }));
    PicOfPic->OnDropDown = [this](TObject *) {
        RunCommand(this, [this] { Pictures->FillPicOfPicList(); });
    };
    connect(PicOfPic, &QComboBox::activated, this, [this](int index) {
        RunCommand(this, [this, index] { Pictures->PickPicture(index); });
    });
    connect(PicOfPic->lineEdit(), &QLineEdit::returnPressed, this,
            Command([this] { Pictures->PicOfPicTyped(PicOfPic->currentText()); }));
}

void TfrmMain::BuildPictureArea(QWidget *client) {
    auto *box = new TScrollBox(client);
    sbMain = box;
    sbMain->setObjectName("sbMain");
    sbMain->setAccessibleName("Picture Area");
    sbMain->setWidgetResizable(false);
    sbMain->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Image1 = new TGifImage;
    Image1->setObjectName("Image1");
    Image1->setAccessibleName("Picture");
    PictureDrag = new TPictureDrag(*Image1, [this] { return Pictures->PictureData(); });
    Image1->OnMouseDown = PictureDrag->WatchPress(
        [this](TObject *, Qt::MouseButton button, Qt::KeyboardModifiers, QPoint) {
            RunCommand(this, [this, button] { Pictures->Zoom(button); });
        });
    // Zoom from the keyboard as well: "+" as the left button, "-" as the right one.
    Image1->OnKeyDown = [this](TObject *, int key, Qt::KeyboardModifiers) {
        if (key == Qt::Key_Plus || key == Qt::Key_Equal)
            RunCommand(this, [this] { Pictures->Zoom(Qt::LeftButton); });
        else if (key == Qt::Key_Minus)
            RunCommand(this, [this] { Pictures->Zoom(Qt::RightButton); });
    };
    box->SetScrolledControl(Image1);
    box->installEventFilter(this);
    client->layout()->addWidget(sbMain);
    static_cast<QVBoxLayout *>(client->layout())->setStretchFactor(sbMain, 1);
}

void TfrmMain::BuildStatusBar(QWidget *client) {
    StatusBar1 = new QStatusBar(client);
    StatusBar1->setObjectName("StatusBar1");
    StatusBar1->setSizeGripEnabled(false);
    const struct {
        int width;
        const char *text;
        const char *name;
    } panels[] = {
        {120, "Total Articles: ", "Total Articles"},
        {200, "Current Status: Not Connected", "Current Status"},
        {50, "None", "Picture File"},
    };
    for (const auto &panel : panels) {
        auto *label = new QLabel(panel.text, StatusBar1);
        // A screen reader reads the panel's name: it is the text shown, kept current by
        // SetStatusText; what the panel is for goes into its description.
        label->setAccessibleName(panel.text);
        label->setAccessibleDescription(panel.name);
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setMinimumWidth(panel.width);
        // The file name panel takes what is left, so that long names stay readable.
        if (panels_.size() < 2)
            label->setFixedWidth(panel.width);
        StatusBar1->addWidget(label, panels_.size() == 2 ? 1 : 0);
        panels_.push_back(label);
    }
    WalkProgress = new QProgressBar(StatusBar1);
    WalkProgress->setObjectName("WalkProgress");
    WalkProgress->setAccessibleName("Progress");
    // Digits as the status panel writes them, whatever the language.
    WalkProgress->setLocale(QLocale::c());
    WalkProgress->setFixedWidth(150);
    WalkProgress->hide();
    StatusBar1->addPermanentWidget(WalkProgress);
    client->layout()->addWidget(StatusBar1);
}

void TfrmMain::BuildMenu() {
    MainMenu = new QMenuBar;
    MainMenu->setObjectName("MainMenu");
    SetMenuBar(MainMenu);

    QMenu *file = MainMenu->addMenu("&File");
    mniOpenPictureFolder =
        file->addAction("&Open Picture Folder", this, Command([this] { ShellOpen(TempFolder); }));
    mniOpenPictureFolder->setObjectName("mniOpenPictureFolder");
    file->addSeparator();
    mniExit = file->addAction("E&xit", this, [this] { close(); });
    mniExit->setShortcut(QKeySequence(Qt::ALT | Qt::Key_X));

    QMenu *picture = MainMenu->addMenu("&Picture");
    mniNextPicture = picture->addAction("&Next Picture", this, Command([this] { sbNextClick(); }));
    mniNextPicture->setShortcut(QKeySequence(Qt::Key_F6));
    mniPreviousPicture =
        picture->addAction("&Previous Picture", this, Command([this] { Pictures->Back(); }));
    mniPreviousPicture->setShortcut(QKeySequence(Qt::Key_F5));
    picture->addSeparator();
    mniSetAsWallpaper = picture->addAction(
        "Set As &Wallpaper", this,
        Command([this] { Pictures->SetAsWallpaper(*SettingsStore, ProgramFolder()); }));
    mniSetAsWallpaper->setShortcut(QKeySequence(Qt::Key_F2));
    // A text field with the focus takes Ctrl+C for its own text before the window sees it.
    mniCopyPicture =
        picture->addAction("&Copy Picture", this, Command([this] { Pictures->CopyPicture(); }));
    mniCopyPicture->setObjectName("mniCopyPicture");
    mniCopyPicture->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    mniSlideShow =
        picture->addAction("Slide Show...", this, Command([this] { SlideShow->Execute(this); }));
    mniAutoSizePictures = picture->addAction("Auto Size Pictures");
    mniAutoSizePictures->setObjectName("mniAutoSizePictures");
    mniAutoSizePictures->setCheckable(true);
    mniAutoSizePictures->setChecked(false);
    mniFitToWindow = picture->addAction("&Fit to Window");
    mniFitToWindow->setObjectName("mniFitToWindow");
    mniFitToWindow->setCheckable(true);
    // Two ways of sizing one picture: ticking one unticks the other, both may be off.
    auto *sizing = new QActionGroup(this);
    sizing->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    sizing->addAction(mniAutoSizePictures);
    sizing->addAction(mniFitToWindow);
    connect(mniFitToWindow, &QAction::toggled, this, Command([this] { Pictures->RefitPicture(); }));
    mniFullScreen = picture->addAction("F&ull Screen");
    mniFullScreen->setObjectName("mniFullScreen");
    mniFullScreen->setCheckable(true);
    mniFullScreen->setShortcut(QKeySequence(Qt::Key_F11));
    // The menu bar is hidden in full screen; the window keeps the key that leaves it.
    addAction(mniFullScreen);
    connect(mniFullScreen, &QAction::toggled, this, [this](bool on) { SetFullScreen(on); });
    AddFullScreenKey(QKeySequence(Qt::Key_Escape), &TfrmMain::LeaveFullScreen);
    AddFullScreenKey(QKeySequence(Qt::Key_Left), &TfrmMain::BackClick);
    AddFullScreenKey(QKeySequence(Qt::Key_Right), &TfrmMain::sbNextClick);
    picture->addSeparator();
    mniDeletePicture = picture->addAction("&Delete this picture", this,
                                          Command([this] { Pictures->DeleteCurrentPicture(); }));
    mniDeletePicture->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));

    QMenu *help = MainMenu->addMenu("&Help");
    QuillonHomepage1 =
        help->addAction("&Vexil Homepage...", this, Command([] { ShellOpen(HomePageAddress()); }));
    QuillonHomepage1->setObjectName("QuillonHomepage1");
    VexilOnlineHelp1 =
        help->addAction("Online Help...", this, Command([] { ShellOpen(OnlineHelpAddress()); }));
    VexilOnlineHelp1->setObjectName("VexilOnlineHelp1");
    help->addSeparator();
    mniAbout = help->addAction("&About", this, Command([this] { mniAboutClick(); }));
}

void TfrmMain::BuildThumbnailStrip(QWidget *client) {
    Thumbnails = new TThumbnailStrip(client);
    Thumbnails->hide();
    auto *layout = static_cast<QVBoxLayout *>(client->layout());
    layout->insertWidget(layout->indexOf(sbMain) + 1, Thumbnails);
    connect(Thumbnails, &TThumbnailStrip::PictureChosen, this, [this](int index) {
        RunCommand(this, [this, index] { Pictures->PickPicture(index); });
    });
    // The viewer writes the picture-number box after every change to its list or to the
    // picture shown, so the strip follows that box.
    connect(PicOfPic, &QComboBox::editTextChanged, this, [this] { FollowPictures(); });

    QMenu *picture = qobject_cast<QMenu *>(mniDeletePicture->parent());
    mniThumbnails = new QAction("&Thumbnails", picture);
    mniThumbnails->setObjectName("mniThumbnails");
    mniThumbnails->setCheckable(true);
    mniThumbnails->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    // With the display options, before the separator that keeps Delete apart.
    const QList<QAction *> items = picture->actions();
    const qsizetype at = items.indexOf(mniDeletePicture);
    picture->insertAction(at > 0 && items[at - 1]->isSeparator() ? items[at - 1] : mniDeletePicture,
                          mniThumbnails);
    connect(mniThumbnails, &QAction::toggled, this, [this](bool on) {
        Thumbnails->setVisible(on);
        FollowPictures();
    });
}

void TfrmMain::FollowPictures() {
    // A hidden strip is brought up to date when it is shown. The pictures listed in one go
    // (the folder at start) are followed once, not once a picture.
    if (followPending_ || !Thumbnails->isVisibleTo(this))
        return;
    followPending_ = true;
    QTimer::singleShot(0, this, [this] {
        followPending_ = false;
        if (Pictures && Thumbnails->isVisibleTo(this))
            Thumbnails->Follow(Pictures->PictureList, Pictures->CurIndex);
    });
}

QString TfrmMain::StatusText(TStatusPanel panel) const {
    return panels_.at(panel)->text();
}

void TfrmMain::SetStatusText(TStatusPanel panel, const QString &text) {
    panels_.at(panel)->setText(text);
    panels_.at(panel)->setAccessibleName(text);
    emit StatusTextChanged(panel, text);
}

void TfrmMain::FormCreate() {
    SetSaveSize(true);
    SetSavePosition(true);
    SetCentredOnFirstRun(true);
    SetRegKey(kSettingsKey);
    NGEdit->setCurrentIndex(1);

    TempFolder = ProgramFolder() + "TEMP/";
    std::error_code ec;
    std::filesystem::create_directories(TempFolder, ec);
    if (ec)
        startupErrors_.push_back("Cannot create the picture folder " + TempFolder + ": " +
                                 ec.message());
    TPictureViewer::TControls controls;
    controls.Image1 = Image1;
    controls.sbMain = sbMain;
    controls.PicOfPic = PicOfPic;
    controls.mniAutoSizePictures = mniAutoSizePictures;
    controls.mniFitToWindow = mniFitToWindow;
    controls.DisabledWhileLoading = {sbPrior, sbNext, CancelButton};
    new TFocusKeeper(this, controls.DisabledWhileLoading);
    controls.SetFileNamePanel = [this](const QString &text) { SetStatusText(spFileName, text); };
    controls.SlowColor = &Settings.SlowColor;
    Pictures = std::make_unique<TPictureViewer>(std::move(controls), TempFolder);
    SlideShow = std::make_unique<TSlideShow>(*ATimer, *Pictures);

    CreateBrowseRun();

    SettingsStore = std::make_unique<TRegistry>();
    TMainSettings settings =
        ReadMainSettings(*SettingsStore, [this] { return DisplayColorCount(this); });
    LoadPassword(settings);
    ApplySettings(settings);

    DataFile = ProgramFolder() + "Vexil.Dat";
    if (std::filesystem::exists(DataFile)) {
        LoadGroupListFile(true);
        try {
            msNNTP.LoadNewsGroupList(DataFile);
        } catch (const Exception &e) {
            startupErrors_.push_back(e.Message());
        }
    }
}

namespace {

TfrmMain::TKeyringMaker &keyringMaker() {
    static TfrmMain::TKeyringMaker maker;
    return maker;
}

} // namespace

void TfrmMain::SetKeyringMaker(TKeyringMaker maker) {
    keyringMaker() = std::move(maker);
}

void TfrmMain::LoadPassword(TMainSettings &settings) {
    Passwords = std::make_unique<TPasswordStore>(
        *SettingsStore, kSettingsKey,
        keyringMaker() ? keyringMaker()() : std::make_unique<TSecretServiceKeyring>());
    try {
        settings.Password = Passwords->Load(settings.UserName);
    } catch (const Exception &e) {
        startupErrors_.push_back(e.Message());
    }
    for (const std::string &notice : Passwords->TakeNotices())
        startupErrors_.push_back(notice);
}

void TfrmMain::SavePassword() {
    Passwords->Save(msNNTP.Password);
    ShowPasswordNotices();
}

void TfrmMain::ShowPasswordNotices() {
    for (const std::string &notice : Passwords->TakeNotices())
        QMessageBox::information(this, ApplicationTitle(), TextOfBytes(notice), QMessageBox::Ok);
}

bool TfrmMain::PasswordAtHand() {
    if (!Passwords || Passwords->Place() != TPasswordStore::ppUnread || !msNNTP.Password.empty())
        return true;
    if (const std::optional<std::string> password = Passwords->ReadAgain()) {
        msNNTP.Password = *password;
        return true;
    }
    bool ok = false;
    const QString typed =
        QInputDialog::getText(this, ApplicationTitle(),
                              "The keyring did not give the login password. Password for " +
                                  TextOfBytes(msNNTP.UserName) + ":",
                              QLineEdit::Password, {}, &ok);
    if (!ok)
        return false;
    msNNTP.Password = BytesOfText(typed);
    return true;
}

void TfrmMain::CreateBrowseRun() {
    TBrowseRun::TControls controls;
    controls.NGEdit = NGEdit;
    controls.btnGo = btnGo;
    controls.SetArticlesPanel = [this](const QString &text) { SetStatusText(spArticles, text); };
    controls.SetStatusPanel = [this](const QString &text) { SetStatusText(spStatus, text); };
    controls.ShowProgress = [this](int value, int minimum, int maximum, const QString &format) {
        // The bar paints itself at once on every new value, and a Go gives it one a header;
        // painted with the rest of the window at the next pass instead, it costs nothing
        // that the user could see. A format that names the value also spares the bar
        // measuring its text to decide whether the new value is worth a repaint.
        WalkProgress->setUpdatesEnabled(false);
        WalkProgress->setRange(minimum, maximum);
        WalkProgress->setFormat(format);
        WalkProgress->setValue(value);
        WalkProgress->setUpdatesEnabled(true);
        WalkProgress->show();
    };
    controls.HideProgress = [this] { WalkProgress->hide(); };
    controls.SettingsStore = [this] { return SettingsStore.get(); };
    controls.PictureFolder = TempFolder;
    controls.AddPicture = [this](const std::string &path) { Pictures->AddPicture(path); };
    controls.TrustCertificate = [this](const ECertificateError &e) {
        return AskToTrustCertificate(this, msNNTP.Server(), e);
    };
    Browse = std::make_unique<TBrowseRun>(std::move(controls), msNNTP, msArticle1);
}

void TfrmMain::ConnectBrowseControls() {
    connect(btnGo, &QToolButton::clicked, this, Command([this] { btnGoClick(); }));
    connect(SetupButton, &QToolButton::clicked, this, Command([this] { SetupButtonClick(); }));
    connect(NGEdit, &QComboBox::currentIndexChanged, this, Command([this] { NGEditChange(); }));
    NGEdit->installEventFilter(this);
}

void TfrmMain::ApplySettings(const TMainSettings &settings) {
    msNNTP.SetServer(settings.Server);
    msNNTP.SetUseTls(settings.UseTls);
    Settings = settings;
    Browse->SetSettings(Settings);
    msNNTP.UserName = settings.UserName;
    msNNTP.Password = settings.Password;
}

TMainSettings TfrmMain::CurrentSettings() const {
    TMainSettings settings = Settings;
    settings.Server = msNNTP.Server();
    settings.UseTls = msNNTP.UseTls();
    settings.UserName = msNNTP.UserName;
    settings.Password = msNNTP.Password;
    settings.LogFile = !msNNTP.LogFileName().empty();
    return settings;
}

void TfrmMain::LoadGroupListFile(bool selectFirst) {
    std::ifstream file(DataFile, std::ios::binary);
    if (!file)
        return;
    QStringList groups;
    std::string line;
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        groups << TextOfBytes(line);
    }
    setSortedItems(NGEdit, groups);
    NGEdit->setCurrentIndex(selectFirst ? 0 : -1);
}

void TfrmMain::customEvent(QEvent *event) {
    if (event->type() != WM_STARTUP) {
        TRTForm::customEvent(event);
        return;
    }
    // Waiting for the keyring runs a local event loop, which delivers the start message
    // while the window is still being built; it comes again once the window is whole.
    if (!built_) {
        startupHeld_ = true;
        return;
    }
    for (const std::string &error : startupErrors_)
        ReportError(this, Exception(error));
    startupErrors_.clear();
    // A picture folder that could not be made was reported above, once; nothing to list.
    std::error_code ec;
    if (std::filesystem::is_directory(TempFolder, ec))
        RunCommand(this, [this] { LoadFolderPictures(); });
}

void TfrmMain::LoadFolderPictures() {
    // Only pictures, in name order: what else the user keeps there is no picture that
    // failed, and must not be deleted as one.
    for (const std::string &name : FolderPictures(TempFolder))
        Pictures->AddPicture(TempFolder + name);
}

void TfrmMain::AddFullScreenKey(QKeySequence key, void (TfrmMain::*command)()) {
    auto *shortcut = new QShortcut(key, this);
    shortcut->setEnabled(false);
    connect(shortcut, &QShortcut::activated, this,
            Command([this, command] { (this->*command)(); }));
    fullScreenKeys_.push_back(shortcut);
}

void TfrmMain::SetFullScreen(bool on) {
    for (QWidget *w : std::initializer_list<QWidget *>{MainMenu, ToolPanel, StatusBar1})
        w->setVisible(!on);
    Thumbnails->setVisible(!on && mniThumbnails->isChecked());
    for (QShortcut *key : fullScreenKeys_)
        key->setEnabled(on);
    if (on) {
        windowedState_ = windowState();
        // The form draws its own caption, which no window manager takes away in full screen.
        windowedBorder_ = BorderStyle();
        SetBorderStyle(bsNone);
        showFullScreen();
        sbMain->setFocus();
    } else {
        SetBorderStyle(windowedBorder_);
        setWindowState(windowedState_);
    }
}

void TfrmMain::LeaveFullScreen() {
    mniFullScreen->setChecked(false);
}

void TfrmMain::BackClick() {
    Pictures->Back();
}

void TfrmMain::sbNextClick() {
    Pictures->Forward();
}

bool TfrmMain::eventFilter(QObject *watched, QEvent *event) {
    if (watched == NGEdit && event->type() == QEvent::FocusOut)
        RunCommand(this, [this] { Browse->ForgetHeaders(); });
    // Fit to Window follows the box as the window or full screen changes its size.
    if (watched == sbMain && event->type() == QEvent::Resize && Pictures &&
        mniFitToWindow->isChecked())
        RunCommand(this, [this] { Pictures->RefitPicture(); });
    return TRTForm::eventFilter(watched, event);
}

void TfrmMain::CancelButtonClick() {
    if (SlideShow->Running()) {
        SlideShow->Stop();
        return;
    }
    Browse->Stop();
}

void TfrmMain::btnGoClick() {
    if (!PasswordAtHand())
        return;
    TClientOperation operation(*this);
    try {
        Browse->Go();
    } catch (const ECanceledError &) {
        // Closing the window cancelled the run; there is no one left to tell.
        if (!closed_)
            throw;
    }
}

void TfrmMain::NGEditChange() {
    Browse->ForgetHeaders();
}

void TfrmMain::SetupButtonClick() {
    TSetupDlg dlg(this);
    dlg.Fill(CurrentSettings());
    dlg.OnGetGroups = [this, &dlg](TObject *) { SetupGetGroups(dlg); };
    dlg.OnReset = [this, &dlg](TObject *) { SetupReset(&dlg); };
    if (dlg.exec() == QDialog::Accepted)
        ApplySetup(dlg);
}

void TfrmMain::ApplySetup(const TSetupDlg &dlg) {
    const TMainSettings values = dlg.Values();
    msNNTP.SetServer(values.Server);
    msNNTP.SetUseTls(values.UseTls);
    msNNTP.UserName = values.UserName;
    msNNTP.Password = values.Password;
    Settings = values;
    Browse->SetSettings(Settings);
    std::error_code folderError;
    if (values.LogFile) {
        std::filesystem::create_directories(LogFileFolder(), folderError);
        msNNTP.SetLogFileName(LogFilePath());
    } else {
        msNNTP.SetLogFileName({});
    }
    SavePassword();
    if (folderError)
        throw EFCreateError(LogFilePath() + " (" + folderError.message() + ")");
}

void TfrmMain::SetupGetGroups(TSetupDlg &dlg) {
    if (Browse->Running())
        throw EBrowseError("Get Groups cannot run while Go is fetching articles: both would "
                           "use the one connection. Press Stop first.");
    TClientOperation operation(*this);
    msNNTP.SetServer(dlg.ServerText());
    msNNTP.SetUseTls(dlg.cbUseTls->isChecked());
    // The login typed beside the server goes with it: a server that wants one answers LIST
    // only after it.
    msNNTP.UserName = BytesOfText(dlg.eName->text());
    msNNTP.Password = BytesOfText(dlg.ePass->text());
    Browse->LeaveOutdatedServer();
    Browse->RunOnConnection([this] { RetrievePictureGroups(msNNTP, DataFile); });
    LoadGroupListFile(false);
}

void TfrmMain::SetupReset(QWidget *dialog) {
    if (!ResetSmartDownload(*SettingsStore))
        return;
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    QMessageBox::information(dialog, ApplicationTitle(), "Smart Download Has Been Reset.",
                             QMessageBox::Ok);
    QApplication::restoreOverrideCursor();
}

void TfrmMain::mniAboutClick() {
    TAboutBox about(this);
    about.exec();
}

void TfrmMain::LeaveServer() {
    // Cancelling closes the socket, so an idle client says QUIT first: otherwise the server
    // would never be left politely. A running operation is cancelled, since a QUIT now
    // would cut into the exchange it is waiting in.
    if (ClientOperations > 0) {
        msNNTP.Cancel();
        return;
    }
    msNNTP.Disconnect();
}

void TfrmMain::FormClose() {
    if (closed_)
        return;
    closed_ = true;
    try {
        LeaveServer();
    } catch (const Exception &e) {
        // Saying goodbye to a server that has gone away fails; the settings are saved all
        // the same.
        ReportError(this, e);
    }
    // The store goes in every case; a failed write skips the rest and is reported.
    std::unique_ptr<TRegistry> store = std::move(SettingsStore);
    try {
        TMainSettings settings = CurrentSettings();
        SavePassword();
        settings.Password = Passwords->SettingsText();
        WriteMainSettings(*store, settings);
    } catch (const Exception &e) {
        ReportError(this, Exception("The settings could not be saved. " + e.Message()));
    }
    Passwords.reset();
}

void TfrmMain::closeEvent(QCloseEvent *event) {
    FormClose();
    TRTForm::closeEvent(event);
}

void TfrmMain::resizeEvent(QResizeEvent *event) {
    TRTForm::resizeEvent(event);
    if (Bevel1)
        Bevel1->setGeometry(0, 0, width(), 2);
}

} // namespace vexil
