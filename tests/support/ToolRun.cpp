#include "tests/support/ToolRun.h"

#include "tests/support/TestFiles.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <stdexcept>

#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace vexil::test {

namespace {

fs::path ToolPath(const std::string &Tool) {
    const char *binary = std::getenv("VEXIL_BINARY_DIR");
    if (!binary)
        throw std::runtime_error("VEXIL_BINARY_DIR is not set");
    return fs::path(binary) / "tools" / Tool;
}

} // namespace

ToolRun::ToolRun(const std::string &Tool) : ToolRun(Tool, ToolPath(Tool)) {}

ToolRun::ToolRun(const std::string &Name, fs::path Program) : tool_(std::move(Program)) {
    dir_ = fs::temp_directory_path() / (Name + "-test-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
}

ToolRun::~ToolRun() {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
}

ToolResult ToolRun::Run(const std::string &Arguments) const {
    const std::string command =
        "cd '" + dir_.string() + "' && '" + tool_.string() + "' " + Arguments + " 2>stderr.txt";
    ToolResult r;
    std::FILE *pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        throw std::runtime_error("cannot start " + tool_.string());
    std::array<char, 4096> buffer;
    std::size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        r.out.append(buffer.data(), n);
    const int wait = ::pclose(pipe);
    r.status = WIFEXITED(wait) ? WEXITSTATUS(wait) : -1;
    r.err = ReadFile(dir_ / "stderr.txt");
    return r;
}

std::vector<std::string> LinesOf(const std::string &Text) {
    std::vector<std::string> lines;
    std::stringstream in(Text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::string ShellQuoted(const std::filesystem::path &Path) {
    std::string out = "'";
    for (const char c : Path.string())
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

} // namespace vexil::test
