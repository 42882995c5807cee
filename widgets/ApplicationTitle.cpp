#include "widgets/ApplicationTitle.h"

#include <QCoreApplication>

namespace vexil {

namespace {
// Kept apart from Qt's application display name, which window systems append to every
// window title.
QString g_title;
} // namespace

QString ApplicationTitle() {
    return g_title.isEmpty() ? QCoreApplication::applicationName() : g_title;
}

void SetApplicationTitle(const QString &title) {
    g_title = title;
}

} // namespace vexil
