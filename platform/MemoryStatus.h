#pragma once
// The machine's memory figures of the about box: total physical memory and the share of it
// in use.

#include <cstdint>
#include <optional>
#include <string_view>

namespace vexil {

struct TMemoryStatus {
    std::uint64_t TotalPhys = 0;  // bytes
    std::uint32_t MemoryLoad = 0; // percent in use, 0 to 100
};

// From the text of /proc/meminfo: MemTotal, and 100 - MemAvailable * 100 / MemTotal.
// nullopt when either figure is missing.
std::optional<TMemoryStatus> ParseMemInfo(std::string_view text);

// The figures of this machine; zeros when /proc/meminfo cannot be read.
TMemoryStatus GlobalMemoryStatus();

} // namespace vexil
