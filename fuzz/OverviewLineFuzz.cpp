// Feeds arbitrary bytes as an overview reply for a small range, in two cuts: whatever the
// bytes, the entries lie in the range, rise strictly, and are the same however the bytes
// arrive.
#include "net/TOverviewLine.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <utility>
#include <vector>

namespace {

constexpr std::int32_t kFirst = 3;
constexpr std::int32_t kLast = 40;

std::vector<vexil::TOverviewEntry> Entries(std::string_view bytes, std::size_t cut) {
    vexil::TOverviewStream stream(vexil::TOverviewFormat::Parse(bytes.substr(0, 64)), kFirst,
                                  kLast);
    stream.Write(bytes.data(), cut);
    stream.Write(bytes.data() + cut, bytes.size() - cut);
    return std::move(stream.Entries());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);
    const auto whole = Entries(bytes, 0);
    const auto halves = Entries(bytes, size / 2);
    if (whole.size() != halves.size() || whole.size() > kLast - kFirst + 1)
        std::abort();
    for (std::size_t i = 0; i < whole.size(); ++i) {
        if (whole[i].Number != halves[i].Number || whole[i].Subject != halves[i].Subject ||
            whole[i].Lines != halves[i].Lines)
            std::abort();
        if (whole[i].Number < kFirst || whole[i].Number > kLast ||
            (i > 0 && whole[i].Number <= whole[i - 1].Number))
            std::abort();
        if (whole[i].Subject.size() > vexil::TOverviewStream::MaxLine)
            std::abort();
    }
    return 0;
}
