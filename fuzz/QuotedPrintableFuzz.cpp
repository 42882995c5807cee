// Decodes arbitrary lines as quoted-printable, and encodes the bytes given and decodes them
// again: text without line-end characters must come back with one CR LF per line.
#include "message/TQuotedPrintable.h"
#include "platform/Exception.h"
#include "platform/TStream.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::vector<std::string> SplitAtLf(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos <= text.size()) {
        const std::size_t lf = std::min(text.find('\n', pos), text.size());
        lines.emplace_back(text.substr(pos, lf - pos));
        pos = lf + 1;
    }
    return lines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    try {
        std::vector<std::string> lines = SplitAtLf(text);
        vexil::TMemoryStream decoded;
        vexil::TQuotedPrintable(decoded, lines).Decode();
    } catch (const vexil::Exception &) {
    }
    (void)vexil::QPDecodeText(text);

    // One paragraph without line ends and without the end-of-file character survives.
    if (text.find_first_of(std::string_view("\r\n\x1a", 3)) != std::string_view::npos ||
        text.size() >= vexil::TQuotedPrintable::kParagraphMax - 2 || text.empty())
        return 0;
    vexil::TMemoryStream source{std::string(text)};
    std::vector<std::string> encoded;
    vexil::TQuotedPrintable(source, encoded).Encode();
    for (const auto &line : encoded)
        if (line.size() > 76 * 3)
            std::abort();
    vexil::TMemoryStream back;
    vexil::TQuotedPrintable(back, encoded).Decode();
    if (back.Bytes() != std::string(text) + "\r\n")
        std::abort();
    return 0;
}
