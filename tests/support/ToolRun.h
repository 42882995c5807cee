#pragma once
// Runs one of the project's command-line tools the way a user does, in a scratch folder of
// its own, and collects what it printed.

#include <filesystem>
#include <string>
#include <vector>

namespace vexil::test {

struct ToolResult {
    int status = -1;
    std::string out;
    std::string err;
};

// What a tool printed, a line at a time, without the line ends.
std::vector<std::string> LinesOf(const std::string &Text);
// Path in single quotes for a shell command line, whatever characters it holds.
std::string ShellQuoted(const std::filesystem::path &Path);

class ToolRun {
public:
    // Tool is a program under tools/ of the build tree (VEXIL_BINARY_DIR).
    explicit ToolRun(const std::string &Tool);
    // Any other program (a script's interpreter), with a scratch folder named after Name.
    ToolRun(const std::string &Name, std::filesystem::path Program);
    ToolRun(const ToolRun &) = delete;
    ToolRun &operator=(const ToolRun &) = delete;
    ~ToolRun();

    // Runs the tool in Dir() with Arguments as a shell would split them.
    ToolResult Run(const std::string &Arguments) const;
    const std::filesystem::path &Dir() const { return dir_; }

private:
    std::filesystem::path dir_;
    std::filesystem::path tool_;
};

} // namespace vexil::test
