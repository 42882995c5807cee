#include "picture/ImageBytes.h"

#include <QBuffer>
#include <QImageReader>

namespace vexil {

QImage ReadImageBytes(std::string_view bytes, const char *format) {
    QByteArray data = QByteArray::fromRawData(bytes.data(), qsizetype(bytes.size()));
    QBuffer buffer(&data);
    QImageReader reader(&buffer, format);
    QImage best;
    for (int i = 0, n = std::max(reader.imageCount(), 1); i < n; ++i) {
        if (i > 0 && !reader.jumpToImage(i))
            break;
        const QImage image = reader.read();
        if (!image.isNull() && image.width() * image.height() > best.width() * best.height())
            best = image;
    }
    return best;
}

} // namespace vexil
