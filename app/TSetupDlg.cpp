#include "app/TSetupDlg.h"

#include "base/ExtractNumber.h"
#include "browse/TMainSettings.h"
#include "net/ServerAddress.h"
#include "platform/QtText.h"
#include "platform/UserFolders.h"
#include "widgets/ErrorReport.h"
#include "widgets/ScreenCentre.h"
#include "widgets/ScreenCursor.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace vexil {

namespace {

constexpr const char *kMinLinesCaption = "Ignore messages with less than :";
constexpr const char *kMaxLinesCaption = "Ignore messages with more than :";

QLabel *WrappedText(const QString &text) {
    auto *label = new QLabel(text);
    label->setWordWrap(true);
    return label;
}

// A group box filling its tab, as the tabs' single groups do.
QGroupBox *TabGroup(QWidget *tab, const QString &caption) {
    auto *group = new QGroupBox(caption);
    auto *outer = new QVBoxLayout(tab);
    outer->addWidget(group);
    return group;
}

// An explanation at the top of a group, its controls in a row at the bottom.
void TextAboveRow(QGroupBox *group, const QString &text, QLayout *row) {
    auto *inner = new QVBoxLayout(group);
    inner->addWidget(WrappedText(text));
    inner->addStretch(1);
    inner->addLayout(row);
}

QLineEdit *NamedEdit(const char *objectName, const QString &accessibleName) {
    auto *edit = new QLineEdit;
    edit->setObjectName(objectName);
    edit->setAccessibleName(accessibleName);
    return edit;
}

// "caption [edit] Lines" for one limit.
void AddLimitRow(QGridLayout *grid, int row, const char *caption, QLineEdit *edit) {
    auto *label = new QLabel(caption);
    label->setBuddy(edit);
    edit->setMaximumWidth(90);
    grid->addWidget(label, row, 0);
    grid->addWidget(edit, row, 1);
    grid->addWidget(new QLabel("Lines"), row, 2);
}

// A path inside the user's home as "~/...": the log's path then fits the Advanced tab.
std::string HomeRelative(const std::string &path) {
    const char *home = std::getenv("HOME");
    if (home == nullptr || *home == '\0')
        return path;
    std::string prefix = home;
    if (prefix.back() != '/')
        prefix += '/';
    if (prefix == "/" || path.compare(0, prefix.size(), prefix) != 0)
        return path;
    return "~/" + path.substr(prefix.size());
}

} // namespace

std::string LogFileFolder() {
    return UserStateFolder() + "vexil/";
}

std::string LogFilePath() {
    return LogFileFolder() + "VEXIL.LOG";
}

std::int32_t LimitOfText(const std::string &Text, const std::string &Caption) {
    const double value = std::nearbyint(ExtractNumber(Text));
    if (!(value >= std::numeric_limits<std::int32_t>::min() &&
          value <= std::numeric_limits<std::int32_t>::max())) {
        std::string name = Caption.substr(0, Caption.find(" :"));
        throw ESetupError("\"" + name + "\" must be a number of lines from -2147483648 to " +
                          "2147483647, not " + Text + ".");
    }
    return static_cast<std::int32_t>(value);
}

QStringList TSetupDlg::PresetServers() {
    return {"127.0.0.1", "localhost", kDefaultServerName, "nntp"};
}

TSetupDlg::TSetupDlg(QWidget *parent) : QDialog(parent) {
    setObjectName("SetupDlg");
    setWindowTitle("Setup");

    pcMain = new QTabWidget;
    pcMain->setObjectName("pcMain");
    pcMain->setAccessibleName("Setup pages");
    tsMain = BuildServerTab();
    tsSmart = BuildSmartTab();
    tsAdvanced = BuildAdvancedTab();
    tsLogin = BuildLoginTab();
    pcMain->addTab(tsMain, "Server");
    pcMain->addTab(tsSmart, "Smart Download");
    pcMain->addTab(tsAdvanced, "Advanced");
    pcMain->addTab(tsLogin, "Login");
    pcMain->setCurrentWidget(tsMain);

    OKBtn = new QPushButton("OK");
    OKBtn->setObjectName("OKBtn");
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton("Cancel");
    CancelBtn->setObjectName("CancelBtn");
    connect(OKBtn, &QPushButton::clicked, this, &TSetupDlg::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &TSetupDlg::reject);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(pcMain, 1);
    layout->addLayout(buttons);

    // The classic size, unless the options added since need more room.
    const QSize need = sizeHint();
    setFixedSize(std::max(441, need.width()), std::max(266, need.height()));
    MoveToScreenCentre(*this, DialogScreen(parent));
}

