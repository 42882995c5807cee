#pragma once
// The program's version block and where it is kept. The block travels in a section of the
// executable file of its own (kVersionSectionName), as text:
//
//   VEXIL-VERSION 1
//   FileFlags=0x00000000
//   Translation=0409 04E4
//   StringFileInfo\040904E4\FileVersion=1.0.0.0
//
// The first line marks the format; every other line is "name=value". FileFlags is the fixed
// file information, Translation lists language and code-page pairs, and each
// StringFileInfo line is one string entry of one translation's table. Names are compared
// without regard to case. Both the section reader and the parser take untrusted bytes: a
// file on disk can hold anything.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vexil {

inline constexpr const char *kVersionSectionName = ".vexil_version";

class TVersionBlock {
public:
    struct Translation {
        std::uint16_t Language;
        std::uint16_t CodePage;
    };

    // nullopt when the text is not a version block.
    static std::optional<TVersionBlock> Parse(std::string_view text);

    std::optional<std::uint32_t> FileFlags() const { return fileFlags_; }
    const std::vector<Translation> &Translations() const { return translations_; }
    // The string entry key of the table langCharset (eight hexadecimal digits).
    std::optional<std::string> StringValue(std::string_view langCharset,
                                           std::string_view key) const;

private:
    std::optional<std::uint32_t> fileFlags_;
    std::vector<Translation> translations_;
    std::map<std::string, std::string> strings_; // upper-cased "LANGCHAR\KEY" -> value
};

// Reads size bytes at offset into buffer; false when the source ends before.
using TByteReader = std::function<bool(std::uint64_t offset, std::size_t size, void *buffer)>;

// The bytes of the named section of an ELF file (32 or 64 bit, either byte order), or
// nullopt when there is no such section or the file is no well-formed ELF file.
std::optional<std::string> ReadElfSection(const TByteReader &read, std::uint64_t fileSize,
                                          std::string_view name);

// The version block section of the executable at path, as it lies on disk; nullopt when
// the file cannot be read or carries no version block.
std::optional<std::string> ReadVersionSection(const std::string &path);

} // namespace vexil
