#pragma once
// Thumbnails kept on disk between runs, one PNG file a picture. A picture is known by its
// path, size and modification time together, so a file replaced under the same name never
// shows the thumbnail of the one before it. The cache is only a saving: a file that cannot
// be read is made again, one that cannot be written is simply not kept.

#include <QImage>
#include <QString>

#include <optional>
#include <string>

namespace vexil {

class TThumbnailCache {
public:
    // folder empty: the desktop's cache folder, $XDG_CACHE_HOME/vexil/thumbnails.
    explicit TThumbnailCache(int side, QString folder = {});

    static QString DefaultFolder();
    const QString &Folder() const { return folder_; }
    int Side() const { return side_; }

    // The cache file for the picture at path as it is now; nothing when the picture cannot
    // be examined (gone, say).
    std::optional<QString> FileFor(const std::string &path) const;
    // The cached thumbnail, or a null image when there is none or it is unusable.
    QImage Load(const QString &file) const;
    // Writes the thumbnail; false when it could not be kept.
    bool Store(const QString &file, const QImage &thumbnail) const;

private:
    int side_;
    QString folder_;
};

} // namespace vexil
