#include "platform/VersionBlock.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>

using namespace vexil;

namespace {

TByteReader readerOf(const std::string &bytes) {
    return [&bytes](std::uint64_t offset, std::size_t size, void *out) {
        if (offset > bytes.size() || size > bytes.size() - offset)
            return false;
        std::memcpy(out, bytes.data() + offset, size);
        return true;
    };
}

} // namespace

TEST(TVersionBlock, ParsesFlagsTranslationsAndStringsWithoutRegardToCase) {
    static const char text[] = "VEXIL-VERSION 1\r\n"
                               "FileFlags=0x0000002A\n"
                               "Translation=0409 04E4, 0407 04b0\n"
                               "\n"
                               "StringFileInfo\\040904e4\\FileVersion=1.0.0.0\n"
                               "stringfileinfo\\040904E4\\Comments=a=b\n"
                               // the linker pads a section with zero bytes
                               "\0\0padding after the block";
    const auto block = TVersionBlock::Parse(std::string_view(text, sizeof text - 1));
    ASSERT_TRUE(block);
    EXPECT_EQ(block->FileFlags(), 0x2Au);
    ASSERT_EQ(block->Translations().size(), 2u);
    EXPECT_EQ(block->Translations()[0].Language, 0x0409);
    EXPECT_EQ(block->Translations()[1].CodePage, 0x04B0);
    EXPECT_EQ(block->StringValue("040904E4", "FILEVERSION"), "1.0.0.0");
    EXPECT_EQ(block->StringValue("040904e4", "Comments"), "a=b");
    EXPECT_FALSE(block->StringValue("04070000", "FileVersion"));
}

TEST(TVersionBlock, RefusesWhatIsNoVersionBlock) {
    EXPECT_FALSE(TVersionBlock::Parse(""));
    EXPECT_FALSE(TVersionBlock::Parse("VEXIL-VERSION 2\n"));
    EXPECT_FALSE(TVersionBlock::Parse("VEXIL-VERSION 1\nno equals sign\n"));
    EXPECT_FALSE(TVersionBlock::Parse("VEXIL-VERSION 1\nFileFlags=zz\n"));
    EXPECT_FALSE(TVersionBlock::Parse("VEXIL-VERSION 1\nFileFlags=0x123456789\n"));
    EXPECT_FALSE(TVersionBlock::Parse("VEXIL-VERSION 1\nTranslation=0409\n"));
    EXPECT_FALSE(TVersionBlock::Parse("VEXIL-VERSION 1\nSomething=else\n"));
    const auto empty = TVersionBlock::Parse("VEXIL-VERSION 1\n");
    ASSERT_TRUE(empty);
    EXPECT_FALSE(empty->FileFlags());
    EXPECT_TRUE(empty->Translations().empty());
}

TEST(ReadElfSection, FindsNothingInWhatIsNoElfFileAndSurvivesTruncation) {
    std::ifstream in("/bin/true", std::ios::binary);
    const std::string elf((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(elf.size(), 1000u);
    EXPECT_TRUE(ReadElfSection(readerOf(elf), elf.size(), ".text"));
    EXPECT_FALSE(ReadElfSection(readerOf(elf), elf.size(), kVersionSectionName));
    // Cut anywhere, the file yields a section only when its bytes are all there.
    for (std::size_t size :
         {std::size_t(0), std::size_t(16), std::size_t(64), elf.size() / 2, elf.size() - 1}) {
        const std::string cut = elf.substr(0, size);
        EXPECT_FALSE(ReadElfSection(readerOf(cut), cut.size(), ".shstrtab")) << size;
    }
    const std::string text = "plain text, not an executable";
    EXPECT_FALSE(ReadElfSection(readerOf(text), text.size(), ".text"));
    EXPECT_FALSE(ReadVersionSection("/nonexistent/program"));
}
