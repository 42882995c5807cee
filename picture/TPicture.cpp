#include "picture/TPicture.h"

#include "base/AsciiCase.h"
#include "picture/TIcon.h"
#include "picture/TJPEGImage.h"

#include <algorithm>
#include <filesystem>

namespace vexil {

TPictureFormats::TPictureFormats() {
    Register("bmp", "Bitmaps", "TBitmap", [] { return std::make_unique<TBitmap>(); });
    Register("ico", "Icons", "TIcon", [] { return std::make_unique<TIcon>(); });
    RegisterJPEGImage(*this);
}

TPictureFormats &TPictureFormats::Instance() {
    static TPictureFormats instance;
    return instance;
}

void TPictureFormats::Register(const std::string &extension, const std::string &description,
                               const std::string &className, TFactory create) {
    const std::string ext = LowerAscii(extension);
    std::erase_if(Formats_, [&](const TFormat &f) { return f.Extension == ext; });
    Formats_.push_back({ext, description, className, std::move(create)});
}

void TPictureFormats::Unregister(const std::string &className) {
    std::erase_if(Formats_, [&](const TFormat &f) { return f.ClassName == className; });
}

std::unique_ptr<TGraphic> TPictureFormats::Create(const std::string &extension) const {
    const std::string ext = LowerAscii(extension);
    for (const TFormat &f : Formats_)
        if (f.Extension == ext)
            return f.Create();
    return nullptr;
}

void TPicture::SetGraphic(std::unique_ptr<TGraphic> graphic) {
    Graphic_ = std::move(graphic);
    Changed();
}

std::unique_ptr<TGraphic> TPicture::TakeGraphic() {
    std::unique_ptr<TGraphic> graphic = std::move(Graphic_);
    Changed();
    return graphic;
}

TBitmap &TPicture::Bitmap() {
    if (auto *bitmap = dynamic_cast<TBitmap *>(Graphic_.get()))
        return *bitmap;
    auto bitmap = std::make_unique<TBitmap>();
    TBitmap &result = *bitmap;
    SetGraphic(std::move(bitmap));
    return result;
}

void TPicture::LoadFromFile(const std::string &path) {
    std::string ext = std::filesystem::path(path).extension().string();
    if (!ext.empty())
        ext.erase(0, 1);
    std::unique_ptr<TGraphic> graphic = TPictureFormats::Instance().Create(ext);
    if (!graphic)
        throw EInvalidGraphic(FormatText("Unknown picture file extension (.%s)", {ext}));
    graphic->LoadFromFile(path);
    SetGraphic(std::move(graphic));
}

void TPicture::Changed() {
    if (OnChange)
        OnChange(this);
}

} // namespace vexil
