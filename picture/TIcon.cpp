#include "picture/TIcon.h"

#include "picture/ImageBytes.h"

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
    QImage best = ReadImageBytes(bytes.Bytes(), "ico");
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
