// Decodes arbitrary lines as base64, both as short text and through the cursor form, and
// checks that what decodes encodes back to text that decodes to the same bytes.
#include "message/Base64.h"
#include "platform/Exception.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string_view line(reinterpret_cast<const char *>(data), size);
    std::string out(vexil::Base64DecodedMax(size), '\0');
    std::size_t n = 0;
    try {
        n = vexil::Base64Decode(line, out.data(), out.size());
    } catch (const vexil::EInOutError &) {
        return 0;
    }
    if (n > out.size())
        std::abort();
    out.resize(n);
    const std::string again = vexil::Base64EncodeBlock(out);
    std::string back(vexil::Base64DecodedMax(again.size()), '\0');
    back.resize(vexil::Base64Decode(again, back.data(), back.size()));
    if (back != out)
        std::abort();
    if (vexil::Base64DecodeLine(line).size() > 255)
        std::abort();
    return 0;
}
