#pragma once
// A strip of thumbnails under the picture, one a picture of the list. A click or Enter
// chooses a picture; the arrow keys move through the strip without showing anything, so a
// long list can be skimmed quickly.

#include "app/TThumbnailCache.h"

#include <QListView>

#include <string>
#include <vector>

namespace vexil {

class TThumbnailModel;

class TThumbnailStrip : public QListView {
    Q_OBJECT
public:
    static constexpr int kSide = 96;

    explicit TThumbnailStrip(QWidget *parent = nullptr, QString cacheFolder = {});

    TThumbnailModel &Model() const { return *model_; }
    // The picture list and the entry shown, as the viewer has them now.
    void Follow(const std::vector<std::string> &pictures, int current);

signals:
    void PictureChosen(int index);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    TThumbnailModel *model_;
    // The picture last shown: the strip's own cursor is left alone until another is shown.
    std::string shownPath_;
};

} // namespace vexil
