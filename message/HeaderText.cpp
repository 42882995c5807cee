#include "message/HeaderText.h"

#include "base/AsciiCase.h"
#include "message/HeaderWords.h"
#include "message/TmsMailAddress.h"
#include "platform/ShortText.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <unordered_map>

namespace vexil {

namespace {

bool IsTrimmed(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

bool IsContinuation(const std::string &line) {
    return !line.empty() && (line[0] == ' ' || line[0] == '\t');
}

std::string HeaderKey(std::string_view name) {
    std::string key(name);
    if (key.empty() || key.back() != ':')
        key += ':';
    return key;
}

std::size_t FindHeader(const std::vector<std::string> &lines, std::string_view name) {
    const std::string key = HeaderKey(name);
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (StartsWithNoCase(lines[i], key))
            return i;
    return lines.size();
}

// Extension (lower case, without the dot) to type, read once from /etc/mime.types; the first
// type that names an extension keeps it.
const std::unordered_map<std::string, std::string> &MimeTypes() {
    static const std::unordered_map<std::string, std::string> types = [] {
        std::unordered_map<std::string, std::string> map;
        std::ifstream in("/etc/mime.types");
        std::string line;
        while (std::getline(in, line)) {
            if (line.empty() || line[0] == '#')
                continue;
            std::istringstream words(line);
            std::string type, ext;
            if (!(words >> type))
                continue;
            while (words >> ext)
                map.emplace(LowerAscii(ext), type);
        }
        return map;
    }();
    return types;
}

} // namespace

std::string_view TrimText(std::string_view text) {
    while (!text.empty() && IsTrimmed(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsTrimmed(text.back()))
        text.remove_suffix(1);
    return text;
}

std::string GetHeaderValue(const std::vector<std::string> &lines, std::string_view name) {
    const std::size_t found = FindHeader(lines, name);
    if (found == lines.size())
        return {};
    const std::string &line = lines[found];
    std::string value(TrimText(std::string_view(line).substr(line.find(':') + 1)));
    for (std::size_t i = found + 1; i < lines.size() && IsContinuation(lines[i]); ++i) {
        value += ' ';
        value += TrimText(lines[i]);
    }
    std::string_view bare = name;
    if (!bare.empty() && bare.back() == ':')
        bare.remove_suffix(1);
    if (EqualsNoCase(bare, "CONTENT-TYPE") || EqualsNoCase(bare, "X-UIDL"))
        return value;
    return DecodeHeaderWords(value);
}

void RemoveHeader(std::vector<std::string> &lines, std::string_view name) {
    const std::size_t found = FindHeader(lines, name);
    if (found == lines.size())
        return;
    std::size_t end = found + 1;
    while (end < lines.size() && IsContinuation(lines[end]))
        ++end;
    lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(found),
                lines.begin() + static_cast<std::ptrdiff_t>(end));
}

std::string GetParameter(std::string_view paramName, std::string_view value) {
    const std::size_t at = FindNoCase(value, paramName);
    if (at == std::string_view::npos)
        return {};
    // Past the name and the "=" that follows it.
    const std::size_t skip = std::min(value.size(), at + paramName.size() + 1);
    std::string_view rest = TrimText(value.substr(skip));
    if (!rest.empty() && rest.front() == '"') {
        rest.remove_prefix(1);
        rest = rest.substr(0, rest.find('"'));
    } else {
        rest = rest.substr(0, rest.find(' '));
    }
    if (!rest.empty() && rest.back() == ';')
        rest.remove_suffix(1);
    return std::string(TrimText(rest));
}

std::string FirstWord(std::string_view value) {
    return std::string(TrimText(value.substr(0, value.find_first_of(" ;"))));
}

std::string TrimQuotes(std::string_view text) {
    text = TrimText(text);
    while (!text.empty() && text.front() == '"')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == '"')
        text.remove_suffix(1);
    return std::string(text);
}

std::string AddBackslash(std::string_view folder) {
    std::string out(folder);
    if (!out.empty() && out.back() != '/')
        out += '/';
    return out;
}

std::string_view FileNamePart(std::string_view fileName) {
    const std::size_t sep = fileName.find_last_of("\\/:");
    return sep == std::string_view::npos ? fileName : fileName.substr(sep + 1);
}

std::string ContentTypeOfFile(std::string_view fileName) {
    const std::size_t dot = fileName.rfind('.');
    if (dot != std::string_view::npos &&
        fileName.find_first_of("\\/:", dot) == std::string_view::npos) {
        const auto &types = MimeTypes();
        const auto it = types.find(LowerAscii(fileName.substr(dot + 1)));
        if (it != types.end())
            return it->second;
    }
    return "application/octet-stream";
}

std::vector<std::string> SplitTextLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t brk = std::min(text.find_first_of("\r\n", pos), text.size());
        lines.emplace_back(text.substr(pos, brk - pos));
        pos = brk;
        if (pos < text.size())
            pos += (text[pos] == '\r' && pos + 1 < text.size() && text[pos + 1] == '\n') ? 2 : 1;
    }
    return lines;
}

void ParseAddress(std::string_view text, TmsMailAddress &address) {
    const std::size_t left = text.find('<');
    if (left != std::string_view::npos) {
        const std::size_t right = text.find('>');
        if (right == std::string_view::npos || right < left) {
            address.SetAddress({});
            address.SetName(TrimQuotes(text));
            return;
        }
        address.SetAddress(TrimQuotes(text.substr(left + 1, right - left - 1)));
        std::string rest(text.substr(0, left));
        rest += text.substr(right + 1);
        address.SetName(TrimQuotes(rest));
        return;
    }
    const std::size_t paren = text.find('(');
    if (paren != std::string_view::npos) {
        address.SetAddress(TrimQuotes(text.substr(0, paren)));
        const std::size_t nameEnd = std::max(paren + 1, text.size() - 1);
        address.SetName(TrimQuotes(text.substr(paren + 1, nameEnd - paren - 1)));
        return;
    }
    address.SetAddress(std::string(text));
    address.SetName({});
}

} // namespace vexil
