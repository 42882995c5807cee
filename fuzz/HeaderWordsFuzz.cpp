// Decodes arbitrary header values and checks that the result stays a short text.
#include "message/HeaderWords.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string_view value(reinterpret_cast<const char *>(data), size);
    if (vexil::DecodeHeaderWords(value).size() > 255)
        std::abort();
    return 0;
}
