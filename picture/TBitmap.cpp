#include "picture/TBitmap.h"

#include "picture/ImageBytes.h"

#include <QBuffer>
#include <QImageWriter>
#include <QPainter>

namespace vexil {

void TBitmap::LoadFromStream(TStream &stream) {
    TMemoryStream bytes;
    bytes.CopyFrom(stream);
    QImage image = ReadImageBytes(bytes.Bytes(), "bmp");
    if (image.isNull())
        throw EInvalidGraphic("Bitmap image is not valid");
    Palette_ = image.colorTable();
    Handle_ = QPixmap::fromImage(std::move(image));
}

void TBitmap::SaveToStream(TStream &stream) const {
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "bmp");
    if (Handle_.isNull() || !writer.write(Handle_.toImage()))
        throw EInvalidGraphic("Bitmap image is not valid");
    stream.Write(data.constData(), std::size_t(data.size()));
}

void TBitmap::Draw(QPainter &painter, const QRect &rect) {
    if (!Handle_.isNull())
        painter.drawPixmap(rect, Handle_);
}

void TBitmap::SetHandle(QPixmap handle) {
    Handle_ = std::move(handle);
    Palette_.clear();
}

void TBitmap::Resize(int width, int height) {
    QPixmap resized(std::max(width, 0), std::max(height, 0));
    resized.fill(Qt::white);
    if (!Handle_.isNull() && !resized.isNull()) {
        QPainter painter(&resized);
        painter.drawPixmap(0, 0, Handle_);
    }
    Handle_ = resized;
}

} // namespace vexil
