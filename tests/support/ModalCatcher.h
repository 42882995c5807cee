#pragma once
// Answers the modal dialogs and message boxes that a command opens, the way a user would,
// and records what they said, so that a test can run a command that shows one.

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>

class QWidget;

namespace vexil::test {

class ModalCatcher : public QObject {
    Q_OBJECT
public:
    // handler gets each modal window once; the default closes it with Escape / reject.
    explicit ModalCatcher(std::function<void(QWidget *)> handler = {});
    ~ModalCatcher() override;

    // Texts of the message boxes seen, in order.
    const QStringList &Texts() const { return texts_; }
    int Count() const { return count_; }

private:
    void Poll();

    std::function<void(QWidget *)> handler_;
    QTimer timer_;
    QStringList texts_;
    QPointer<QWidget> last_;
    int count_ = 0;
};

} // namespace vexil::test
