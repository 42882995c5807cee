// Parses the input as a subject and checks what the part counter promises: a counter within
// its bounds, and a stem that is the subject with exactly the counter taken out.
#include "FuzzCheck.h"
#include "browse/SubjectPartCounter.h"

#include <cstdint>
#include <string>
#include <string_view>

using vexil::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string_view subject(reinterpret_cast<const char *>(data), size);
    const auto part = vexil::ParseSubjectPart(subject);
    if (!part)
        return 0;
    Check(part->Number >= 1 && part->Number <= part->Total && part->Total <= 999999);
    const std::string counter = std::to_string(part->Number) + "/" + std::to_string(part->Total);
    Check(part->Stem.size() + counter.size() + 2 <= subject.size());
    Check(subject.size() - part->Stem.size() <= 2 + 13);
    return 0;
}
