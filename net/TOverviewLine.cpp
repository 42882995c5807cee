#include "net/TOverviewLine.h"

#include "base/AsciiCase.h"

#include <limits>

namespace vexil {

namespace {

std::string_view Trimmed(std::string_view Text) {
    const std::size_t begin = Text.find_first_not_of(" \t\r");
    if (begin == std::string_view::npos)
        return {};
    const std::size_t end = Text.find_last_not_of(" \t\r");
    return Text.substr(begin, end - begin + 1);
}

// An article number: digits only, above 0 and within the 32 bits the client counts in.
std::optional<std::int32_t> ArticleNumber(std::string_view Text) {
    Text = Trimmed(Text);
    if (Text.empty() || Text.size() > 10)
        return std::nullopt;
    std::int64_t value = 0;
    for (char c : Text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value <= 0 || value > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

// Field Index of a TAB-separated line; empty when the line has fewer fields.
std::string_view Field(std::string_view Line, std::size_t Index) {
    for (std::size_t i = 0; i < Index; ++i) {
        const std::size_t tab = Line.find('\t');
        if (tab == std::string_view::npos)
            return {};
        Line.remove_prefix(tab + 1);
    }
    return Line.substr(0, Line.find('\t'));
}

} // namespace

TOverviewFormat TOverviewFormat::Parse(std::string_view Block) {
    TOverviewFormat format;
    std::size_t field = 1;
    while (!Block.empty()) {
        const std::size_t end = Block.find('\n');
        const std::string_view name = Trimmed(Block.substr(0, end));
        Block.remove_prefix(end == std::string_view::npos ? Block.size() : end + 1);
        if (name.empty())
            continue;
        if (EqualsNoCase(name, "Subject:"))
            format.SubjectField = field;
        else if (EqualsNoCase(name, "Lines:") || EqualsNoCase(name, ":lines"))
            format.LinesField = field;
        ++field;
    }
    return format;
}

std::optional<TOverviewEntry> TOverviewFormat::ParseLine(std::string_view Line) const {
    if (!Line.empty() && Line.back() == '\r')
        Line.remove_suffix(1);
    const std::optional<std::int32_t> number = ArticleNumber(Field(Line, 0));
    if (!number)
        return std::nullopt;
    TOverviewEntry entry;
    entry.Number = *number;
    entry.Subject = std::string(Field(Line, SubjectField));
    entry.Lines = std::string(Trimmed(Field(Line, LinesField)));
    return entry;
}

TOverviewStream::TOverviewStream(const TOverviewFormat &Format, std::int32_t First,
                                 std::int32_t Last)
    : format_(Format), first_(First), last_(Last) {}

void TOverviewStream::Write(const void *buffer, std::size_t count) {
    const std::string_view bytes(static_cast<const char *>(buffer), count);
    size_ += static_cast<std::int64_t>(count);
    std::size_t start = 0;
    while (start < bytes.size()) {
        const std::size_t end = bytes.find('\n', start);
        const std::string_view piece = bytes.substr(
            start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (line_.size() < MaxLine)
            line_.append(piece.substr(0, MaxLine - line_.size()));
        if (end == std::string_view::npos)
            return;
        TakeLine();
        start = end + 1;
    }
}

std::vector<TOverviewEntry> &TOverviewStream::Entries() {
    if (!line_.empty())
        TakeLine();
    return entries_;
}

void TOverviewStream::TakeLine() {
    std::optional<TOverviewEntry> entry = format_.ParseLine(line_);
    line_.clear();
    if (!entry || entry->Number < first_ || entry->Number > last_)
        return;
    // Going back would fire an article twice and move the memory backwards.
    if (!entries_.empty() && entry->Number <= entries_.back().Number)
        return;
    entries_.push_back(std::move(*entry));
}

} // namespace vexil
