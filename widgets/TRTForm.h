#pragma once
// The form base of the main window: it remembers the window's placement under a key of
// HKEY_CURRENT_USER, posts itself WM_STARTUP once it is built, puts the mouse cursor back to
// its default shape whenever the application goes idle, and minimises and restores itself.

#include "widgets/TGradientForm.h"

#include <QEvent>

#include <string>

namespace vexil {

// Posted by the form to itself when it is built; delivered once the message loop runs, after
// every start-up window exists. A derived form handles it in customEvent.
inline const QEvent::Type WM_STARTUP = static_cast<QEvent::Type>(QEvent::User + 25);

class TRTForm : public TGradientForm {
    Q_OBJECT
public:
    explicit TRTForm(QWidget *parent = nullptr);
    ~TRTForm() override;

    bool SavePosition() const { return savePosition_; }
    void SetSavePosition(bool value) { savePosition_ = value; }
    bool SaveSize() const { return saveSize_; }
    void SetSaveSize(bool value) { saveSize_ = value; }
    // With nothing saved yet, a centred form opens in the middle of the screen instead of
    // near its top left corner.
    bool CentredOnFirstRun() const { return centredOnFirstRun_; }
    void SetCentredOnFirstRun(bool value) { centredOnFirstRun_ = value; }
    const std::string &RegKey() const { return regKey_; }
    // A leading "\" is dropped: the key is always taken below HKEY_CURRENT_USER.
    void SetRegKey(const std::string &key);
    // The application's title as it was when the form was built.
    const QString &ApplicationTitle() const { return applicationTitle_; }

    // Applies the saved placement; runs once, when the form is first shown, so that the
    // derived form's constructor has set SavePosition, SaveSize and RegKey by then.
    void RestorePosition();
    // Writes the placement; runs when the form closes. Throws ERegistryException.
    void SaveWindowPosition();

    void setVisible(bool visible) override;

protected:
    void SystemCommand(TSystemCommand command) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void PlaceForFirstRun();

    bool savePosition_ = false;
    bool saveSize_ = false;
    bool restored_ = false;
    bool centredOnFirstRun_ = false;
    std::string regKey_;
    QString applicationTitle_;
};

} // namespace vexil
