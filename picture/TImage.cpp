#include "picture/TImage.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace vexil {

TImage::TImage(QWidget *parent) : QWidget(parent) {
    setAccessibleName(QStringLiteral("Picture"));
    setFocusPolicy(Qt::StrongFocus);
    Picture_.OnChange = [this](TObject *) { PictureChanged(); };
}

void TImage::SetAutoSize(bool value) {
    AutoSize_ = value;
    AdjustSize();
}

void TImage::SetStretch(bool value) {
    if (Stretch_ == value)
        return;
    Stretch_ = value;
    update();
}

void TImage::SetCenter(bool value) {
    if (Center_ == value)
        return;
    Center_ = value;
    update();
}

void TImage::SetBounds(int width, int height) {
    resize(std::max(width, 0), std::max(height, 0));
}

void TImage::AdjustSize() {
    if (AutoSize_ && Picture_.Graphic() != nullptr && !Picture_.Graphic()->Empty())
        resize(Picture_.Width(), Picture_.Height());
}

void TImage::PictureChanged() {
    AdjustSize();
    update();
}

void TImage::paintEvent(QPaintEvent *) {
    TGraphic *graphic = Picture_.Graphic();
    if (graphic == nullptr || graphic->Empty())
        return;
    QRect target(0, 0, graphic->Width(), graphic->Height());
    if (Stretch_)
        target = rect();
    else if (Center_)
        target.moveCenter(rect().center());
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, Stretch_);
    try {
        graphic->Draw(painter, target);
    } catch (const Exception &e) {
        // A paint cannot report to the user; the loader already checked this picture, so
        // this only happens to one that became unreadable since.
        qWarning("cannot draw the picture: %s", e.what());
    }
}

void TImage::mousePressEvent(QMouseEvent *event) {
    if (OnMouseDown)
        OnMouseDown(this, event->button(), event->modifiers(), event->position().toPoint());
    QWidget::mousePressEvent(event);
}

void TImage::keyPressEvent(QKeyEvent *event) {
    if (OnKeyDown)
        OnKeyDown(this, event->key(), event->modifiers());
    QWidget::keyPressEvent(event);
}

} // namespace vexil
