#include "app/TThumbnailStrip.h"
#include "app/TThumbnailModel.h"

#include <QKeyEvent>
#include <QScrollBar>

namespace vexil {

namespace {
constexpr int kSpacing = 4;
} // namespace

TThumbnailStrip::TThumbnailStrip(QWidget *parent, QString cacheFolder)
    : QListView(parent),
      model_(new TThumbnailModel(TThumbnailCache(kSide, std::move(cacheFolder)), this)) {
    setObjectName("ThumbnailStrip");
    setAccessibleName("Thumbnails");
    setModel(model_);
    // List mode lays out rows of one size in batches without asking each for its decoration.
    setViewMode(QListView::ListMode);
    setFlow(QListView::LeftToRight);
    setWrapping(false);
    setMovement(QListView::Static);
    setResizeMode(QListView::Adjust);
    // With one size for all, the view asks only the rows in sight for their thumbnails.
    setUniformItemSizes(true);
    setIconSize(QSize(kSide, kSide));
    setGridSize(QSize(kSide + 2 * kSpacing, kSide + 2 * kSpacing));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Out to other programs only: nothing is dropped in, and rows never move by a drag.
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    setDefaultDropAction(Qt::CopyAction);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::StrongFocus);
    setFixedHeight(kSide + 2 * kSpacing + horizontalScrollBar()->sizeHint().height() +
                   2 * frameWidth() + 2);
    connect(this, &QListView::clicked, this,
            [this](const QModelIndex &index) { emit PictureChosen(index.row()); });
}

void TThumbnailStrip::Follow(const std::vector<std::string> &pictures, int current) {
    model_->SetPictures(pictures);
    if (current < 0 || current >= model_->rowCount()) {
        shownPath_.clear();
        return;
    }
    const std::string &shown = pictures[std::size_t(current)];
    const QModelIndex index = model_->index(current);
    // New pictures arriving must not pull the cursor away from where the user moved it.
    if (shown == shownPath_ && currentIndex().isValid())
        return;
    shownPath_ = shown;
    setCurrentIndex(index);
    scrollTo(index);
}

void TThumbnailStrip::keyPressEvent(QKeyEvent *event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && currentIndex().isValid()) {
        emit PictureChosen(currentIndex().row());
        return;
    }
    QListView::keyPressEvent(event);
}

} // namespace vexil
