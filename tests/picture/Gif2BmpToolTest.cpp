// vexil-gif2bmp as a user runs it: the bitmap on success, the decoder's message on failure.
#include "picture/TGif.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <unistd.h>

namespace {

struct ToolRun {
    int status;
    std::string output;
};

ToolRun RunTool(const std::string &args) {
    const std::string command =
        std::string(std::getenv("VEXIL_BINARY_DIR")) + "/tools/vexil-gif2bmp " + args + " 2>&1";
    ToolRun run{0, ""};
    FILE *pipe = popen(command.c_str(), "r");
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr)
        run.output += buffer;
    run.status = pclose(pipe);
    return run;
}

std::string ReadFile(const std::filesystem::path &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

TEST(VexilGif2Bmp, WritesTheDecodersBitmapOrSaysWhyNot) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("gif2bmp-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::string gif =
        std::string(std::getenv("VEXIL_SOURCE_DIR")) + "/fuzz/corpus/gif_decode/local-table.gif";

    const ToolRun ok = RunTool(gif + " " + (dir / "out.bmp").string());
    EXPECT_EQ(ok.status, 0) << ok.output;
    vexil::TGif decoder;
    decoder.DecodeFile(gif);
    EXPECT_EQ(ReadFile(dir / "out.bmp"), decoder.BitmapStream().Bytes());

    std::ofstream(dir / "not.gif") << "PNG, really";
    const ToolRun bad = RunTool((dir / "not.gif").string() + " " + (dir / "bad.bmp").string());
    EXPECT_NE(bad.status, 0);
    EXPECT_EQ(bad.output, "Not a GIF file\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "bad.bmp"));

    EXPECT_NE(RunTool("only-one-argument").status, 0);
    std::filesystem::remove_all(dir);
}
