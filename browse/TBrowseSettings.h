#pragma once
// The settings a browse run follows, with the defaults of a fresh installation.

#include <cstdint>

namespace vexil {

struct TBrowseSettings {
    // Carry on after the article remembered for the server and group.
    bool SmartDownload = true;
    // Only articles with MinLines < Lines < MaxLines are fetched.
    std::int32_t MinLines = 150;
    std::int32_t MaxLines = 100000;
};

} // namespace vexil
