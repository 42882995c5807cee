#include "net/TmsNewsGroupList.h"

#include "base/ReplyWords.h"
#include "platform/Exception.h"

#include <cstring>
#include <limits>

namespace vexil {

namespace {

bool IsBreak(char c) {
    return c == '\r' || c == '\n';
}

} // namespace

std::string_view TmsNewsGroupList::Line(int Index) const {
    if (Index < 0 || Index >= Count())
        throw EListError(Index);
    const std::size_t begin = starts_[static_cast<std::size_t>(Index)];
    const std::size_t end =
        Index + 1 < Count() ? starts_[static_cast<std::size_t>(Index) + 1] : text_.size();
    return std::string_view(text_).substr(begin, end - begin - 1);
}

TmsNewsgroup TmsNewsGroupList::Items(int Index) const {
    const std::string_view line = Line(Index);
    TmsNewsgroup group;
    group.Name = GetWord(line, 0, true);
    group.Last = GetWordAsInt(line, 1);
    group.First = GetWordAsInt(line, 2);
    const std::string posting = GetWord(line, 3, true);
    if (!posting.empty())
        group.Posting = posting.front();
    return group;
}

int TmsNewsGroupList::Add(const TmsNewsgroup &Entry) {
    std::string line =
        Entry.Name + ' ' + std::to_string(Entry.Last) + ' ' + std::to_string(Entry.First);
    if (Entry.Posting != '\0')
        line += std::string(" ") + Entry.Posting;
    if (text_.size() + line.size() + 1 > std::numeric_limits<std::uint32_t>::max())
        throw EInOutError("The group list is too large");
    starts_.push_back(static_cast<std::uint32_t>(text_.size()));
    text_ += line;
    text_ += '\n';
    return Count() - 1;
}

void TmsNewsGroupList::Clear() {
    text_ = std::string();
    starts_ = std::vector<std::uint32_t>();
}

void TmsNewsGroupList::SaveToStream(TStream &Stream) const {
    Stream.SetPosition(0);
    std::string text;
    for (int i = 0; i < Count(); ++i) {
        const TmsNewsgroup group = Items(i);
        text += group.Name;
        text += ' ';
        text += std::to_string(group.Last);
        text += ' ';
        text += std::to_string(group.First);
        if (group.Posting != '\0') {
            text += ' ';
            text += group.Posting;
        }
        text += "\r\n";
    }
    Stream.Write(text);
}

void TmsNewsGroupList::SaveToFile(const std::string &FileName) const {
    TFileStream file(FileName, TFileStream::Mode::Create);
    SaveToStream(file);
    file.Close();
}

void TmsNewsGroupList::LoadFromStream(TStream &Stream) {
    Stream.SetPosition(0);
    std::string text(static_cast<std::size_t>(Stream.Size()), '\0');
    text.resize(Stream.Read(text.data(), text.size()));
    LoadFromText(std::move(text));
}

void TmsNewsGroupList::LoadFromText(std::string Text) {
    if (Text.size() > std::numeric_limits<std::uint32_t>::max())
        throw EInOutError("The group list is too large");
    Clear();
    // The kept lines are moved to the front of the text itself, so that no second copy of
    // a large list is ever made.
    std::size_t out = 0;
    std::size_t pos = 0;
    while (pos < Text.size()) {
        std::size_t end = pos;
        while (end < Text.size() && !IsBreak(Text[end]))
            ++end;
        std::size_t next = end;
        if (next < Text.size() && Text[next] == '\r')
            ++next;
        if (next < Text.size() && Text[next] == '\n')
            ++next;
        const std::string_view line = std::string_view(Text).substr(pos, end - pos);
        // The end line of a LIST reply, and blank lines, name no group.
        if (line != "." && !GetWord(line, 0, true).empty()) {
            starts_.push_back(static_cast<std::uint32_t>(out));
            std::memmove(Text.data() + out, line.data(), line.size());
            out += line.size();
            Text[out++] = '\n';
        }
        pos = next;
    }
    Text.resize(out);
    Text.shrink_to_fit();
    starts_.shrink_to_fit();
    text_ = std::move(Text);
}

void TmsNewsGroupList::LoadFromFile(const std::string &FileName) {
    TFileStream file(FileName, TFileStream::Mode::Read);
    LoadFromStream(file);
}

} // namespace vexil
