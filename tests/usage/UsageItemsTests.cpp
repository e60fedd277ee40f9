#include "usage/UsageItems.h"

#include "platform/Text.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>

namespace velmora {
namespace {

TUsageItem& AddRecord(TUsageItems& items, const std::wstring& name, int32_t counter, double lastUsed) {
    TUsageItem& item = items.Add();
    item.FFileName = name;
    item.FCounter = counter;
    item.FLastUsed = lastUsed;
    return item;
}

std::vector<std::wstring> Names(const TUsageItems& items) {
    std::vector<std::wstring> names;
    for (size_t i = 0; i < items.Count(); ++i)
        names.push_back(items.GetItem(i).FFileName);
    return names;
}

TEST(UsageItemsTest, MergeSumsCountsOfOneFileWhateverItsCaseAndKeepsTheLaterDate) {
    TUsageItems items, other;
    TUsageItem& own = AddRecord(items, L"C:\\Tools\\Edit.exe", 3, 45000.5);
    own.FFocusCounter = 2;
    own.FFocusTime = 100;
    TUsageItem& theirs = AddRecord(other, L"c:\\tools\\EDIT.EXE", 4, 45001.25);
    theirs.FFocusCounter = 1;
    theirs.FFocusTime = 50;
    theirs.FFiles = {L"C:\\Tools\\Edit.dll"};
    AddRecord(other, L"C:\\Tools\\View.exe", 1, 44000);

    items.Merge(other);

    ASSERT_EQ(items.Count(), 2u);
    EXPECT_EQ(own.FCounter, 7);
    EXPECT_EQ(own.FFocusCounter, 3);
    EXPECT_EQ(own.FFocusTime, 150);
    EXPECT_EQ(own.FLastUsed, 45001.25);
    // An older record does not move the date back.
    TUsageItems older;
    AddRecord(older, L"C:\\TOOLS\\EDIT.EXE", 1, 100);
    items.Merge(older);
    EXPECT_EQ(own.FLastUsed, 45001.25);
    EXPECT_EQ(own.FCounter, 8);
    // A record appended by a merge is a copy without the loaded files.
    EXPECT_EQ(items.GetItem(1).FFileName, L"C:\\Tools\\View.exe");
    EXPECT_TRUE(items.GetItem(1).FFiles.empty());
}

TEST(UsageItemsTest, ShortcutsBecomeTheirTargetsAndMergeIntoAnExistingRecord) {
    TUsageItems items;
    AddRecord(items, L"C:\\Apps\\Edit.exe", 2, 10);
    AddRecord(items, L"C:\\Users\\Desk\\Edit.LNK", 5, 20);
    AddRecord(items, L"C:\\Users\\Desk\\View.lnk", 1, 30);
    AddRecord(items, L"C:\\Users\\Desk\\Broken.lnk", 1, 30);
    std::map<std::wstring, std::wstring> targets{{L"C:\\Users\\Desk\\Edit.LNK", L"c:\\apps\\edit.exe"},
                                                 {L"C:\\Users\\Desk\\View.lnk", L"C:\\Apps\\View.exe"}};

    items.ProcessLinks([&](const std::wstring& link) {
        auto found = targets.find(link);
        return found == targets.end() ? std::wstring() : found->second;
    });

    EXPECT_THAT(Names(items), testing::ElementsAre(L"C:\\Apps\\Edit.exe", L"C:\\Apps\\View.exe",
                                                   L"C:\\Users\\Desk\\Broken.lnk"));
    EXPECT_EQ(items.GetItem(0).FCounter, 7);
    EXPECT_EQ(items.GetItem(0).FLastUsed, 20);
}

TEST(UsageItemsTest, BinarySearchFindsTheFirstRecordNotLessThanTheName) {
    TUsageItems items;
    for (const wchar_t* name : {L"d", L"B", L"a", L"c", L"C"})
        AddRecord(items, name, 0, 0);
    items.Sort(CompareText);
    EXPECT_THAT(Names(items), testing::ElementsAre(L"a", L"B", L"c", L"C", L"d"));

    size_t index = 99;
    EXPECT_TRUE(items.FindBinary(L"C", index, CompareText));
    EXPECT_EQ(index, 2u);
    EXPECT_FALSE(items.FindBinary(L"bb", index, CompareText));
    EXPECT_EQ(index, 2u);
    EXPECT_FALSE(items.FindBinary(L"e", index, CompareText));
    EXPECT_EQ(index, 5u);
    EXPECT_FALSE(TUsageItems().FindBinary(L"a", index, CompareText));
    EXPECT_EQ(index, 0u);
}

TEST(UsageItemsTest, FolderUsageSumsTheRecordsBelowTheFolderAndIsMinusOneWithoutAny) {
    TUsageItems items;
    AddRecord(items, L"C:\\Program Files\\Edit\\Edit.exe", 4, 45000);
    AddRecord(items, L"C:\\Program Files\\Edit\\Tools\\Conv.exe", 3, 45010);
    AddRecord(items, L"C:\\Program Files\\Editor\\Editor.exe", 9, 45020);
    AddRecord(items, L"C:\\Program Files\\Idle\\Idle.exe", 0, 0);
    AddRecord(items, L"C:\\Windows\\notepad.exe", 1, 44000);
    items.Sort(CompareTextLocale);

    TUsageData edit = items.CollectByFolder(L"c:\\program files\\edit\\");
    EXPECT_EQ(edit.Counter, 7);
    EXPECT_EQ(edit.LastUsed, 45010);
    // Without its delimiter the folder text also takes in a sibling folder.
    EXPECT_EQ(items.CollectByFolder(L"C:\\Program Files\\Edit").Counter, 16);
    TUsageData idle = items.CollectByFolder(L"C:\\Program Files\\Idle\\");
    EXPECT_EQ(idle.Counter, 0);
    EXPECT_EQ(idle.LastUsed, 0);
    EXPECT_EQ(items.CollectByFolder(L"C:\\Program Files\\None\\").Counter, -1);
    EXPECT_EQ(TUsageItems().CollectByFolder(L"C:\\").Counter, -1);
}

} // namespace
} // namespace velmora
