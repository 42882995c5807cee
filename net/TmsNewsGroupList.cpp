#include "net/TmsNewsGroupList.h"

#include "net/ReplyWords.h"
#include "net/TLineStream.h"

namespace vexil {

void TmsNewsGroupList::SaveToStream(TStream &Stream) const {
    Stream.SetPosition(0);
    std::string text;
    for (int i = 0; i < Count(); ++i) {
        const TmsNewsgroup &group = Items(i);
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
    Clear();
    TLineStream lines;
    lines.CopyFrom(Stream);
    lines.Reset();
    std::string line;
    for (lines.ReadLine(line); !lines.EndOfData(); lines.ReadLine(line)) {
        // The end line of a LIST reply, and blank lines, name no group.
        std::string name = GetWord(line, 0, true);
        if (line == "." || name.empty())
            continue;
        auto group = std::make_unique<TmsNewsgroup>();
        group->Name = std::move(name);
        group->Last = GetWordAsInt(line, 1);
        group->First = GetWordAsInt(line, 2);
        const std::string posting = GetWord(line, 3, true);
        if (!posting.empty())
            group->Posting = posting.front();
        Add(std::move(group));
    }
}

void TmsNewsGroupList::LoadFromFile(const std::string &FileName) {
    TFileStream file(FileName, TFileStream::Mode::Read);
    LoadFromStream(file);
}

} // namespace vexil
