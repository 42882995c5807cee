#include "widgets/TFocusKeeper.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

#include <algorithm>

namespace vexil {

TFocusKeeper::TFocusKeeper(QObject *parent, const std::vector<QWidget *> &controls)
    : QObject(parent), controls_(controls) {
    for (QWidget *control : controls_)
        control->installEventFilter(this);
    connect(qApp, &QApplication::focusChanged, this, &TFocusKeeper::FocusChanged);
}

bool TFocusKeeper::Watches(const QWidget *widget) const {
    return std::find(controls_.begin(), controls_.end(), widget) != controls_.end();
}

void TFocusKeeper::FocusChanged(QWidget *old, QWidget *now) {
    const bool pushedOn = old != nullptr && Watches(old) && !old->isEnabled();
    if (pushedOn) {
        // A chain of disabled controls passes the focus along; the first one keeps the claim.
        if (waiting_ == nullptr)
            waiting_ = old;
        movedTo_ = now;
        return;
    }
    // The focus went somewhere by the user's hand or another window: it stays there.
    waiting_ = nullptr;
    movedTo_ = nullptr;
}

bool TFocusKeeper::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::EnabledChange && watched == waiting_ && waiting_->isEnabled()) {
        QWidget *control = waiting_;
        const bool untouched = QApplication::focusWidget() == movedTo_;
        waiting_ = nullptr;
        movedTo_ = nullptr;
        if (untouched)
            control->setFocus(Qt::OtherFocusReason);
    }
    return QObject::eventFilter(watched, event);
}

} // namespace vexil
