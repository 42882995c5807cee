#include "tests/support/TempHome.h"

#include <cstdlib>
#include <stdexcept>

namespace vexil::test {

TempHome::TempHome() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vexil-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a temporary folder");
    root_ = pattern;
    std::filesystem::create_directories(root_ / "home");
    setenv("VEXIL_HOME", Home().c_str(), 1);
    setenv("VEXIL_REGISTRY", Registry().c_str(), 1);
    // The command log, too, stays inside the test's folder.
    setenv("XDG_STATE_HOME", (root_ / "state").c_str(), 1);
    // A deleted picture goes to the trash under here, not to the user's.
    setenv("XDG_DATA_HOME", (root_ / "data").c_str(), 1);
}

TempHome::~TempHome() {
    unsetenv("VEXIL_HOME");
    unsetenv("VEXIL_REGISTRY");
    unsetenv("XDG_STATE_HOME");
    unsetenv("XDG_DATA_HOME");
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

} // namespace vexil::test
