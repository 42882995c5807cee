#include "widgets/ScreenCentre.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace vexil {

bool MoveToScreenCentre(QWidget &Window, const QScreen *Screen) {
    if (Screen == nullptr)
        return false;
    QRect frame(QPoint(0, 0), Window.size());
    frame.moveCenter(Screen->availableGeometry().center());
    Window.move(frame.topLeft());
    return true;
}

const QScreen *DialogScreen(const QWidget *Parent) {
    return Parent ? Parent->screen() : QGuiApplication::primaryScreen();
}

} // namespace vexil
