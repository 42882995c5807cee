#include "widgets/TRTForm.h"
#include "platform/TRegistry.h"
#include "widgets/ErrorReport.h"
#include "widgets/ScreenCentre.h"
#include "widgets/ScreenCursor.h"

#include "widgets/ApplicationTitle.h"
#include <QAbstractEventDispatcher>

#include <QApplication>
#include <QCloseEvent>

namespace vexil {

namespace {

constexpr int kFirstRunLeft = 25;
constexpr int kFirstRunTop = 25;

} // namespace

TRTForm::TRTForm(QWidget *parent) : TGradientForm(parent) {
    setStatusTip(tr("Ready."));
    SetGradientOnInactive(true);
    applicationTitle_ = ApplicationTitle();
    // The application is idle when its loop is about to wait for events; whatever cursor a
    // command left behind (an hourglass after a failure) goes then.
    if (QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance())
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this,
                [] { SetDefaultScreenCursor(); });
    QApplication::postEvent(this, new QEvent(WM_STARTUP));
}

TRTForm::~TRTForm() = default;

void TRTForm::SetRegKey(const std::string &key) {
    regKey_ = !key.empty() && key.front() == '\\' ? key.substr(1) : key;
}

void TRTForm::setVisible(bool visible) {
    if (visible && !restored_) {
        restored_ = true;
        RestorePosition();
    }
    TGradientForm::setVisible(visible);
}

void TRTForm::RestorePosition() {
    if (!savePosition_ || regKey_.empty())
        return;
    try {
        TRegistry reg;
        reg.SetRootKey(HKEY_CURRENT_USER);
        reg.OpenKey(regKey_, true);
        if (reg.ReadBool("WindowMaximised")) {
            setWindowState(windowState() | Qt::WindowMaximized);
            return;
        }
        const int top = reg.ReadInteger("Top");
        const int left = reg.ReadInteger("Left");
        move(left, top);
        if (saveSize_) {
            const int height = reg.ReadInteger("Height");
            const int width = reg.ReadInteger("Width");
            resize(width, height);
        }
    } catch (const ERegistryException &) {
        PlaceForFirstRun(); // a first run has nothing saved yet
    }
}

void TRTForm::PlaceForFirstRun() {
    if (!centredOnFirstRun_ || !MoveToScreenCentre(*this, QApplication::primaryScreen()))
        move(kFirstRunLeft, kFirstRunTop);
}

void TRTForm::SaveWindowPosition() {
    if (!savePosition_ || regKey_.empty())
        return;
    TRegistry reg;
    reg.SetRootKey(HKEY_CURRENT_USER);
    reg.OpenKey(regKey_, true);
    reg.WriteBool("WindowMaximised", isMaximized());
    const QRect bounds = geometry();
    reg.WriteInteger("Top", bounds.top());
    reg.WriteInteger("Left", bounds.left());
    reg.WriteInteger("Height", bounds.height());
    reg.WriteInteger("Width", bounds.width());
}

void TRTForm::closeEvent(QCloseEvent *event) {
    TGradientForm::closeEvent(event);
    if (event->isAccepted())
        RunCommand(this, [this] { SaveWindowPosition(); });
}

void TRTForm::SystemCommand(TSystemCommand command) {
    // Without a hidden application window owning the task bar button, minimising and
    // restoring act on the form itself.
    switch (command) {
    case scMinimize:
        showMinimized();
        break;
    case scRestore:
        showNormal();
        activateWindow();
        break;
    default:
        TGradientForm::SystemCommand(command);
        break;
    }
}

} // namespace vexil
