// Decodes arbitrary lines as uuencode and checks the result against the line's count and
// that the bytes encode back to a line that decodes to them.
#include "message/UUCode.h"
#include "platform/Exception.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string_view line(reinterpret_cast<const char *>(data), size);
    std::string out(vexil::UUDecodedMax(size), '\0');
    std::size_t n = 0;
    try {
        n = vexil::UUDecode(line, out.data(), out.size());
    } catch (const vexil::EInOutError &) {
        return 0;
    }
    if (n > out.size() || n > 63)
        std::abort();
    out.resize(n);
    if (vexil::UUDecodeLine(line).size() > 255)
        std::abort();
    if (n <= 45 && vexil::UUDecodeLine(vexil::UUEncodeBlock(out)) != out)
        std::abort();
    return 0;
}
