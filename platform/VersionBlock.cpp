#include "platform/VersionBlock.h"

#include <elf.h>

#include <algorithm>
#include <bit>
#include <cctype>
#include <cstring>
#include <fstream>

namespace vexil {

namespace {

constexpr std::string_view kMagic = "VEXIL-VERSION 1";
// A version block is a few hundred bytes; anything far larger is not one.
constexpr std::uint64_t kMaxSection = 1 << 20;

std::string upper(std::string_view text) {
    std::string out(text);
    for (char &c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

bool parseHex(std::string_view text, std::uint32_t &value) {
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text.remove_prefix(2);
    if (text.empty() || text.size() > 8)
        return false;
    value = 0;
    for (const char c : text) {
        const int digit = std::isdigit(static_cast<unsigned char>(c))
                              ? c - '0'
                              : (std::isxdigit(static_cast<unsigned char>(c))
                                     ? std::toupper(static_cast<unsigned char>(c)) - 'A' + 10
                                     : -1);
        if (digit < 0)
            return false;
        value = value * 16 + static_cast<std::uint32_t>(digit);
    }
    return true;
}

bool parseTranslations(std::string_view text, std::vector<TVersionBlock::Translation> &out) {
    // Pairs of four hexadecimal digits: "0409 04E4", more pairs after a comma.
    while (!text.empty()) {
        while (!text.empty() && (text.front() == ' ' || text.front() == ','))
            text.remove_prefix(1);
        if (text.empty())
            break;
        if (text.size() < 9 || text[4] != ' ')
            return false;
        std::uint32_t language = 0, codePage = 0;
        if (!parseHex(text.substr(0, 4), language) || !parseHex(text.substr(5, 4), codePage))
            return false;
        out.push_back({static_cast<std::uint16_t>(language), static_cast<std::uint16_t>(codePage)});
        text.remove_prefix(9);
    }
    return true;
}

template <typename Ehdr, typename Shdr>
std::optional<std::string> readSection(const TByteReader &read, std::uint64_t fileSize,
                                       std::string_view name, bool swap) {
    auto fix = [swap](auto value) {
        if (!swap)
            return value;
        auto out = value;
        auto *bytes = reinterpret_cast<unsigned char *>(&out);
        std::reverse(bytes, bytes + sizeof out);
        return out;
    };
    Ehdr header{};
    if (!read(0, sizeof header, &header))
        return std::nullopt;
    const std::uint64_t shoff = fix(header.e_shoff);
    const std::uint64_t shentsize = fix(header.e_shentsize);
    const std::uint64_t shnum = fix(header.e_shnum);
    const std::uint64_t shstrndx = fix(header.e_shstrndx);
    if (shentsize < sizeof(Shdr) || shnum == 0 || shstrndx >= shnum || shoff > fileSize ||
        shnum > (fileSize - shoff) / shentsize)
        return std::nullopt;

    auto sectionHeader = [&](std::uint64_t index, Shdr &out) {
        return read(shoff + index * shentsize, sizeof out, &out);
    };
    auto contents = [&](const Shdr &section) -> std::optional<std::string> {
        const std::uint64_t offset = fix(section.sh_offset);
        const std::uint64_t size = fix(section.sh_size);
        if (fix(section.sh_type) == SHT_NOBITS || size > kMaxSection || offset > fileSize ||
            size > fileSize - offset)
            return std::nullopt;
        std::string bytes(static_cast<std::size_t>(size), '\0');
        if (!read(offset, bytes.size(), bytes.data()))
            return std::nullopt;
        return bytes;
    };

    Shdr strings{};
    if (!sectionHeader(shstrndx, strings))
        return std::nullopt;
    const std::optional<std::string> names = contents(strings);
    if (!names)
        return std::nullopt;
    for (std::uint64_t i = 0; i < shnum; ++i) {
        Shdr section{};
        if (!sectionHeader(i, section))
            return std::nullopt;
        const std::uint64_t at = fix(section.sh_name);
        if (at >= names->size())
            continue;
        const std::size_t end = names->find('\0', static_cast<std::size_t>(at));
        if (end == std::string::npos)
            continue;
        if (std::string_view(*names).substr(at, end - at) == name)
            return contents(section);
    }
    return std::nullopt;
}

} // namespace

std::optional<TVersionBlock> TVersionBlock::Parse(std::string_view text) {
    // The section is padded by the linker; the block ends at its first zero byte.
    if (const auto nul = text.find('\0'); nul != std::string_view::npos)
        text = text.substr(0, nul);
    TVersionBlock block;
    bool first = true;
    while (!text.empty()) {
        const std::size_t eol = text.find('\n');
        std::string_view line = text.substr(0, eol);
        text = eol == std::string_view::npos ? std::string_view() : text.substr(eol + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (first) {
            if (line != kMagic)
                return std::nullopt;
            first = false;
            continue;
        }
        if (line.empty())
            continue;
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos)
            return std::nullopt;
        const std::string name = upper(line.substr(0, eq));
        const std::string_view value = line.substr(eq + 1);
        if (name == "FILEFLAGS") {
            std::uint32_t flags = 0;
            if (!parseHex(value, flags))
                return std::nullopt;
            block.fileFlags_ = flags;
        } else if (name == "TRANSLATION") {
            if (!parseTranslations(value, block.translations_))
                return std::nullopt;
        } else if (name.rfind("STRINGFILEINFO\\", 0) == 0) {
            block.strings_[name.substr(15)] = std::string(value);
        } else {
            return std::nullopt;
        }
    }
    if (first)
        return std::nullopt;
    return block;
}

std::optional<std::string> TVersionBlock::StringValue(std::string_view langCharset,
                                                      std::string_view key) const {
    const auto found = strings_.find(upper(langCharset) + "\\" + upper(key));
    if (found == strings_.end())
        return std::nullopt;
    return found->second;
}

std::optional<std::string> ReadElfSection(const TByteReader &read, std::uint64_t fileSize,
                                          std::string_view name) {
    unsigned char ident[EI_NIDENT] = {};
    if (!read(0, sizeof ident, ident) || std::memcmp(ident, ELFMAG, SELFMAG) != 0)
        return std::nullopt;
    const bool little = ident[EI_DATA] == ELFDATA2LSB;
    if (!little && ident[EI_DATA] != ELFDATA2MSB)
        return std::nullopt;
    const bool hostLittle = std::endian::native == std::endian::little;
    const bool swap = little != hostLittle;
    if (ident[EI_CLASS] == ELFCLASS64)
        return readSection<Elf64_Ehdr, Elf64_Shdr>(read, fileSize, name, swap);
    if (ident[EI_CLASS] == ELFCLASS32)
        return readSection<Elf32_Ehdr, Elf32_Shdr>(read, fileSize, name, swap);
    return std::nullopt;
}

std::optional<std::string> ReadVersionSection(const std::string &path) {
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file)
        return std::nullopt;
    const auto end = file.tellg();
    if (end < 0)
        return std::nullopt;
    const auto size = static_cast<std::uint64_t>(end);
    const TByteReader read = [&file, size](std::uint64_t offset, std::size_t count, void *out) {
        if (offset > size || count > size - offset)
            return false;
        file.clear();
        file.seekg(static_cast<std::streamoff>(offset));
        return static_cast<bool>(
            file.read(static_cast<char *>(out), static_cast<std::streamsize>(count)));
    };
    return ReadElfSection(read, size, kVersionSectionName);
}

} // namespace vexil
