#include "tests/support/TestFiles.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace vexil::test {

std::string ReadFile(const std::filesystem::path &Path) {
    std::ifstream in(Path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + Path.string());
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::filesystem::path &Path, std::string_view Bytes) {
    std::ofstream out(Path, std::ios::binary);
    out.write(Bytes.data(), static_cast<std::streamsize>(Bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + Path.string());
}

} // namespace vexil::test
