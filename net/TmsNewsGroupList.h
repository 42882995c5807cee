#pragma once
// The server's groups, as a LIST reply gives them, and the group-list file that holds them:
// one group a line, "name last first posting", the layout of a LIST reply line.

#include "platform/Object.h"
#include "platform/TStream.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vexil {

class TmsNewsgroup {
public:
    // -1 when the line has none.
    int First = -1;
    int Last = -1;
    // The posting flag (y, n, m ...); '\0' when the line had none.
    char Posting = '\0';
    std::string Name;
};

// A server may list tens of millions of groups, so the list keeps their lines in one text
// and reads an entry out of its line when asked: a little more than the bytes received.
class TmsNewsGroupList : public TObject {
public:
    TmsNewsGroupList() = default;
    TmsNewsGroupList(TmsNewsGroupList &&) noexcept = default;
    TmsNewsGroupList &operator=(TmsNewsGroupList &&) noexcept = default;

    int Count() const { return static_cast<int>(starts_.size()); }
    // The entry at Index, read from its line; throws EListError outside 0 .. Count() - 1.
    TmsNewsgroup Items(int Index) const;
    // Appends an entry; returns its index.
    int Add(const TmsNewsgroup &Entry);
    void Clear();

    // Writes every entry from the stream's start; an entry without a posting flag is
    // written without one.
    void SaveToStream(TStream &Stream) const;
    // Replaces the file. Throws EFCreateError or EInOutError.
    void SaveToFile(const std::string &FileName) const;
    // Replaces the entries with the lines of the stream (breaks CR LF, LF or CR), leaving out
    // the "." end line of a LIST reply. Malformed lines never fail: missing numbers are -1.
    void LoadFromStream(TStream &Stream);
    // The same for text already in memory, which the list takes over (a received block).
    void LoadFromText(std::string Text);
    // Throws EFOpenError, leaving the entries as they were.
    void LoadFromFile(const std::string &FileName);

private:
    std::string_view Line(int Index) const;

    // The kept lines, each ended by a line feed, and where each begins.
    std::string text_;
    std::vector<std::uint32_t> starts_;
};

} // namespace vexil
