#include "platform/MemoryStatus.h"

#include <charconv>
#include <fstream>
#include <sstream>
#include <string>

namespace vexil {

namespace {

// The figure of a "Name:   12345 kB" line, in kB.
std::optional<std::uint64_t> field(std::string_view text, std::string_view name) {
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t eol = std::min(text.find('\n', at), text.size());
        std::string_view line = text.substr(at, eol - at);
        at = eol + 1;
        if (line.size() <= name.size() || line.substr(0, name.size()) != name ||
            line[name.size()] != ':')
            continue;
        line.remove_prefix(name.size() + 1);
        while (!line.empty() && line.front() == ' ')
            line.remove_prefix(1);
        std::uint64_t value = 0;
        const auto [end, ec] = std::from_chars(line.data(), line.data() + line.size(), value);
        if (ec != std::errc())
            return std::nullopt;
        return value;
    }
    return std::nullopt;
}

} // namespace

std::optional<TMemoryStatus> ParseMemInfo(std::string_view text) {
    const auto total = field(text, "MemTotal");
    const auto available = field(text, "MemAvailable");
    if (!total || !available || *total == 0 || *available > *total)
        return std::nullopt;
    TMemoryStatus status;
    status.TotalPhys = *total * 1024;
    status.MemoryLoad = static_cast<std::uint32_t>(100 - *available * 100 / *total);
    return status;
}

TMemoryStatus GlobalMemoryStatus() {
    std::ifstream in("/proc/meminfo");
    std::stringstream text;
    text << in.rdbuf();
    return ParseMemInfo(text.str()).value_or(TMemoryStatus{});
}

} // namespace vexil
