// The small rules of the browse run and the setup dialog: numbers read out of free text, the
// picture-group filter of Get Groups, the limits of the dialog, the Smart Download memory.
#include "app/PictureGroups.h"
#include "app/TSetupDlg.h"
#include "base/ExtractNumber.h"
#include "browse/SmartDownloadMemory.h"
#include "platform/TRegistry.h"

#include "tests/support/TempHome.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vexil {
namespace {

TEST(ExtractNumber, KeepsDigitsSignsAndPointsAndReadsTheRest) {
    EXPECT_EQ(ExtractNumber("1,234"), 1234);
    EXPECT_EQ(ExtractNumber(" 250 lines"), 250);
    EXPECT_EQ(ExtractNumber("2.5"), 2.5);
    EXPECT_EQ(ExtractNumber("-40"), -40);
    EXPECT_EQ(ExtractNumber(".5"), 0.5);
    // Nothing left, or what is left is no number.
    EXPECT_EQ(ExtractNumber(""), 0);
    EXPECT_EQ(ExtractNumber("many"), 0);
    EXPECT_EQ(ExtractNumber("-"), 0);
    EXPECT_EQ(ExtractNumber("1-2"), 0);
    EXPECT_EQ(ExtractNumber("1.2.3"), 0);
    EXPECT_EQ(ExtractNumber("--5"), 0);
    // Letters between digits vanish rather than end the number.
    EXPECT_EQ(ExtractNumber("1e5"), 15);
    EXPECT_TRUE(std::isinf(ExtractNumber(std::string(400, '9'))));
    EXPECT_LT(ExtractNumber("-" + std::string(400, '9')), 0);
}

TEST(LimitOfText, RoundsHalvesToEvenAndRefusesWhatDoesNotFit) {
    EXPECT_EQ(LimitOfText("2.5", "x :"), 2);
    EXPECT_EQ(LimitOfText("3.5", "x :"), 4);
    EXPECT_EQ(LimitOfText("2.6", "x :"), 3);
    EXPECT_EQ(LimitOfText("letters", "x :"), 0);
    EXPECT_EQ(LimitOfText("2147483647", "x :"), 2147483647);
    EXPECT_EQ(LimitOfText("-2147483648", "x :"), -2147483647 - 1);
    EXPECT_EQ(LimitOfText("2147483647.4", "x :"), 2147483647);
    for (const char *text : {"2147483648", "-2147483649", "2147483647.5"}) {
        try {
            LimitOfText(text, "Ignore messages with more than :");
            ADD_FAILURE() << text;
        } catch (const ESetupError &e) {
            EXPECT_NE(e.Message().find("\"Ignore messages with more than\""), std::string::npos);
            EXPECT_NE(e.Message().find(text), std::string::npos) << e.Message();
        }
    }
    EXPECT_THROW(LimitOfText(std::string(400, '9'), "x :"), ESetupError);
}

TEST(FilterPictureGroups, KeepsThePictureGroupsCutToTheirNames) {
    const std::vector<std::string> lines = {
        "alt.binaries.pictures.misc 0001 0002 y",
        "alt.binaries.Pictures.Scenery 10 1 y",
        "alt.binaries.pictures.children 5 1 y",
        "alt.binaries.sounds.misc 9 1 y",
        "rec.photo.CHILDREN.pictures 1 1 m",
        "alt.binaries.pictures",
        "comp.lang.c 4 1 y An unrelated group with picture in its description",
        "",
    };
    EXPECT_EQ(
        FilterPictureGroups(lines),
        (std::vector<std::string>{"alt.binaries.pictures.misc", "alt.binaries.Pictures.Scenery",
                                  "alt.binaries.pictures", "comp.lang.c"}));
}

TEST(SmartDownloadMemory, OneIntegerPerServerAndGroupUntilReset) {
    test::TempHome home;
    TRegistry store;
    EXPECT_EQ(SmartDownloadValueName("news", "alt.binaries.pictures"), "newsalt.binaries.pictures");
    EXPECT_FALSE(ResetSmartDownload(store));
    EXPECT_FALSE(ReadSmartDownload(store, "newsalt.binaries.pictures"));
    WriteSmartDownload(store, "newsalt.binaries.pictures", 41);
    WriteSmartDownload(store, "othera.b", 7);
    EXPECT_EQ(ReadSmartDownload(store, "NEWSalt.binaries.pictures"), 41);
    // A value of another type reads as no memory.
    store.WriteString("bad", "12");
    EXPECT_FALSE(ReadSmartDownload(store, "bad"));
    // The store may have been left on another root by the start-up's fallback.
    store.SetRootKey(HKEY_CURRENT_USER);
    EXPECT_EQ(ReadSmartDownload(store, "othera.b"), 7);
    store.SetRootKey(HKEY_CURRENT_USER);
    EXPECT_TRUE(ResetSmartDownload(store));
    EXPECT_FALSE(ResetSmartDownload(store));
    EXPECT_FALSE(ReadSmartDownload(store, "othera.b"));
}

} // namespace
} // namespace vexil
