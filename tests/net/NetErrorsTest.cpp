#include "net/NetErrors.h"

#include <gtest/gtest.h>

namespace vexil {
namespace {

TEST(NetErrors, FixedTextsComeFromTheTable) {
    EXPECT_STREQ(ECanceledError().what(), "Operation has been canceled");
    EXPECT_STREQ(ETimedOutError().what(), "Operation timed out");
    EXPECT_EQ(EServerError("480 Authentication required").Message(), "480 Authentication required");
    const Exception &base = ESocketError("[10061] Connection refused");
    EXPECT_STREQ(base.what(), "[10061] Connection refused");
}

} // namespace
} // namespace vexil
