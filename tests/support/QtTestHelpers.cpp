#include "tests/support/QtTestHelpers.h"

#include <QDesktopServices>
#include <QEventLoop>
#include <QTimer>

namespace vexil::test {

void RunEventLoop(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

UrlRecorder::UrlRecorder() {
    QDesktopServices::setUrlHandler("https", this, "open");
    QDesktopServices::setUrlHandler("http", this, "open");
}

UrlRecorder::~UrlRecorder() {
    QDesktopServices::unsetUrlHandler("https");
    QDesktopServices::unsetUrlHandler("http");
}

void UrlRecorder::open(const QUrl &url) {
    opened << url;
}

} // namespace vexil::test
