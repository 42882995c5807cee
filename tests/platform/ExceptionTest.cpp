#include "platform/Exception.h"

#include <gtest/gtest.h>

using namespace vexil;

TEST(FormatText, FillsMarkersInOrderAndKeepsTheRest) {
    EXPECT_EQ(FormatText("Function %s not found", {"send"}), "Function send not found");
    EXPECT_EQ(FormatText("JPEG error #%d", {"42"}), "JPEG error #42");
    EXPECT_EQ(FormatText("%s and %s", {"a"}), "a and %s");
    EXPECT_EQ(FormatText("100%% of %s", {"it"}), "100% of it");
    EXPECT_EQ(FormatText("ends with %", {}), "ends with %");
}

TEST(Exceptions, CarryTheirPlatformTexts) {
    EXPECT_STREQ(EFCreateError("/tmp/x/").what(), "Cannot create file /tmp/x/");
    EXPECT_STREQ(EFOpenError("a.txt").what(), "Cannot open file a.txt");
    EXPECT_STREQ(EListError(-1).what(), "List index out of bounds (-1)");
    Exception e("first");
    e.SetMessage("second");
    EXPECT_EQ(e.Message(), "second");
}
