#pragma once
// The image control with a GIF decoder of its own: assigning GifFileName decodes that file
// and shows it.

#include "picture/TGif.h"
#include "picture/TImage.h"

#include <memory>
#include <string>

namespace vexil {

class TGifImage : public TImage {
    Q_OBJECT

public:
    explicit TGifImage(QWidget *parent = nullptr);
    ~TGifImage() override;

    // The upper-cased name of the file last shown, or empty after a failure.
    const std::string &GifFileName() const { return GifFileName_; }
    // Decodes and shows the file. Never throws: on any failure the picture is empty, the
    // decoder is replaced, the system beeps and GifFileName reads back empty. An assignment
    // that arrives while a decode runs (through the message pump) is refused with a beep.
    void SetGifFileName(const std::string &value);

private:
    void Load(const std::string &value);

    std::unique_ptr<TGif> Decoder;
    std::string GifFileName_;
};

} // namespace vexil
