#include "picture/TIcon.h"

#include <QBuffer>
#include <QImageReader>
#include <QPainter>

namespace vexil {

void TIcon::SetWidth(int) {
    throw EInvalidGraphicOperation("Cannot change the size of an icon");
}

void TIcon::SetHeight(int) {
    throw EInvalidGraphicOperation("Cannot change the size of an icon");
}

void TIcon::LoadFromStream(TStream &stream) {
    TMemoryStream bytes;
    bytes.CopyFrom(stream);
    QByteArray data = QByteArray::fromRawData(bytes.Bytes().data(), qsizetype(bytes.Size()));
    QBuffer buffer(&data);
    QImageReader reader(&buffer, "ico");
    QImage best;
    for (int i = 0, n = std::max(reader.imageCount(), 1); i < n; ++i) {
        if (!reader.jumpToImage(i) && i > 0)
            break;
        const QImage image = reader.read();
        if (!image.isNull() && image.width() * image.height() > best.width() * best.height())
            best = image;
    }
    if (best.isNull())
        throw EInvalidGraphic("Icon image is not valid");
    Image_ = best;
    Data = bytes.Release();
}

void TIcon::SaveToStream(TStream &stream) const {
    stream.Write(Data);
}

void TIcon::Draw(QPainter &painter, const QRect &rect) {
    if (!Image_.isNull())
        painter.drawImage(rect, Image_);
}

} // namespace vexil
