#include "app/TThumbnailCache.h"

#include <QCryptographicHash>
#include <QDir>
#include <QImageReader>
#include <QSaveFile>
#include <QStandardPaths>

#include <sys/stat.h>

namespace vexil {

TThumbnailCache::TThumbnailCache(int side, QString folder)
    : side_(side), folder_(folder.isEmpty() ? DefaultFolder() : std::move(folder)) {}

QString TThumbnailCache::DefaultFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           "/vexil/thumbnails";
}

std::optional<QString> TThumbnailCache::FileFor(const std::string &path) const {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    QCryptographicHash hash(QCryptographicHash::Sha1);
    hash.addData(QByteArrayView(path.data(), qsizetype(path.size())));
    // The side goes in too: thumbnails of another size are other files.
    const QByteArray rest = '\0' + QByteArray::number(qlonglong(info.st_size)) + '\0' +
                            QByteArray::number(qlonglong(info.st_mtim.tv_sec)) + '.' +
                            QByteArray::number(qlonglong(info.st_mtim.tv_nsec)) + '\0' +
                            QByteArray::number(side_);
    hash.addData(rest);
    return folder_ + '/' + QString::fromLatin1(hash.result().toHex()) + ".png";
}

QImage TThumbnailCache::Load(const QString &file) const {
    QImageReader reader(file, "png");
    // What the cache holds was written by us at most side x side; anything else is
    // damage, and is not decoded at whatever size it claims.
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty() || size.width() > side_ || size.height() > side_)
        return {};
    return reader.read();
}

bool TThumbnailCache::Store(const QString &file, const QImage &thumbnail) const {
    if (!QDir().mkpath(folder_))
        return false;
    // Written aside and renamed, so a reader never sees half a file.
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    if (!thumbnail.save(&out, "png"))
        return false;
    return out.commit();
}

} // namespace vexil
