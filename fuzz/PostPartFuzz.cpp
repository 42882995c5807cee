// Takes the input's first line as a subject and the rest as the article, and checks what
// the joiner's recognition promises: a part within a post of 2 to MaxParts parts, and a
// stem that never holds more than the subject.
#include "FuzzCheck.h"
#include "browse/TPartJoiner.h"

#include <cstdint>
#include <string_view>

using vexil::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char *>(data), size);
    const std::size_t line = input.find('\n');
    const std::string_view subject = input.substr(0, line);
    const std::string_view source =
        line == std::string_view::npos ? std::string_view() : input.substr(line + 1);
    const auto part = vexil::TPartJoiner::Recognise(subject, source);
    if (!part)
        return 0;
    Check(part->Total >= 2 && part->Total <= vexil::TPartJoiner::MaxParts);
    Check(part->Number >= 1 && part->Number <= part->Total);
    Check(part->Stem.size() <= subject.size());
    return 0;
}
