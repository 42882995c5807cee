#include "app/ProgramIcon.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace vexil {

QPixmap ProgramIconPixmap(int side) {
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF frame(side * 0.06, side * 0.06, side * 0.88, side * 0.88);
    QLinearGradient sky(frame.topLeft(), frame.bottomLeft());
    sky.setColorAt(0, QColor(0, 0, 0));
    sky.setColorAt(1, QColor(0, 84, 227));
    p.setPen(QPen(QColor(40, 40, 40), std::max(1.0, side / 16.0)));
    p.setBrush(sky);
    p.drawRoundedRect(frame, side * 0.08, side * 0.08);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 214, 64));
    p.drawEllipse(QPointF(side * 0.68, side * 0.32), side * 0.12, side * 0.12);
    QPainterPath hills;
    hills.moveTo(frame.left(), frame.bottom());
    hills.lineTo(frame.left(), side * 0.7);
    hills.quadTo(side * 0.3, side * 0.45, side * 0.5, side * 0.68);
    hills.quadTo(side * 0.7, side * 0.55, frame.right(), side * 0.72);
    hills.lineTo(frame.right(), frame.bottom());
    hills.closeSubpath();
    p.setBrush(QColor(46, 160, 67));
    p.drawPath(hills);
    return pixmap;
}

QIcon ProgramIconSet() {
    QIcon icon;
    for (const int side : {16, 24, 32, 48, 64})
        icon.addPixmap(ProgramIconPixmap(side));
    return icon;
}

} // namespace vexil
