#include "picture/TGifImage.h"

#include "base/AsciiCase.h"

#include <QApplication>

namespace vexil {

TGifImage::TGifImage(QWidget *parent) : TImage(parent), Decoder(std::make_unique<TGif>()) {}

TGifImage::~TGifImage() = default;

void TGifImage::SetGifFileName(const std::string &value) {
    // Replacing the decoder under a running decode would pull it from under its own feet.
    if (Decoder->Decoding()) {
        QApplication::beep();
        return;
    }
    try {
        Load(value);
    } catch (const std::exception &) {
        // The control reports a failed load by its empty picture and name, as designed.
        Picture().Clear();
        Decoder = std::make_unique<TGif>();
        QApplication::beep();
        GifFileName_.clear();
    }
}

void TGifImage::Load(const std::string &value) {
    Picture().Clear();
    Decoder->DecodeFile(value);
    Picture().Bitmap().LoadFromStream(Decoder->BitmapStream());
    Picture().Changed();
    if (isVisible())
        repaint();
    GifFileName_ = UpperAscii(value);
}

} // namespace vexil
