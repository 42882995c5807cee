#include "net/TNntpCapabilities.h"

#include "base/AsciiCase.h"

#include <string>
#include <vector>

namespace vexil {

namespace {

bool Blank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

// The line's words; labels and arguments are case-insensitive.
std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && Blank(line[i]))
            ++i;
        const std::size_t start = i;
        while (i < line.size() && !Blank(line[i]))
            ++i;
        if (i > start)
            words.push_back(line.substr(start, i - start));
    }
    return words;
}

bool Is(std::string_view word, std::string_view name) {
    return EqualsNoCase(word, name);
}

bool HasArgument(const std::vector<std::string_view> &words, std::string_view name) {
    for (std::size_t i = 1; i < words.size(); ++i)
        if (Is(words[i], name))
            return true;
    return false;
}

int SmallNumber(std::string_view word) {
    int value = 0;
    if (word.empty() || word.size() > 4)
        return 0;
    for (char c : word) {
        if (c < '0' || c > '9')
            return 0;
        value = value * 10 + (c - '0');
    }
    return value;
}

} // namespace

TNntpCapabilities TNntpCapabilities::Parse(std::string_view Block) {
    TNntpCapabilities result;
    result.Known = true;
    while (!Block.empty()) {
        const std::size_t end = Block.find('\n');
        result.AddLine(Block.substr(0, end));
        if (end == std::string_view::npos)
            break;
        Block.remove_prefix(end + 1);
    }
    return result;
}

void TNntpCapabilities::AddLine(std::string_view Line) {
    if (Line.size() > MaxLine)
        return;
    const std::vector<std::string_view> words = Words(Line);
    if (words.empty())
        return;
    const std::string_view label = words[0];
    if (Is(label, "VERSION") && words.size() > 1)
        Version = SmallNumber(words[1]);
    else if (Is(label, "READER"))
        Reader = true;
    else if (Is(label, "MODE-READER"))
        ModeReader = true;
    else if (Is(label, "OVER"))
        Over = true;
    else if (Is(label, "XOVER"))
        XOver = true;
    else if (Is(label, "HDR"))
        Hdr = true;
    else if (Is(label, "COMPRESS"))
        CompressDeflate = CompressDeflate || HasArgument(words, "DEFLATE");
    else if (Is(label, "AUTHINFO"))
        AuthInfoUser = AuthInfoUser || HasArgument(words, "USER");
}

} // namespace vexil
