#include "net/TmsNgInfoList.h"

#include "base/AsciiCase.h"
#include "message/HeaderText.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <utility>

namespace vexil {

namespace {

bool IsContinuation(const std::string &line) {
    return !line.empty() && (line.front() == ' ' || line.front() == '\t');
}

// Where the first header of that name begins and ends (past its continuation lines).
std::pair<std::size_t, std::size_t> HeaderRange(const std::vector<std::string> &lines,
                                                std::string_view name) {
    const auto found = std::find_if(lines.begin(), lines.end(), [name](const std::string &line) {
        return StartsWithNoCase(line, name);
    });
    std::size_t begin = static_cast<std::size_t>(found - lines.begin());
    std::size_t end = begin;
    if (found != lines.end())
        for (++end; end < lines.size() && IsContinuation(lines[end]);)
            ++end;
    return {begin, end};
}

} // namespace

void TmsNgInfoItem::KeepHandledHeaders() {
    std::vector<std::string> &lines = Lines();
    auto ranges = std::array{HeaderRange(lines, "Lines:"), HeaderRange(lines, "Subject:")};
    std::sort(ranges.begin(), ranges.end()); // in the order they came
    std::vector<std::string> kept;
    for (const auto &[begin, end] : ranges)
        for (std::size_t i = begin; i < end; ++i)
            kept.push_back(std::move(lines[i]));
    lines = std::move(kept);
}

} // namespace vexil
