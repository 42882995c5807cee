#pragma once
// A fresh program folder and settings store for one test: VEXIL_HOME, VEXIL_REGISTRY,
// XDG_STATE_HOME and XDG_DATA_HOME point into a temporary folder that is removed afterwards.

#include <filesystem>
#include <string>

namespace vexil::test {

class TempHome {
public:
    TempHome();
    TempHome(const TempHome &) = delete;
    TempHome &operator=(const TempHome &) = delete;
    ~TempHome();

    const std::filesystem::path &Root() const { return root_; }
    // The program folder (VEXIL_HOME), with a trailing "/".
    std::string Home() const { return (root_ / "home").string() + "/"; }
    std::string Registry() const { return (root_ / "registry.sqlite3").string(); }

private:
    std::filesystem::path root_;
};

} // namespace vexil::test