QPushButton *TSetupDlg::ActionButton(const char *Caption, const char *Name,
                                     void (TSetupDlg::*Click)()) {
    auto *button = new QPushButton(Caption);
    button->setObjectName(Name);
    // What these buttons do acts at once; a failure is reported over the dialog.
    connect(button, &QPushButton::clicked, this,
            [this, Click] { RunCommand(this, [this, Click] { (this->*Click)(); }); });
    return button;
}

QWidget *TSetupDlg::BuildServerTab() {
    auto *tab = new QWidget;
    tab->setObjectName("tsMain");
    QGroupBox *group = TabGroup(tab, "Server");
    ServerEdit = new QComboBox;
    ServerEdit->setObjectName("ServerEdit");
    ServerEdit->setAccessibleName("News Server");
    ServerEdit->setEditable(true);
    ServerEdit->setInsertPolicy(QComboBox::NoInsert);
    ServerEdit->lineEdit()->setAccessibleName("News Server");
    QStringList servers = PresetServers();
    servers.sort(Qt::CaseInsensitive);
    ServerEdit->addItems(servers);
    auto *label = new QLabel("News Server:");
    label->setBuddy(ServerEdit);
    btnGetGroup = ActionButton("Get Groups", "btnGetGroup", &TSetupDlg::btnGetGroupClick);
    cbUseTls = new QCheckBox("Use a secure connection (TLS)");
    cbUseTls->setObjectName("cbUseTls");
    // An nntps:// server or port 563 is secure with or without the box.
    cbUseTls->setToolTip("Port 563 unless the server names another; always on for an "
                         "nntps:// server and for port 563.");

    auto *row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(ServerEdit, 1);
    row->addWidget(btnGetGroup);
    TextAboveRow(group,
                 "Enter the name of your news server. The default name may work; if it does "
                 "not, the news server is usually named after the domain of your e-mail address "
                 "(news.example.net for someone@example.net). Get Groups fetches the server's "
                 "picture groups.",
                 row);
    group->layout()->addWidget(cbUseTls);
    return tab;
}

QWidget *TSetupDlg::BuildSmartTab() {
    auto *tab = new QWidget;
    tab->setObjectName("tsSmart");
    QGroupBox *group = TabGroup(tab, "Download ");
    cbSmartDownLoad = new QCheckBox("Use Smart Download (recommended)");
    cbSmartDownLoad->setObjectName("cbSmartDownLoad");
    btnReset = ActionButton("Reset", "btnReset", &TSetupDlg::btnResetClick);
    auto *row = new QHBoxLayout;
    row->addWidget(cbSmartDownLoad, 1);
    row->addWidget(btnReset);
    TextAboveRow(group,
                 "Smart Download uses its own logic to avoid downloading the same picture twice. "
                 "If Smart Download gets confused just use the reset button and Smart Download "
                 "will being learning again",
                 row);
    return tab;
}

QWidget *TSetupDlg::BuildAdvancedTab() {
    auto *tab = new QWidget;
    tab->setObjectName("tsAdvanced");
    auto *advanced = new QGroupBox("Advanced ");
    cb256Color = new QCheckBox("Run in 256 Color Mode (Slower)");
    cb256Color->setObjectName("cb256Color");
    cbLogFile = new QCheckBox("Create Log File in " + MessageText(HomeRelative(LogFilePath())));
    cbLogFile->setToolTip(MessageText(LogFilePath()));
    cbLogFile->setObjectName("cbLogFile");
    cbUseOverview = new QCheckBox("Read headers from the server's overview (fast)");
    cbUseOverview->setObjectName("cbUseOverview");
    cbUseOverview->setToolTip("Used when the server has an overview; otherwise the headers "
                              "are read one by one");
    auto *checks = new QVBoxLayout(advanced);
    checks->addWidget(cb256Color);
    checks->addWidget(cbLogFile);
    checks->addWidget(cbUseOverview);
    cbJoinParts = new QCheckBox("Join pictures posted in several parts");
    cbJoinParts->setObjectName("cbJoinParts");
    checks->addWidget(cbJoinParts);
    seArticlesAtOnce = new QSpinBox;
    seArticlesAtOnce->setObjectName("seArticlesAtOnce");
    seArticlesAtOnce->setRange(1, 32);
    seArticlesAtOnce->setToolTip("Used with the server's overview");
    auto *atOnce = new QHBoxLayout;
    auto *atOnceLabel = new QLabel("Articles requested at once");
    // A layout would rather cut the caption than widen the tab.
    atOnceLabel->setMinimumSize(atOnceLabel->sizeHint());
    atOnce->addWidget(atOnceLabel);
    atOnce->addWidget(seArticlesAtOnce);
    atOnce->addStretch(1);
    checks->addLayout(atOnce);

    auto *limits = new QGroupBox("Message Limits ");
    eMinLines = NamedEdit("eMinLines", "Ignore messages with less than (lines)");
    eMaxLines = NamedEdit("eMaxLines", "Ignore messages with more than (lines)");
    auto *grid = new QGridLayout(limits);
    AddLimitRow(grid, 0, kMinLinesCaption, eMinLines);
    AddLimitRow(grid, 1, kMaxLinesCaption, eMaxLines);
    grid->setColumnStretch(3, 1);

    auto *layout = new QVBoxLayout(tab);
    layout->addWidget(advanced);
    layout->addWidget(limits);
    return tab;
}

