// Parses every line of the input as each yEnc keyword line, checks the bounds that the
// parsers promise, and that a header written back from what was parsed parses the same.
#include "message/YEncHeader.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

void CheckBegin(std::string_view line) {
    const auto b = vexil::ParseYEncBegin(line);
    if (!b)
        return;
    Check(vexil::IsYEncKeywordLine(line));
    Check(b->size <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()));
    Check(!b->part || *b->part > 0);
    Check(!b->total || *b->total > 0);
    std::string again = "=ybegin";
    if (b->part)
        again += " part=" + std::to_string(*b->part);
    if (b->total)
        again += " total=" + std::to_string(*b->total);
    again += " size=" + std::to_string(b->size) + " name=" + b->name;
    const auto c = vexil::ParseYEncBegin(again);
    Check(c && c->size == b->size && c->part == b->part && c->total == b->total);
    // A name that looks quoted loses its quotes a second time; any other comes back as is.
    Check(c->name == b->name || (b->name.size() >= 2 && b->name.front() == '"'));
}

std::string Hex(std::uint32_t value) {
    char text[9];
    std::snprintf(text, sizeof text, "%08x", value);
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    std::size_t pos = 0;
    while (pos <= text.size()) {
        std::size_t eol = text.find('\n', pos);
        if (eol == std::string_view::npos)
            eol = text.size();
        const std::string_view line = text.substr(pos, eol - pos);
        CheckBegin(line);
        if (const auto p = vexil::ParseYEncPart(line))
            Check(p->begin >= 1 && p->begin <= p->end && p->Size() >= 1);
        if (const auto e = vexil::ParseYEncEnd(line)) {
            const std::string again =
                "=yend" + (e->size ? " size=" + std::to_string(*e->size) : std::string()) +
                (e->crc32 ? " crc32=" + Hex(*e->crc32) : std::string());
            const auto f = vexil::ParseYEncEnd(again);
            Check(f && f->size == e->size && f->crc32 == e->crc32);
        }
        pos = eol + 1;
    }
    return 0;
}
