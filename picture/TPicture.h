#pragma once
// The picture of an image control, and the program's picture-format registry that chooses
// a picture class by file extension when a picture is loaded from a file.

#include "picture/TBitmap.h"
#include "picture/TGraphic.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vexil {

class TPictureFormats {
public:
    using TFactory = std::function<std::unique_ptr<TGraphic>()>;
    struct TFormat {
        std::string Extension; // lower case, without the dot
        std::string Description;
        std::string ClassName;
        TFactory Create;
    };

    // The process-wide registry, holding the built-in formats from its first use on:
    // "bmp" (Windows bitmaps), "ico" (icons), "jpeg" and "jpg" (TJPEGImage).
    static TPictureFormats &Instance();

    // A later registration of an extension replaces the earlier one.
    void Register(const std::string &extension, const std::string &description,
                  const std::string &className, TFactory create);
    // Removes every extension registered for the class.
    void Unregister(const std::string &className);
    // A new, empty picture of the class registered for the extension (any case, without
    // the dot), or nullptr.
    std::unique_ptr<TGraphic> Create(const std::string &extension) const;
    const std::vector<TFormat> &Formats() const { return Formats_; }

private:
    TPictureFormats();
    std::vector<TFormat> Formats_;
};

class TPicture : public TObject {
public:
    TGraphic *Graphic() const { return Graphic_.get(); }
    void SetGraphic(std::unique_ptr<TGraphic> graphic);
    // The picture as a bitmap: an empty one replaces a picture of another kind.
    TBitmap &Bitmap();
    void Clear() { SetGraphic(nullptr); }
    // Hands the graphic out, leaving the picture empty.
    std::unique_ptr<TGraphic> TakeGraphic();

    // Loads the file with the picture class registered for its extension. An unknown
    // extension throws EInvalidGraphic; a decoder's failure leaves the picture unchanged.
    void LoadFromFile(const std::string &path);

    int Width() const { return Graphic_ ? Graphic_->Width() : 0; }
    int Height() const { return Graphic_ ? Graphic_->Height() : 0; }
    // Tells the picture that its graphic has changed in place.
    void Changed();

    TNotifyEvent OnChange;

private:
    std::unique_ptr<TGraphic> Graphic_;
};

} // namespace vexil
