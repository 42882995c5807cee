#include "platform/DisplayDepth.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace vexil {

int ColorCountOfDepth(int bitsPerPixel) {
    if (bitsPerPixel > 8 || bitsPerPixel <= 0)
        return -1;
    return 1 << bitsPerPixel;
}

int DisplayColorCount(const QWidget *widget) {
    const QScreen *screen = widget ? widget->screen() : QGuiApplication::primaryScreen();
    return ColorCountOfDepth(screen ? screen->depth() : 32);
}

} // namespace vexil
