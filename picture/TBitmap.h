#pragma once
// A device bitmap: the picture of Windows bitmap files, of the GIF decoder's output and of
// whatever the image library hands back.

#include "picture/TGraphic.h"

#include <QPixmap>

namespace vexil {

class TBitmap : public TGraphic {
public:
    bool Empty() const override { return Handle_.isNull(); }
    int Width() const override { return Handle_.width(); }
    int Height() const override { return Handle_.height(); }
    // Resizing keeps what fits and fills the rest with white.
    void SetWidth(int value) override { Resize(value, Height()); }
    void SetHeight(int value) override { Resize(Width(), value); }

    // Reads a Windows bitmap file (with its palette, for 8-bit files). Throws
    // EInvalidGraphic when the bytes are not one.
    void LoadFromStream(TStream &stream) override;
    // Writes a Windows bitmap file.
    void SaveToStream(TStream &stream) const override;

    void Draw(QPainter &painter, const QRect &rect) override;
    QImage ToImage() override { return Handle_.toImage(); }
    QVector<QRgb> Palette() const override { return Palette_; }

    // The device bitmap; taking one makes the bitmap its owner.
    const QPixmap &Handle() const { return Handle_; }
    void SetHandle(QPixmap handle);

private:
    void Resize(int width, int height);

    QPixmap Handle_;
    QVector<QRgb> Palette_;
};

} // namespace vexil
