#include "app/PictureGroups.h"

#include "base/AsciiCase.h"
#include "net/TmsNNTP.h"
#include "platform/Exception.h"
#include "platform/TStream.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>

namespace vexil {

namespace {

void WriteTextLines(const std::string &FileName, const std::vector<std::string> &Lines) {
    TFileStream file(FileName, TFileStream::Mode::Create);
    for (const std::string &line : Lines) {
        file.Write(line);
        file.Write("\r\n");
    }
    file.Close();
}

// Removes the half-made file of a Get Groups that failed on the way.
class TPendingFile {
public:
    explicit TPendingFile(std::string path) : path_(std::move(path)) {}
    TPendingFile(const TPendingFile &) = delete;
    TPendingFile &operator=(const TPendingFile &) = delete;
    ~TPendingFile() { std::remove(path_.c_str()); }
    const std::string &Path() const { return path_; }

private:
    std::string path_;
};

} // namespace

std::vector<std::string> FilterPictureGroups(const std::vector<std::string> &Lines) {
    std::vector<std::string> kept;
    for (const std::string &line : Lines) {
        const std::string lower = LowerAscii(line);
        if (lower.find("picture") == std::string::npos || lower.find("child") != std::string::npos)
            continue;
        kept.push_back(line.substr(0, line.find(' ')));
    }
    return kept;
}

std::vector<std::string> ReadTextLines(const std::string &FileName) {
    std::ifstream file(FileName, std::ios::binary);
    if (!file)
        throw EFOpenError(FileName);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(std::move(line));
    }
    return lines;
}

std::vector<std::string> RetrievePictureGroups(TmsNNTP &Client, const std::string &DataFile) {
    Client.RetrieveNewsGroupList();
    TPendingFile pending(DataFile + ".new");
    Client.SaveNewsGroupList(pending.Path());
    const std::vector<std::string> groups = FilterPictureGroups(ReadTextLines(pending.Path()));
    WriteTextLines(pending.Path(), groups);
    if (std::rename(pending.Path().c_str(), DataFile.c_str()) != 0)
        throw EFCreateError(DataFile);
    Client.LoadNewsGroupList(DataFile);
    return groups;
}

} // namespace vexil
