// Makes arbitrary bytes printable and checks that no control character is left, read
// the way a message box reads it (UTF-8 when valid, else Latin-1), and that UTF-8 stays UTF-8.
#include "platform/PrintableText.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string bytes(reinterpret_cast<const char *>(data), size);
    const std::string shown = vexil::PrintableText(bytes);
    const bool utf8 = vexil::IsUtf8Text(shown);
    if ((vexil::IsUtf8Text(bytes) && !utf8) || shown.size() > bytes.size())
        std::abort();
    for (std::size_t i = 0; i < shown.size(); ++i) {
        const auto c = static_cast<unsigned char>(shown[i]);
        if (c < 0x20 || c == 0x7F)
            std::abort();
        const bool c1 = utf8 ? c == 0xC2 && static_cast<unsigned char>(shown[i + 1]) < 0xA0
                             : c >= 0x80 && c < 0xA0;
        if (c1)
            std::abort();
    }
    return 0;
}
