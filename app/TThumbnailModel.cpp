#include "app/TThumbnailModel.h"

#include "platform/NViewLib.h"

#include <QFile>
#include <QMimeData>
#include <QPainter>
#include <QThread>
#include <QUrl>

#include <algorithm>
#include <unordered_map>

namespace vexil {

namespace {

// Runs on a pool thread: no pixmaps, no widgets.
QImage MakeThumbnail(const TThumbnailCache &cache, const std::string &path) {
    const std::optional<QString> file = cache.FileFor(path);
    if (file) {
        QImage cached = cache.Load(*file);
        if (!cached.isNull())
            return cached;
    }
    QImage made = NViewLibThumbnail(path, cache.Side());
    // A cache that cannot be written only costs the next start the decoding again.
    if (!made.isNull() && file)
        cache.Store(*file, made);
    return made;
}

QString FileNameText(const std::string &path) {
    const std::size_t slash = path.find_last_of('/');
    return QFile::decodeName(
        QByteArray::fromStdString(slash == std::string::npos ? path : path.substr(slash + 1)));
}

} // namespace

TThumbnailModel::TThumbnailModel(TThumbnailCache cache, QObject *parent)
    : QAbstractListModel(parent), cache_(std::move(cache)) {
    // One core stays with the window, which goes on showing pictures meanwhile.
    pool_.setMaxThreadCount(std::max(1, QThread::idealThreadCount() - 1));
}

TThumbnailModel::~TThumbnailModel() {
    for (TEntry &entry : entries_)
        Cancel(entry);
    pool_.clear();
    pool_.waitForDone();
}

void TThumbnailModel::WaitForJobs() {
    pool_.waitForDone();
}

void TThumbnailModel::SetPictures(const std::vector<std::string> &pictures) {
    const std::size_t had = entries_.size();
    std::size_t same = 0;
    while (same < had && same < pictures.size() && entries_[same].path == pictures[same])
        ++same;
    if (same == had && same == pictures.size())
        return;
    if (same == had) {
        beginInsertRows({}, int(had), int(pictures.size()) - 1);
        for (std::size_t i = had; i < pictures.size(); ++i)
            entries_.push_back(TEntry{pictures[i], {}, tsWaiting, nullptr});
        endInsertRows();
        return;
    }
    const bool oneRemoved =
        pictures.size() + 1 == had &&
        std::equal(pictures.begin() + std::ptrdiff_t(same), pictures.end(),
                   entries_.begin() + std::ptrdiff_t(same) + 1,
                   [](const std::string &path, const TEntry &entry) { return path == entry.path; });
    if (oneRemoved) {
        beginRemoveRows({}, int(same), int(same));
        Cancel(entries_[same]);
        entries_.erase(entries_.begin() + std::ptrdiff_t(same));
        endRemoveRows();
        return;
    }
    beginResetModel();
    std::unordered_map<std::string, TEntry> kept;
    for (TEntry &entry : entries_)
        kept.emplace(entry.path, std::move(entry));
    entries_.clear();
    for (const std::string &path : pictures) {
        auto found = kept.find(path);
        if (found == kept.end()) {
            entries_.push_back(TEntry{path, {}, tsWaiting, nullptr});
            continue;
        }
        entries_.push_back(std::move(found->second));
        kept.erase(found);
    }
    for (auto &[path, entry] : kept)
        Cancel(entry);
    endResetModel();
}

int TThumbnailModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : int(entries_.size());
}

QVariant TThumbnailModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || index.row() < 0 || std::size_t(index.row()) >= entries_.size())
        return {};
    TEntry &entry = entries_[std::size_t(index.row())];
    switch (role) {
    case Qt::DecorationRole:
        if (entry.state == tsWaiting) {
            Request(entry);
            return Placeholder();
        }
        return entry.state == tsReady ? entry.thumbnail : BrokenSign();
    case Qt::ToolTipRole:
    case Qt::AccessibleTextRole:
        return FileNameText(entry.path);
    case StateRole:
        return int(entry.state);
    case PathRole:
        return QString::fromStdString(entry.path);
    default:
        return {};
    }
}

Qt::ItemFlags TThumbnailModel::flags(const QModelIndex &index) const {
    const Qt::ItemFlags base = QAbstractListModel::flags(index);
    return index.isValid() ? base | Qt::ItemIsDragEnabled : base;
}

QStringList TThumbnailModel::mimeTypes() const {
    return {QStringLiteral("text/uri-list")};
}

QMimeData *TThumbnailModel::mimeData(const QModelIndexList &indexes) const {
    QList<QUrl> urls;
    for (const QModelIndex &index : indexes) {
        if (index.isValid() && index.model() == this && std::size_t(index.row()) < entries_.size())
            urls.push_back(QUrl::fromLocalFile(QFile::decodeName(
                QByteArray::fromStdString(entries_[std::size_t(index.row())].path))));
    }
    if (urls.isEmpty())
        return nullptr;
    auto *data = new QMimeData;
    data->setUrls(urls);
    return data;
}

Qt::DropActions TThumbnailModel::supportedDragActions() const {
    return Qt::CopyAction;
}

void TThumbnailModel::Request(TEntry &entry) const {
    if (entry.cancelled)
        return;
    entry.cancelled = std::make_shared<std::atomic_bool>(false);
    auto job = [self = const_cast<TThumbnailModel *>(this), cache = cache_, path = entry.path,
                cancelled = entry.cancelled] {
        if (*cancelled)
            return;
        QImage thumbnail = MakeThumbnail(cache, path);
        QMetaObject::invokeMethod(
            self,
            [self, path, thumbnail = std::move(thumbnail)] { self->Deliver(path, thumbnail); },
            Qt::QueuedConnection);
    };
    pool_.start(std::move(job));
}

void TThumbnailModel::Deliver(const std::string &path, const QImage &thumbnail) {
    const auto found = std::find_if(entries_.begin(), entries_.end(), [&](const TEntry &entry) {
        return entry.path == path && entry.state == tsWaiting;
    });
    // The picture went while its thumbnail was being made.
    if (found == entries_.end())
        return;
    if (thumbnail.isNull()) {
        found->state = tsBroken;
    } else {
        found->state = tsReady;
        found->thumbnail = QPixmap::fromImage(thumbnail);
    }
    const QModelIndex changed = index(int(found - entries_.begin()));
    emit dataChanged(changed, changed, {Qt::DecorationRole, StateRole});
    emit ThumbnailDone(changed.row());
}

void TThumbnailModel::Cancel(TEntry &entry) {
    if (entry.cancelled)
        *entry.cancelled = true;
}

const QPixmap &TThumbnailModel::Placeholder() const {
    if (placeholder_.isNull()) {
        placeholder_ = QPixmap(cache_.Side(), cache_.Side());
        placeholder_.fill(Qt::transparent);
    }
    return placeholder_;
}

const QPixmap &TThumbnailModel::BrokenSign() const {
    if (broken_.isNull()) {
        const int side = cache_.Side();
        broken_ = QPixmap(side, side);
        broken_.fill(Qt::transparent);
        QPainter painter(&broken_);
        painter.setRenderHint(QPainter::Antialiasing);
        const int m = side / 4;
        painter.setPen(QPen(Qt::gray, 2));
        painter.drawRect(QRect(m, m, side - 2 * m, side - 2 * m));
        painter.setPen(QPen(QColor(200, 30, 30), 3));
        painter.drawLine(m + 4, m + 4, side - m - 4, side - m - 4);
        painter.drawLine(side - m - 4, m + 4, m + 4, side - m - 4);
    }
    return broken_;
}

} // namespace vexil
