#include "app/TPictureDrag.h"

#include <QApplication>
#include <QDrag>
#include <QMouseEvent>

namespace vexil {

namespace {
// The picture under the pointer while dragging; large enough to recognise.
constexpr int kDragPixmapSide = 96;
} // namespace

TPictureDrag::TPictureDrag(TImage &image, TDataSource source)
    : QObject(&image), image_(image), source_(std::move(source)) {
    StartDrag = [this](std::unique_ptr<QMimeData> data) { RunDrag(std::move(data)); };
    image_.installEventFilter(this);
}

TImage::TMouseEvent TPictureDrag::WatchPress(TImage::TMouseEvent press) {
    return [this, press = std::move(press)](TObject *sender, Qt::MouseButton button,
                                            Qt::KeyboardModifiers shift, QPoint position) {
        const TSizing before = Sizing();
        if (press)
            press(sender, button, shift, position);
        pressed_ = button == Qt::LeftButton;
        pressPos_ = position;
        beforePress_ = before;
        afterPress_ = Sizing();
    };
}

bool TPictureDrag::eventFilter(QObject *watched, QEvent *event) {
    if (watched != &image_)
        return QObject::eventFilter(watched, event);
    if (event->type() == QEvent::MouseButtonRelease) {
        pressed_ = false;
    } else if (event->type() == QEvent::MouseMove && pressed_) {
        const auto *move = static_cast<QMouseEvent *>(event);
        const QPoint moved = move->position().toPoint() - pressPos_;
        if (!(move->buttons() & Qt::LeftButton)) {
            pressed_ = false;
        } else if (moved.manhattanLength() >= QApplication::startDragDistance()) {
            Begin();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

TPictureDrag::TSizing TPictureDrag::Sizing() const {
    return {image_.AutoSize(), image_.Stretch(), image_.size()};
}

void TPictureDrag::Begin() {
    pressed_ = false;
    UndoPressZoom();
    if (std::unique_ptr<QMimeData> data = source_ ? source_() : nullptr)
        StartDrag(std::move(data));
}

void TPictureDrag::UndoPressZoom() {
    // Something else sized the picture since the press (another picture shown): that stays.
    if (Sizing() != afterPress_)
        return;
    image_.SetAutoSize(beforePress_.autoSize);
    image_.SetStretch(beforePress_.stretch);
    image_.SetBounds(beforePress_.size.width(), beforePress_.size.height());
}

void TPictureDrag::RunDrag(std::unique_ptr<QMimeData> data) {
    auto *drag = new QDrag(&image_);
    const QImage pixels = qvariant_cast<QImage>(data->imageData());
    if (!pixels.isNull())
        drag->setPixmap(QPixmap::fromImage(pixels.scaled(
            kDragPixmapSide, kDragPixmapSide, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    drag->setMimeData(data.release());
    drag->exec(Qt::CopyAction, Qt::CopyAction);
}

} // namespace vexil