QWidget *TSetupDlg::BuildLoginTab() {
    auto *tab = new QWidget;
    tab->setObjectName("tsLogin");
    QGroupBox *group = TabGroup(tab, "Server Login ");
    eName = NamedEdit("eName", "Name");
    ePass = NamedEdit("ePass", "Password");
    ePass->setEchoMode(QLineEdit::Password);
    auto *form = new QFormLayout;
    form->addRow("Name:", eName);
    form->addRow("Password:", ePass);
    auto *inner = new QVBoxLayout(group);
    inner->addWidget(WrappedText(
        "Only Complete this if you server requires you to login. Most servers do not."));
    inner->addLayout(form);
    inner->addStretch(1);
    return tab;
}

void TSetupDlg::Fill(const TMainSettings &Values) {
    given_ = Values;
    ServerEdit->setEditText(TextOfBytes(Values.Server));
    eName->setText(TextOfBytes(Values.UserName));
    ePass->setText(TextOfBytes(Values.Password));
    cb256Color->setChecked(Values.SlowColor);
    eMinLines->setText(QString::number(Values.MinLines));
    eMaxLines->setText(QString::number(Values.MaxLines));
    cbLogFile->setChecked(Values.LogFile);
    cbSmartDownLoad->setChecked(Values.SmartDownload);
    cbUseTls->setChecked(Values.UseTls);
    cbJoinParts->setChecked(Values.JoinParts);
    cbUseOverview->setChecked(Values.UseOverview);
    seArticlesAtOnce->setValue(Values.ArticlesAtOnce);
}

std::string TSetupDlg::ServerText() const {
    return BytesOfText(ServerEdit->currentText());
}

TMainSettings TSetupDlg::Values() const {
    TMainSettings values = given_;
    values.Server = ServerText();
    values.UserName = BytesOfText(eName->text());
    values.Password = BytesOfText(ePass->text());
    values.SlowColor = cb256Color->isChecked();
    values.MinLines = LimitOfText(BytesOfText(eMinLines->text()), kMinLinesCaption);
    values.MaxLines = LimitOfText(BytesOfText(eMaxLines->text()), kMaxLinesCaption);
    if (values.MaxLines == 0)
        values.MaxLines = TMainSettings().MaxLines;
    values.LogFile = cbLogFile->isChecked();
    values.SmartDownload = cbSmartDownLoad->isChecked();
    values.UseTls = cbUseTls->isChecked();
    values.JoinParts = cbJoinParts->isChecked();
    values.UseOverview = cbUseOverview->isChecked();
    values.ArticlesAtOnce = seArticlesAtOnce->value();
    return values;
}

bool TSetupDlg::CheckLimit(QLineEdit *Field, const char *Caption) {
    try {
        LimitOfText(BytesOfText(Field->text()), Caption);
        return true;
    } catch (const ESetupError &error) {
        pcMain->setCurrentWidget(tsAdvanced);
        QMessageBox::warning(this, windowTitle(), MessageText(error.Message()));
        Field->setFocus();
        Field->selectAll();
        return false;
    }
}

void TSetupDlg::accept() {
    // A port that is no number from 1 to 65535 would only fail at the next Go.
    try {
        CheckServerAddress(ServerText());
    } catch (const Exception &error) {
        pcMain->setCurrentWidget(tsMain);
        QMessageBox::warning(this, windowTitle(), MessageText(error.Message()));
        ServerEdit->setFocus();
        ServerEdit->lineEdit()->selectAll();
        return;
    }
    if (CheckLimit(eMinLines, kMinLinesCaption) && CheckLimit(eMaxLines, kMaxLinesCaption))
        QDialog::accept();
}

void TSetupDlg::btnGetGroupClick() {
    SetHourGlassScreenCursor();
    if (OnGetGroups)
        OnGetGroups(this);
    SetDefaultScreenCursor();
}

void TSetupDlg::btnResetClick() {
    if (OnReset)
        OnReset(this);
}

} // namespace vexil
