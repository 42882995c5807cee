#include "platform/UserFolders.h"
#include "tests/support/ScopedEnv.h"

#include <gtest/gtest.h>

#include <string>

namespace vexil {
namespace {

using test::ScopedEnv;

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
