#include "widgets/TScrollBox.h"

#include <QEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

namespace vexil {

namespace {

// The frame's own line and one pixel inside it, kept clear of the viewport for the mark.
constexpr int kMarkWidth = 2;

} // namespace

TScrollBox::TScrollBox(QWidget *parent) : QScrollArea(parent) {
    setFocusPolicy(Qt::StrongFocus);
    const int margin = kMarkWidth - frameWidth();
    if (margin > 0)
        setViewportMargins(margin, margin, margin, margin);
}

bool TScrollBox::FocusInside() const {
    return hasFocus() || (widget() != nullptr && widget()->hasFocus());
}

void TScrollBox::SetScrolledControl(QWidget *control) {
    setWidget(control);
    control->installEventFilter(this);
}

bool TScrollBox::event(QEvent *event) {
    // The frame is painted by the scroll area's own event handler (its paintEvent serves the
    // viewport), so the mark goes on top of what that handler drew.
    const bool handled = QScrollArea::event(event);
    if (event->type() == QEvent::Paint && FocusInside())
        PaintFocusMark();
    return handled;
}

bool TScrollBox::eventFilter(QObject *watched, QEvent *event) {
    if (watched == widget() &&
        (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut))
        update();
    return QScrollArea::eventFilter(watched, event);
}

void TScrollBox::PaintFocusMark() {
    QStyleOption option;
    option.initFrom(this);
    // As the style's own controls do: the mark shows once the keyboard has moved the focus.
    if (!(option.state & QStyle::State_KeyboardFocusChange))
        return;
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::Highlight));
    for (int inset = 0; inset < kMarkWidth; ++inset)
        painter.drawRect(rect().adjusted(inset, inset, -inset - 1, -inset - 1));
}

} // namespace vexil
