#pragma once
// A Windows icon file (.ico), as the picture registry opens it.

#include "picture/TGraphic.h"

namespace vexil {

class TIcon : public TGraphic {
public:
    bool Empty() const override { return Image_.isNull(); }
    int Width() const override { return Image_.width(); }
    int Height() const override { return Image_.height(); }
    // An icon's size is that of the image in the file: both throw EInvalidGraphicOperation.
    void SetWidth(int value) override;
    void SetHeight(int value) override;

    // Takes the largest image of the file. Throws EInvalidGraphic when it is no icon.
    void LoadFromStream(TStream &stream) override;
    // Writes back the file as it was loaded.
    void SaveToStream(TStream &stream) const override;

    void Draw(QPainter &painter, const QRect &rect) override;
    QImage ToImage() override { return Image_; }

private:
    std::string Data;
    QImage Image_;
};

} // namespace vexil
