#include "platform/UserFolders.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace vexil {
namespace {

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char *name, const char *value) : name_(name) {
        if (const char *old = std::getenv(name))
            old_ = old;
        if (value != nullptr)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv() {
        if (old_)
            setenv(name_, old_->c_str(), 1);
        else
            unsetenv(name_);
    }

private:
    const char *name_;
    std::optional<std::string> old_;
};

TEST(UserStateFolder, XdgStateHomeOrTheDefaultUnderHome) {
    const ScopedEnv home("HOME", "/home/reader");
    {
        const ScopedEnv state("XDG_STATE_HOME", "/var/state/reader");
        EXPECT_EQ(UserStateFolder(), "/var/state/reader/");
    }
    {
        // A relative value would depend on the current folder: it is ignored.
        const ScopedEnv state("XDG_STATE_HOME", "state");
        EXPECT_EQ(UserStateFolder(), "/home/reader/.local/state/");
    }
    const ScopedEnv state("XDG_STATE_HOME", nullptr);
    EXPECT_EQ(UserStateFolder(), "/home/reader/.local/state/");
    const ScopedEnv slash("HOME", "/home/reader/");
    EXPECT_EQ(UserStateFolder(), "/home/reader/.local/state/");
}

} // namespace
} // namespace vexil
