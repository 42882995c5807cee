#include "tests/support/ModalCatcher.h"

#include <QApplication>
#include <QDialog>
#include <QMessageBox>

namespace vexil::test {

ModalCatcher::ModalCatcher(std::function<void(QWidget *)> handler) : handler_(std::move(handler)) {
    connect(&timer_, &QTimer::timeout, this, &ModalCatcher::Poll);
    timer_.start(10);
}

ModalCatcher::~ModalCatcher() = default;

void ModalCatcher::Poll() {
    QWidget *modal = QApplication::activeModalWidget();
    if (!modal || modal == last_)
        return;
    last_ = modal;
    ++count_;
    if (auto *box = qobject_cast<QMessageBox *>(modal))
        texts_ << box->text();
    if (handler_) {
        handler_(modal);
        return;
    }
    if (auto *dialog = qobject_cast<QDialog *>(modal))
        dialog->reject();
    else
        modal->close();
}

} // namespace vexil::test
