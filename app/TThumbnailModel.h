#pragma once
// The thumbnails of the picture list, one row a picture in the list's order. A row's
// thumbnail is made only when a view first asks for it, so a long list costs nothing until
// it is scrolled to: the cache is tried, else the picture is decoded and scaled on the
// model's own thread pool. The result comes back to the GUI thread as a queued call.

#include "app/TThumbnailCache.h"

#include <QAbstractListModel>
#include <QImage>
#include <QPixmap>
#include <QThreadPool>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace vexil {

class TThumbnailModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum TState { tsWaiting, tsReady, tsBroken };
    // The row's TState, and the picture's path.
    static constexpr int StateRole = Qt::UserRole + 1;
    static constexpr int PathRole = Qt::UserRole + 2;

    explicit TThumbnailModel(TThumbnailCache cache, QObject *parent = nullptr);
    ~TThumbnailModel() override;

    // Brings the rows in line with the picture list. An append or a single removal moves
    // only the rows concerned; anything else starts over, keeping the thumbnails made.
    void SetPictures(const std::vector<std::string> &pictures);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    // Rows are dragged out to other programs as their files; the full pictures are not
    // decoded for a drag, so the data holds the URLs only.
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QStringList mimeTypes() const override;
    QMimeData *mimeData(const QModelIndexList &indexes) const override;
    Qt::DropActions supportedDragActions() const override;

    const TThumbnailCache &Cache() const { return cache_; }
    // Waits until the jobs queued so far have ended (for tests and shutdown).
    void WaitForJobs();

signals:
    // A row's thumbnail (or its broken sign) is there.
    void ThumbnailDone(int row);

private:
    struct TEntry {
        std::string path;
        QPixmap thumbnail;
        TState state = tsWaiting;
        // Set when the row goes before its job ran: the job then does nothing.
        std::shared_ptr<std::atomic_bool> cancelled;
    };
    void Request(TEntry &entry) const;
    void Deliver(const std::string &path, const QImage &thumbnail);
    void Cancel(TEntry &entry);
    const QPixmap &Placeholder() const;
    const QPixmap &BrokenSign() const;

    TThumbnailCache cache_;
    mutable std::vector<TEntry> entries_;
    mutable QThreadPool pool_;
    mutable QPixmap placeholder_;
    mutable QPixmap broken_;
};

} // namespace vexil
