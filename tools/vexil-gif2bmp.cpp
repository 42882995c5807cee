// vexil-gif2bmp GIF BMP: writes the GIF decoder's 8-bit bitmap of GIF's first image to BMP,
// or prints why the file cannot be decoded and exits non-zero.
#include "picture/TGif.h"

#include <cstdio>
#include <cstring>

namespace {

int Usage(std::FILE *to) {
    std::fputs("usage: vexil-gif2bmp GIF BMP\n"
               "Decodes the first image of GIF with Vexil's GIF decoder and writes it to BMP\n"
               "as an uncompressed 8-bit Windows bitmap.\n",
               to);
    return to == stdout ? 0 : 2;
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0))
        return Usage(stdout);
    if (argc != 3)
        return Usage(stderr);
    try {
        vexil::TGif gif;
        gif.DecodeFile(argv[1]);
        gif.BitmapStream().SaveToFile(argv[2]);
    } catch (const vexil::Exception &e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
