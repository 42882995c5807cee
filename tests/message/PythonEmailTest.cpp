// Python's own e-mail test messages (Debian's libpython3.11-testsuite), sent as a news server
// sends them: every attachment with a file name that Python's email package finds comes out
// of vexil-decode with the same bytes, under the name Vexil's decoder gives it.
#include "tests/support/TestFiles.h"
#include "tests/support/ToolRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace vexil::test;

namespace {

const fs::path kMessages = "/usr/lib/python3.11/test/test_email/data";

std::vector<fs::path> Messages() {
    std::vector<fs::path> found;
    for (const auto &entry : fs::directory_iterator(kMessages)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("msg_", 0) == 0 && entry.path().extension() == ".txt")
            found.push_back(entry.path());
    }
    std::sort(found.begin(), found.end());
    return found;
}

} // namespace

TEST(PythonEmailMessages, AttachmentsComeOutWithTheBytesPythonFinds) {
    if (!fs::is_directory(kMessages))
        GTEST_SKIP() << kMessages << " is missing (libpython3.11-testsuite)";
    ToolRun tool("vexil-decode");
    const fs::path dir = tool.Dir();
    std::string command = "/usr/bin/python3 '" + std::string(std::getenv("VEXIL_SOURCE_DIR")) +
                          "/tests/message/python_email_attachments.py' '" + dir.string() + "'";
    const std::vector<fs::path> messages = Messages();
    for (const fs::path &message : messages)
        command += " '" + message.string() + "'";
    ASSERT_EQ(std::system((command + " > '" + (dir / "expected.txt").string() + "'").c_str()), 0);

    std::map<std::string, std::vector<std::string>> expected;
    std::istringstream manifest(ReadFile(dir / "expected.txt"));
    std::size_t files = 0;
    for (std::string line; std::getline(manifest, line); ++files) {
        const std::size_t tab = line.find('\t');
        ASSERT_NE(tab, std::string::npos) << line;
        expected[line.substr(0, tab)].push_back(line.substr(tab + 1));
    }
    // The 3.11 suite holds ten such attachments, one of them a picture inside a multipart
    // inside another.
    EXPECT_GE(files, 10u);

    for (const fs::path &message : messages) {
        const std::string name = message.filename().string();
        const ToolResult r = tool.Run("-o 'out/" + name + "' '" + name + "'");
        EXPECT_EQ(r.status, 0) << name << ": " << r.err;
        for (const std::string &file : expected[name]) {
            const fs::path decoded = dir / "out" / name / file;
            ASSERT_TRUE(fs::exists(decoded)) << name << ": no " << file << " in\n" << r.out;
            EXPECT_TRUE(ReadFile(decoded) == ReadFile(dir / "expected" / name / file))
                << name << ": " << file << " differs";
        }
    }
}
