#include "platform/MemoryStatus.h"
#include "platform/DisplayDepth.h"

#include <gtest/gtest.h>

using namespace vexil;

TEST(MemoryStatus, ReadsTotalAndLoadFromMeminfo) {
    const auto status = ParseMemInfo("MemTotal:         131072 kB\n"
                                     "MemFree:           10000 kB\n"
                                     "MemAvailable:      76021 kB\n");
    ASSERT_TRUE(status);
    EXPECT_EQ(status->TotalPhys, 131072ull * 1024);
    // 100 - 76021 * 100 / 131072, in whole numbers.
    EXPECT_EQ(status->MemoryLoad, 43u);
    EXPECT_EQ(ParseMemInfo("MemTotal: 1000 kB\nMemAvailable: 1000 kB\n")->MemoryLoad, 0u);
    EXPECT_EQ(ParseMemInfo("MemTotal: 1000 kB\nMemAvailable: 0 kB\n")->MemoryLoad, 100u);
}

TEST(MemoryStatus, RefusesIncompleteFigures) {
    EXPECT_FALSE(ParseMemInfo(""));
    EXPECT_FALSE(ParseMemInfo("MemTotal: 1000 kB\n"));
    EXPECT_FALSE(ParseMemInfo("MemTotalX: 1000 kB\nMemAvailable: 10 kB\n"));
    EXPECT_FALSE(ParseMemInfo("MemTotal: 0 kB\nMemAvailable: 0 kB\n"));
    EXPECT_FALSE(ParseMemInfo("MemTotal: 10 kB\nMemAvailable: 20 kB\n"));
    const TMemoryStatus here = GlobalMemoryStatus();
    EXPECT_GT(here.TotalPhys, 0u);
    EXPECT_LE(here.MemoryLoad, 100u);
}

TEST(DisplayDepth, OnlyPalettedDisplaysHaveAColourCount) {
    EXPECT_EQ(ColorCountOfDepth(1), 2);
    EXPECT_EQ(ColorCountOfDepth(4), 16);
    EXPECT_EQ(ColorCountOfDepth(8), 256);
    EXPECT_EQ(ColorCountOfDepth(16), -1);
    EXPECT_EQ(ColorCountOfDepth(32), -1);
}
