#include "tests/support/QtTestHelpers.h"
#include "platform/MessagePump.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QEventLoop>
#include <QLabel>
#include <QLayout>
#include <QTimer>

namespace vexil::test {

void RunEventLoop(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

QtMessagePump::QtMessagePump() {
    SetMessagePumpHook([] { QCoreApplication::processEvents(); });
}

QtMessagePump::~QtMessagePump() {
    SetMessagePumpHook(nullptr);
}

namespace {

// A word-wrapped label may take more lines, as long as its height holds them.
bool LabelIsCutOff(const QLabel &label) {
    if (label.wordWrap())
        return label.height() < label.heightForWidth(label.width());
    return label.width() < label.sizeHint().width() || label.height() < label.sizeHint().height();
}

// A check box needs its indicator beside the text; a push or tool button only the text
// within its frame, whatever padding its size hint would like.
bool ButtonIsCutOff(const QAbstractButton &button) {
    if (button.inherits("QCheckBox") || button.inherits("QRadioButton"))
        return button.width() < button.sizeHint().width() ||
               button.height() < button.sizeHint().height();
    QString text = button.text();
    text.remove('&');
    return button.fontMetrics().horizontalAdvance(text) > button.width() - 4;
}

} // namespace

QStringList CutOffTexts(QWidget &window) {
    window.show();
    RunEventLoop(0);
    QStringList cut;
    for (const QLabel *label : window.findChildren<QLabel *>())
        if (label->isVisibleTo(&window) && !label->text().isEmpty() && label->pixmap().isNull() &&
            LabelIsCutOff(*label))
            cut << label->text();
    for (const QAbstractButton *button : window.findChildren<QAbstractButton *>())
        if (button->isVisibleTo(&window) && !button->text().isEmpty() && ButtonIsCutOff(*button))
            cut << button->text();
    return cut;
}

UrlRecorder::UrlRecorder() {
    QDesktopServices::setUrlHandler("https", this, "open");
    QDesktopServices::setUrlHandler("http", this, "open");
    QDesktopServices::setUrlHandler("file", this, "open");
}

UrlRecorder::~UrlRecorder() {
    QDesktopServices::unsetUrlHandler("https");
    QDesktopServices::unsetUrlHandler("http");
    QDesktopServices::unsetUrlHandler("file");
}

void UrlRecorder::open(const QUrl &url) {
    opened << url;
}

} // namespace vexil::test
