// The GIF decoder over arbitrary bytes: every input either decodes to a well-formed bitmap
// or ends in EGifException.
#include "picture/TGif.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    vexil::TGif gif;
    try {
        gif.DecodeBytes(std::string(reinterpret_cast<const char *>(data), size));
    } catch (const vexil::EGifException &) {
        return 0;
    }
    const std::string_view bmp = gif.BitmapStream().Bytes();
    const std::size_t stride = (std::size_t(gif.Width()) + 3) / 4 * 4;
    if (bmp.size() != 1078 + stride * std::size_t(gif.Height()))
        std::abort();
    return 0;
}
