#include "app/PictureMimeData.h"

#include <QFile>
#include <QUrl>

namespace vexil {

std::unique_ptr<QMimeData> PictureMimeData(const std::string &path, const QImage &image) {
    auto data = std::make_unique<QMimeData>();
    // Names on disk are bytes in the locale's encoding, not necessarily UTF-8.
    data->setUrls({QUrl::fromLocalFile(QFile::decodeName(QByteArray::fromStdString(path)))});
    if (!image.isNull())
        data->setImageData(image);
    return data;
}

} // namespace vexil
