#pragma once
// Sets or clears one environment variable for the length of a scope and puts back what was
// there before, set or not.

#include <optional>
#include <string>

namespace vexil::test {

class ScopedEnv {
public:
    // A null value clears the variable.
    ScopedEnv(const char *name, const char *value);
    ScopedEnv(const ScopedEnv &) = delete;
    ScopedEnv &operator=(const ScopedEnv &) = delete;
    ~ScopedEnv();

private:
    std::string name_;
    std::optional<std::string> old_;
};

} // namespace vexil::test
