// vexil-gif2bmp GIF BMP: writes the GIF decoder's 8-bit bitmap of GIF's first image to BMP,
// or prints why the file cannot be decoded and exits non-zero.
#include "picture/TGif.h"
#include "platform/PrintableText.h"
#include "tools/ToolArguments.h"

#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr const char *kTool = "vexil-gif2bmp";

constexpr const char *kUsage =
    "usage: vexil-gif2bmp GIF BMP\n"
    "Decodes the first image of GIF with Vexil's GIF decoder and writes it to BMP\n"
    "as an uncompressed 8-bit Windows bitmap. A GIF that cannot be decoded ends with\n"
    "its reason and the exit status 1, and BMP is not written.\n";

// Prefixes a failure with the file it concerns.
template <typename Step> void OnFile(const std::string &file, Step &&step) {
    try {
        step();
    } catch (const std::exception &error) {
        throw vexil::Exception(file + ": " + vexil::PrintableMessage(error));
    }
}

int Convert(vexil::TToolArguments &arguments) {
    std::vector<std::string> files;
    while (!arguments.AtEnd()) {
        const bool option = arguments.NextIsOption();
        const std::string arg = arguments.Next();
        if (option)
            vexil::TToolArguments::UnknownOption(arg);
        files.push_back(arg);
    }
    if (files.size() != 2)
        throw vexil::EUsageError("expected two files, GIF and BMP, not " +
                                 std::to_string(files.size()));
    vexil::TGif gif;
    OnFile(files[0], [&] {
        std::error_code error;
        if (std::filesystem::is_directory(files[0], error))
            throw vexil::Exception("is a folder, not a GIF file");
        gif.DecodeFile(files[0]);
    });
    OnFile(files[1], [&] { gif.BitmapStream().SaveToFile(files[1]); });
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    return vexil::RunTool(kTool, kUsage, argc, argv, Convert);
}
