#include "browse/FolderPictures.h"

#include "base/AsciiCase.h"
#include "message/HeaderText.h"
#include "platform/Exception.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace vexil {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

// The run of digits starting at pos, without its leading zeros (at least one digit kept).
std::string_view DigitRun(std::string_view text, std::size_t &pos) {
    const std::size_t start = pos;
    while (pos < text.size() && IsDigit(text[pos]))
        ++pos;
    std::string_view run = text.substr(start, pos - start);
    while (run.size() > 1 && run.front() == '0')
        run.remove_prefix(1);
    return run;
}

int CompareNatural(std::string_view a, std::string_view b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            const std::string_view x = DigitRun(a, i);
            const std::string_view y = DigitRun(b, j);
            if (x.size() != y.size())
                return x.size() < y.size() ? -1 : 1;
            if (const int c = x.compare(y); c != 0)
                return c;
            continue;
        }
        const auto x = static_cast<unsigned char>(LowerAscii(a[i++]));
        const auto y = static_cast<unsigned char>(LowerAscii(b[j++]));
        if (x != y)
            return x < y ? -1 : 1;
    }
    if (i < a.size())
        return 1;
    return j < b.size() ? -1 : 0;
}

} // namespace

bool IsPictureFile(std::string_view path) {
    if (path.size() < 3)
        return false;
    const std::string tail = UpperAscii(path.substr(path.size() - 3));
    for (const char *ext : {"JPG", "PEG", "JPE", "GIF", "BMP", "DIB", "RLE", "PCX", "TGA"})
        if (tail == ext)
            return true;
    return false;
}

bool NaturalLess(std::string_view a, std::string_view b) {
    const int c = CompareNatural(a, b);
    return c != 0 ? c < 0 : a < b;
}

std::vector<std::string> FolderPictures(const std::string &folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (std::filesystem::directory_iterator entry(folder, ec), end; !ec && entry != end;
         entry.increment(ec)) {
        // Byte names straight from the directory: a name that is no valid text in the
        // locale still names its file exactly.
        std::string name = entry->path().filename().native();
        std::error_code kind;
        if (IsPictureFile(name) && entry->is_regular_file(kind))
            names.push_back(std::move(name));
    }
    if (ec)
        throw EFOpenError(folder);
    std::sort(names.begin(), names.end(),
              [](const std::string &a, const std::string &b) { return NaturalLess(a, b); });
    return names;
}

} // namespace vexil
