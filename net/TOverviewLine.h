#pragma once
// The overview of a group as a server sends it (OVER or XOVER): one line an article, the
// number first, then the fields LIST OVERVIEW.FMT names, separated by TAB. The walk needs
// only the number, the Subject and the Lines count of each line.

#include "platform/TStream.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vexil {

struct TOverviewEntry {
    std::int32_t Number = 0;
    std::string Subject;
    std::string Lines;
};

// Where Subject and Lines stand in a line; the number is field 0.
struct TOverviewFormat {
    std::size_t SubjectField = 1;
    std::size_t LinesField = 7;

    // A LIST OVERVIEW.FMT block; a field it does not name keeps its usual place.
    static TOverviewFormat Parse(std::string_view Block);
    // One line; nothing when its number is missing, not a number, or not positive.
    std::optional<TOverviewEntry> ParseLine(std::string_view Line) const;
};

// Collects the entries of one OVER reply as it arrives: lines whose number lies outside
// First..Last or does not follow the one before are passed over, so a range gives at most
// Last - First + 1 entries however many lines the server sends; an overlong line is cut.
class TOverviewStream : public TStream {
public:
    TOverviewStream(const TOverviewFormat &Format, std::int32_t First, std::int32_t Last);

    std::size_t Read(void *, std::size_t) override { return 0; }
    void Write(const void *buffer, std::size_t count) override;
    std::int64_t Size() const override { return size_; }
    std::int64_t Position() const override { return size_; }
    void SetPosition(std::int64_t) override {}

    // The entries taken, in article order; a last line without its line break included.
    std::vector<TOverviewEntry> &Entries();

    // No overview field the walk reads is longer; the rest of a longer line is dropped.
    static constexpr std::size_t MaxLine = 16 * 1024;

private:
    void TakeLine();

    TOverviewFormat format_;
    std::int32_t first_;
    std::int32_t last_;
    std::vector<TOverviewEntry> entries_;
    std::string line_;
    std::int64_t size_ = 0;
};

} // namespace vexil
