#include "widgets/ScreenCursor.h"

#include <QApplication>
#include <QCursor>

namespace vexil {

void SetHourGlassScreenCursor() {
    // One hourglass at a time: setting it again replaces it rather than stacking another.
    if (QApplication::overrideCursor())
        QApplication::changeOverrideCursor(Qt::WaitCursor);
    else
        QApplication::setOverrideCursor(Qt::WaitCursor);
}

void SetDefaultScreenCursor() {
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
}

} // namespace vexil
