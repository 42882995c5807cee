#pragma once
// The abstract picture of the toolkit's picture registry: something that loads from a file
// or stream, knows its size and draws itself. Bitmaps, icons and JPEG pictures derive from it.

#include "platform/Exception.h"
#include "platform/Object.h"
#include "platform/TStream.h"

#include <QImage>
#include <QRect>
#include <QVector>

#include <string>

class QPainter;

namespace vexil {

// A picture file the registry cannot read: an unknown extension, or content its decoder
// rejects.
class EInvalidGraphic : public Exception {
public:
    using Exception::Exception;
};

// An operation a picture class does not allow ("Cannot change the size of a JPEG image").
class EInvalidGraphicOperation : public Exception {
public:
    using Exception::Exception;
};

class TGraphic : public TObject {
public:
    virtual bool Empty() const = 0;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    virtual void SetWidth(int value) = 0;
    virtual void SetHeight(int value) = 0;

    // Reads the whole file and hands it to LoadFromStream. Throws EFOpenError.
    virtual void LoadFromFile(const std::string &path);
    virtual void LoadFromStream(TStream &stream) = 0;
    virtual void SaveToStream(TStream &stream) const = 0;
    void SaveToFile(const std::string &path) const;

    // Draws the picture into rect, scaled to it.
    virtual void Draw(QPainter &painter, const QRect &rect) = 0;
    // Decodes now what the picture would otherwise decode when first drawn; throws what the
    // decoder throws.
    virtual void DIBNeeded() {}
    // The picture as an image of its own size (decoding it first if need be).
    virtual QImage ToImage() = 0;
    // The colour table the picture is shown with; empty for true-colour pictures.
    virtual QVector<QRgb> Palette() const { return {}; }
};

} // namespace vexil
