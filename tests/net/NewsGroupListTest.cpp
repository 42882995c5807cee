#include "net/TmsNewsGroupList.h"
#include "net/TmsNgInfoList.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

namespace vexil {
namespace {

TmsNewsGroupList Loaded(const std::string &text) {
    TmsNewsGroupList list;
    TMemoryStream stream(text);
    stream.SetPosition(stream.Size()); // loading starts from the beginning anyway
    list.LoadFromStream(stream);
    return list;
}

TEST(TmsNewsGroupList, ListLineGivesLastFirstAndFlag) {
    const TmsNewsGroupList list = Loaded("alt.binaries.pictures 4233 3000 y\r\n");
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Items(0).Name, "alt.binaries.pictures");
    EXPECT_EQ(list.Items(0).Last, 4233);
    EXPECT_EQ(list.Items(0).First, 3000);
    EXPECT_EQ(list.Items(0).Posting, 'y');
    TMemoryStream out;
    list.SaveToStream(out);
    EXPECT_EQ(out.Bytes(), "alt.binaries.pictures 4233 3000 y\r\n");
}

TEST(TmsNewsGroupList, NamesOnlyLoadWithoutFigures) {
    const TmsNewsGroupList list = Loaded("alt.binaries.pictures\nalt.binaries.pictures.misc\r\n");
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Items(1).Name, "alt.binaries.pictures.misc");
    EXPECT_EQ(list.Items(1).First, -1);
    EXPECT_EQ(list.Items(1).Last, -1);
    EXPECT_EQ(list.Items(1).Posting, '\0');
}

TEST(TmsNewsGroupList, EndLineAndBlankLinesAreNoGroups) {
    const TmsNewsGroupList list = Loaded("a.b 2 1 y\r\n\r\n   \r\nc.d 5 4 n\r.\r\n");
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Items(0).Name, "a.b");
    EXPECT_EQ(list.Items(1).Name, "c.d");
}

TEST(TmsNewsGroupList, MalformedFiguresReadAsMinusOne) {
    const TmsNewsGroupList list = Loaded("g x 12 moderated extra\r\ng2 99999999999 -3\r\n");
    EXPECT_EQ(list.Items(0).Last, -1);
    EXPECT_EQ(list.Items(0).First, 12);
    EXPECT_EQ(list.Items(0).Posting, 'm');
    EXPECT_EQ(list.Items(1).Last, -1);
    EXPECT_EQ(list.Items(1).First, -3);
}

TEST(TmsNewsGroupList, SavedFileLoadsBackTheSame) {
    TmsNewsGroupList list;
    for (int i = 0; i < 3; ++i) {
        TmsNewsgroup group;
        group.Name = "alt.test." + std::to_string(i);
        group.Last = 100 + i;
        group.First = i;
        group.Posting = i == 2 ? '\0' : 'y';
        EXPECT_EQ(list.Add(group), i);
    }
    const std::string file = (std::filesystem::temp_directory_path() /
                              ("vexil-groups-" + std::to_string(::getpid()) + ".dat"))
                                 .string();
    list.SaveToFile(file);
    TmsNewsGroupList again;
    again.LoadFromFile(file);
    std::filesystem::remove(file);
    ASSERT_EQ(again.Count(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(again.Items(i).Name, list.Items(i).Name);
        EXPECT_EQ(again.Items(i).Last, list.Items(i).Last);
        EXPECT_EQ(again.Items(i).First, list.Items(i).First);
        EXPECT_EQ(again.Items(i).Posting, list.Items(i).Posting);
    }
}

TEST(TmsNewsGroupList, UnreadableFileKeepsTheEntries) {
    TmsNewsGroupList list = Loaded("kept 1 1 y\r\n");
    EXPECT_THROW(list.LoadFromFile("/nonexistent/Vexil.Dat"), EFOpenError);
    EXPECT_EQ(list.Count(), 1);
    EXPECT_THROW(list.SaveToFile("/nonexistent/Vexil.Dat"), EFCreateError);
}

TEST(OwnedLists, ClearAndIndexing) {
    TmsNgInfoList list;
    list.Clear(); // nothing to free
    EXPECT_EQ(list.Count(), 0);
    auto item = std::make_unique<TmsNgInfoItem>();
    item->Number = 42;
    item->Add("Lines: 12");
    list.Add(std::move(item));
    EXPECT_EQ(list.Items(0).Number, 42);
    EXPECT_EQ(list.Items(0).GetHeaderValue("lines"), "12");
    EXPECT_THROW(list.Items(1), EListError);
    EXPECT_THROW(list.Items(-1), EListError);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
}

} // namespace
} // namespace vexil
