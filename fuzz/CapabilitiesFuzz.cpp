// Parses arbitrary bytes as a server's capability list, whole and line by line: both must
// agree, and a list that says nothing must not claim anything.
#include "net/TNntpCapabilities.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

bool SameFeatures(const vexil::TNntpCapabilities &a, const vexil::TNntpCapabilities &b) {
    return a.Version == b.Version && a.Reader == b.Reader && a.ModeReader == b.ModeReader &&
           a.Over == b.Over && a.XOver == b.XOver && a.Hdr == b.Hdr &&
           a.CompressDeflate == b.CompressDeflate && a.AuthInfoUser == b.AuthInfoUser;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string_view block(reinterpret_cast<const char *>(data), size);
    const vexil::TNntpCapabilities whole = vexil::TNntpCapabilities::Parse(block);
    vexil::TNntpCapabilities lines;
    std::string_view rest = block;
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        lines.AddLine(rest.substr(0, end));
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    }
    if (!SameFeatures(whole, lines) || whole.Version < 0 || whole.Version > 9999)
        std::abort();
    if (block.find_first_not_of(" \t\r\n") == std::string_view::npos &&
        !SameFeatures(whole, vexil::TNntpCapabilities()))
        std::abort();
    return 0;
}
