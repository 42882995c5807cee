#pragma once
// The setup dialog: news server and Get Groups, Smart Download and its reset, the 256-colour
// mode, the command log and the Lines limits, and the login. The main window fills it from
// its state and takes the values back on OK; Get Groups and Reset act at once, through the
// window's handlers.

#include "browse/TMainSettings.h"
#include "platform/Exception.h"
#include "platform/Object.h"

#include <QDialog>

#include <cstdint>
#include <string>

class QCheckBox;
class QSpinBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace vexil {

// A value typed into the dialog that cannot be taken.
class ESetupError : public Exception {
public:
    using Exception::Exception;
};

// The command log's file: "VEXIL.LOG" in the user's state folder ($XDG_STATE_HOME/vexil/,
// ~/.local/state/vexil/ by default).
std::string LogFileFolder();
std::string LogFilePath();

// A limit as typed: the number in the text (see ExtractNumber) taken to the nearest whole
// number, halves to even. Throws ESetupError, naming the field by Caption, when it does not
// fit 32 bits.
std::int32_t LimitOfText(const std::string &Text, const std::string &Caption);

class TSetupDlg : public QDialog, public TObject {
    Q_OBJECT

public:
    // The names ServerEdit offers besides what the user types.
    static QStringList PresetServers();

    explicit TSetupDlg(QWidget *parent = nullptr);

    // Shows the settings; those the dialog has no control for come back from Values as given.
    void Fill(const TMainSettings &Values);
    // What OK applies; a MaxLines of 0 stands for 100000. Throws ESetupError for a limit
    // outside 32 bits.
    TMainSettings Values() const;
    std::string ServerText() const;

    // Get Groups and Reset: run while the dialog stays open.
    TNotifyEvent OnGetGroups;
    TNotifyEvent OnReset;

    QTabWidget *pcMain = nullptr;
    QWidget *tsMain = nullptr;
    QWidget *tsSmart = nullptr;
    QWidget *tsAdvanced = nullptr;
    QWidget *tsLogin = nullptr;
    QComboBox *ServerEdit = nullptr;
    QPushButton *btnGetGroup = nullptr;
    QCheckBox *cbUseTls = nullptr;
    QCheckBox *cbSmartDownLoad = nullptr;
    QPushButton *btnReset = nullptr;
    QCheckBox *cb256Color = nullptr;
    QCheckBox *cbLogFile = nullptr;
    QCheckBox *cbJoinParts = nullptr;
    QCheckBox *cbUseOverview = nullptr;
    QSpinBox *seArticlesAtOnce = nullptr;
    QLineEdit *eMinLines = nullptr;
    QLineEdit *eMaxLines = nullptr;
    QLineEdit *eName = nullptr;
    QLineEdit *ePass = nullptr;
    QPushButton *OKBtn = nullptr;
    QPushButton *CancelBtn = nullptr;

    // OK: refuses limits that do not fit, showing why, and stays open.
    void accept() override;

private:
    QPushButton *ActionButton(const char *Caption, const char *Name, void (TSetupDlg::*Click)());
    QWidget *BuildServerTab();
    QWidget *BuildSmartTab();
    QWidget *BuildAdvancedTab();
    QWidget *BuildLoginTab();
    // Shows why a limit cannot be taken and puts the cursor into its field.
    bool CheckLimit(QLineEdit *Field, const char *Caption);
    void btnGetGroupClick();
    void btnResetClick();

    // What Fill was given.
    TMainSettings given_;
};

} // namespace vexil
