#pragma once
// Small helpers of the widget and application tests.

#include <QList>
#include <QObject>
#include <QStringList>
#include <QUrl>

class QWidget;

namespace vexil::test {

// Runs the event loop as the application does for a while, so that queued events arrive and
// the application goes idle in between.
void RunEventLoop(int milliseconds = 20);

// While it lives, the client's waits run Qt's event loop, as they do in the program, so that
// timers and signals reach the window during a network exchange.
class QtMessagePump {
public:
    QtMessagePump();
    QtMessagePump(const QtMessagePump &) = delete;
    QtMessagePump &operator=(const QtMessagePump &) = delete;
    ~QtMessagePump();
};

// The texts of the labels, buttons and check boxes inside the window that do not get the
// room they need, so that part of them is cut off. The window is shown for its layout.
QStringList CutOffTexts(QWidget &window);

// Stands in for the desktop's browser while it lives: records what the shell was asked to
// open over http and https.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    UrlRecorder();
    ~UrlRecorder() override;
    QList<QUrl> opened;
public slots:
    void open(const QUrl &url);
};

} // namespace vexil::test
