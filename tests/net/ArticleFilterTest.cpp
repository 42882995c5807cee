#include "net/ArticleFilter.h"

#include <gtest/gtest.h>

namespace vexil {
namespace {

TEST(IsLaterPart, PartsOfSeveralArePassedOver) {
    EXPECT_TRUE(IsLaterPart("sunset.jpg (1/2)"));
    EXPECT_TRUE(IsLaterPart("sunset.jpg 3/5"));
    EXPECT_TRUE(IsLaterPart("[09/99] x"));
    EXPECT_FALSE(IsLaterPart("sunset.jpg (1/1)"));
    EXPECT_FALSE(IsLaterPart("sunset.jpg (1/10)"));
    EXPECT_FALSE(IsLaterPart("no parts at all /"));
    EXPECT_FALSE(IsLaterPart(""));
}

TEST(IsLaterPart, WebAddressesAreNeverPassedOver) {
    EXPECT_FALSE(IsLaterPart("see http://example.invalid/2/pics (1/2)"));
    EXPECT_FALSE(IsLaterPart("HtTp mirror 2/3"));
}

} // namespace
} // namespace vexil
