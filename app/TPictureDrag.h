#pragma once
// Dragging the picture shown out of its control. A press zooms the picture at once, so a
// press that turns into a drag puts the size back as it was before the press: a drag leaves
// the view alone, a click zooms as ever.

#include "picture/TImage.h"

#include <QMimeData>
#include <QObject>
#include <QPoint>
#include <QSize>

#include <functional>
#include <memory>

namespace vexil {

class TPictureDrag : public QObject {
    Q_OBJECT
public:
    // The picture shown as drag data, or null when none is shown.
    using TDataSource = std::function<std::unique_ptr<QMimeData>()>;

    TPictureDrag(TImage &image, TDataSource source);

    // Wraps the control's press handler, so that the size before and after it is known.
    TImage::TMouseEvent WatchPress(TImage::TMouseEvent press);

    // Runs the drag with its data; the desktop's drag loop blocks, so tests replace it.
    std::function<void(std::unique_ptr<QMimeData>)> StartDrag;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct TSizing {
        bool autoSize = false;
        bool stretch = false;
        QSize size;
        bool operator==(const TSizing &) const = default;
    };
    TSizing Sizing() const;
    void Begin();
    void UndoPressZoom();
    void RunDrag(std::unique_ptr<QMimeData> data);

    TImage &image_;
    TDataSource source_;
    bool pressed_ = false;
    QPoint pressPos_;
    TSizing beforePress_;
    TSizing afterPress_;
};

} // namespace vexil
