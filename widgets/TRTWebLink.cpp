#include "widgets/TRTWebLink.h"
#include "platform/QtText.h"
#include "platform/Shell.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

namespace vexil {

TRTWebLink::TRTWebLink(QWidget *parent) : QLabel(parent) {
    QFont underlined = font();
    underlined.setUnderline(true);
    setFont(underlined);
    SetLinkColor(QColor(0, 0, 255));
    setCursor(Qt::PointingHandCursor);
    // A link is a control: it takes the focus from the keyboard and opens on Enter or Space.
    setFocusPolicy(Qt::StrongFocus);
}

TRTWebLink::~TRTWebLink() = default;

void TRTWebLink::SetLinkColor(const QColor &color) {
    linkColor_ = color;
    QPalette colors = palette();
    colors.setColor(QPalette::WindowText, color);
    setPalette(colors);
    update();
}

void TRTWebLink::SetLinkTo(const std::string &target) {
    linkTo_ = target;
    setAccessibleDescription(TextOfBytes(target));
}

void TRTWebLink::Open() {
    ShellOpen(linkTo_);
}

void TRTWebLink::mousePressEvent(QMouseEvent *event) {
    if (event->button() != Qt::LeftButton) {
        QLabel::mousePressEvent(event);
        return;
    }
    // The press is the link's own: it is not passed on to the label.
    event->accept();
    Open();
}

void TRTWebLink::paintEvent(QPaintEvent *event) {
    QLabel::paintEvent(event);
    // A label draws no focus of its own; the link marks it as the style marks its buttons.
    if (!hasFocus())
        return;
    QStyleOptionFocusRect option;
    option.initFrom(this);
    option.backgroundColor = palette().color(backgroundRole());
    QPainter painter(this);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
}

void TRTWebLink::keyPressEvent(QKeyEvent *event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter ||
        event->key() == Qt::Key_Space) {
        Open();
        return;
    }
    QLabel::keyPressEvent(event);
}

} // namespace vexil
