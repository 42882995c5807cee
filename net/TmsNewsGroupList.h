#pragma once
// The server's groups, as a LIST reply gives them, and the group-list file that holds them:
// one group a line, "name last first posting", the layout of a LIST reply line.

#include "net/TOwnedList.h"
#include "platform/TStream.h"

#include <string>

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

class TmsNewsGroupList : public TOwnedList<TmsNewsgroup> {
public:
    // Writes every entry from the stream's start; an entry without a posting flag is
    // written without one.
    void SaveToStream(TStream &Stream) const;
    // Replaces the file. Throws EFCreateError or EInOutError.
    void SaveToFile(const std::string &FileName) const;
    // Replaces the entries with the lines of the stream (breaks CR LF, LF or CR), leaving out
    // the "." end line of a LIST reply. Malformed lines never fail: missing numbers are -1.
    void LoadFromStream(TStream &Stream);
    // Throws EFOpenError, leaving the entries as they were.
    void LoadFromFile(const std::string &FileName);
};

} // namespace vexil
