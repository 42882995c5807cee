// vexil-gif2bmp as a user runs it: the bitmap on success, the decoder's message on failure.
#include "picture/TGif.h"
#include "tests/support/TestFiles.h"
#include "tests/support/ToolRun.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

using namespace vexil::test;

TEST(VexilGif2Bmp, WritesTheDecodersBitmapOrSaysWhyNot) {
    const ToolRun tool("vexil-gif2bmp");
    const std::string gif =
        std::string(std::getenv("VEXIL_SOURCE_DIR")) + "/fuzz/corpus/gif_decode/local-table.gif";

    const ToolResult ok = tool.Run("'" + gif + "' out.bmp");
    EXPECT_EQ(ok.status, 0) << ok.err;
    vexil::TGif decoder;
    decoder.DecodeFile(gif);
    EXPECT_EQ(ReadFile(tool.Dir() / "out.bmp"), decoder.BitmapStream().Bytes());

    WriteFile(tool.Dir() / "not.gif", "PNG, really");
    const ToolResult bad = tool.Run("not.gif bad.bmp");
    EXPECT_NE(bad.status, 0);
    EXPECT_EQ(bad.err, "vexil-gif2bmp: not.gif: Not a GIF file\n");
    EXPECT_FALSE(std::filesystem::exists(tool.Dir() / "bad.bmp"));
    // Each message names the tool and the file it is about.
    std::filesystem::create_directory(tool.Dir() / "folder");
    EXPECT_EQ(tool.Run("folder bad.bmp").err,
              "vexil-gif2bmp: folder: is a folder, not a GIF file\n");
    EXPECT_EQ(tool.Run("'" + gif + "' folder").err,
              "vexil-gif2bmp: folder: Cannot create file folder\n");
    EXPECT_FALSE(std::filesystem::exists(tool.Dir() / "bad.bmp"));

    const ToolResult usage = tool.Run("only-one-argument");
    EXPECT_EQ(usage.status, 2);
    EXPECT_EQ(usage.err, "vexil-gif2bmp: expected two files, GIF and BMP, not 1\n"
                         "Try 'vexil-gif2bmp --help' for more information.\n");
}
