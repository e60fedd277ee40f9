#include "usage/UsageItems.h"

#include "usage/UserAssistRules.h"
#include "tests/TestBase.h"

#include <gmock/gmock.h>

#include <cstring>

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

// The sums themselves: CountSumsSaturateAndIgnoreNegativeCounts.
TEST(UsageItemsTest, MergeKeepsTheLaterDateAndAppendsCopiesWithoutTheLoadedFiles) {
    TUsageItems items, other, older;
    TUsageItem& own = AddRecord(items, L"C:\\Tools\\Edit.exe", 3, 45000.5);
    AddRecord(other, L"c:\\tools\\EDIT.EXE", 4, 45001.25).FFiles = {L"C:\\Tools\\Edit.dll"};
    AddRecord(other, L"C:\\Tools\\View.exe", 1, 44000).FFiles = {L"C:\\Tools\\View.dll"};
    AddRecord(older, L"C:\\TOOLS\\EDIT.EXE", 1, 100);
    items.Merge(other);
    items.Merge(older);
    EXPECT_EQ(own.FLastUsed, 45001.25) << "an older record does not move the date back";
    EXPECT_EQ(own.FCounter, 8);
    EXPECT_THAT(Names(items), ::testing::ElementsAre(L"C:\\Tools\\Edit.exe", L"C:\\Tools\\View.exe"));
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

    EXPECT_THAT(Names(items), ::testing::ElementsAre(L"C:\\Apps\\Edit.exe", L"C:\\Apps\\View.exe",
                                                     L"C:\\Users\\Desk\\Broken.lnk"));
    EXPECT_EQ(items.GetItem(0).FCounter, 7);
    EXPECT_EQ(items.GetItem(0).FLastUsed, 20);
}

TEST(UsageItemsTest, FolderUsageSumsTheRecordsBelowTheFolderAndIsMinusOneWithoutAny) {
    TUsageItems items;
    AddRecord(items, L"C:\\Program Files\\Edit\\Edit.exe", 4, 45000);
    AddRecord(items, L"C:\\Program Files\\Edit\\Tools\\Conv.exe", 3, 45010);
    AddRecord(items, L"C:\\Program Files\\Editor\\Editor.exe", 9, 45020);
    AddRecord(items, L"C:\\Program Files\\Idle\\Idle.exe", 0, 0);
    AddRecord(items, L"C:\\Windows\\notepad.exe", 1, 44000);
    items.Sort(CompareTextLocale);
    // Without its delimiter the folder text also takes in a sibling folder.
    for (auto [folder, counter, lastUsed] : {std::tuple{L"c:\\program files\\edit\\", 7, 45010.0},
                                             {L"C:\\Program Files\\Edit", 16, 45020.0},
                                             {L"C:\\Program Files\\Idle\\", 0, 0.0},
                                             {L"C:\\Program Files\\None\\", -1, 0.0},
                                             {L"D:\\", -1, 0.0}}) {
        const TUsageData data = items.CollectByFolder(folder);
        EXPECT_EQ(data.Counter, counter) << folder;
        EXPECT_EQ(data.LastUsed, lastUsed) << folder;
    }
    EXPECT_EQ(TUsageItems().CollectByFolder(L"C:\\").Counter, -1);
}

// Counts come from the user's own registry, which any of the user's processes
// can write: a sum saturates, and a negative count adds nothing, so a used
// program never looks unused.
TEST(UsageItemsTest, CountSumsSaturateAndIgnoreNegativeCounts) {
    constexpr int32_t Max = INT32_MAX, Min = INT32_MIN;
    const struct {
        std::vector<int32_t> Counts;
        int32_t Sum;
    } rows[] = {
        {{7, 8}, 15}, {{Max, 1}, Max},        {{2000000000, 2000000000, 5}, Max}, {{-5, 3}, 3}, {{3, -5}, 3},
        {{Min}, 0},   {{Min, Min, Max}, Max},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.Counts));
        TUsageItems folder, merged;
        TUsageItem& own = AddRecord(merged, L"C:\\Apps\\Edit.exe", 0, 0);
        own.FCounter = own.FFocusCounter = own.FFocusTime = row.Counts.front();
        for (size_t i = 0; i < row.Counts.size(); ++i) {
            AddRecord(folder, L"C:\\Apps\\Tool" + std::to_wstring(i) + L".exe", row.Counts[i], 0);
            if (i == 0)
                continue;
            TUsageItems other;
            TUsageItem& theirs = AddRecord(other, L"c:\\apps\\edit.exe", row.Counts[i], 0);
            theirs.FFocusCounter = theirs.FFocusTime = row.Counts[i];
            merged.Merge(other);
        }
        folder.Sort(CompareTextLocale);
        EXPECT_EQ(folder.CollectByFolder(L"C:\\Apps\\").Counter, row.Sum);
        if (row.Counts.size() > 1) {
            EXPECT_EQ(own.FCounter, row.Sum);
            EXPECT_EQ(own.FFocusCounter, row.Sum);
            EXPECT_EQ(own.FFocusTime, row.Sum);
        }
    }
}

// The launch counters' value layouts and names: "counter focus-counter
// focus-time last-run" of a value, "none" for data of another size.
template <class T> void Put(std::vector<uint8_t>& data, size_t offset, T value) {
    std::memcpy(data.data() + offset, &value, sizeof value);
}
std::string Decoded(const std::optional<TUserAssistData>& value) {
    return value ? ::testing::PrintToString(
                       std::tuple(value->Counter, value->FocusCounter, value->FocusTime, value->LastRun))
                 : "none";
}

TEST(UserAssistRulesTest, ValueDataIsReadOnlyAtTheSizeOfItsLayout) {
    std::vector<uint8_t> xp(UserAssistSizeXP, 0xEE), win7(UserAssistSizeWin7, 0xEE);
    Put<int32_t>(xp, 4, 12);
    Put<uint64_t>(xp, 8, 0x01D9000011112222ULL);
    Put<int32_t>(win7, 4, 7);
    Put<int32_t>(win7, 8, 3);
    Put<int32_t>(win7, 12, 65000);
    Put<uint64_t>(win7, 60, 0x01DA123456789ABCULL);
    EXPECT_EQ(Decoded(DecodeUserAssistXP(xp.data(), xp.size())), "(12, 0, 0, 133137664270475810)");
    EXPECT_EQ(Decoded(DecodeUserAssistWin7(win7.data(), win7.size())), "(7, 3, 65000, 133439154959194812)");
    EXPECT_EQ(Decoded(DecodeUserAssistXP(win7.data(), win7.size())), "none");
    EXPECT_EQ(Decoded(DecodeUserAssistWin7(xp.data(), xp.size())), "none");
    EXPECT_EQ(Decoded(DecodeUserAssistWin7(win7.data(), win7.size() - 1)), "none");
}

using TPaths = std::initializer_list<std::pair<std::wstring, std::wstring>>;

TEST(UserAssistRulesTest, NamesOfBothLayoutsGivePaths) {
    // Older names: run records and the common programs folder, the prefix in
    // capitals, ROT13 encoded as the shell stores it.
    const std::wstring desktop = L"C:\\Users\\Ann\\Desktop", programs = L"C:\\ProgramData\\Programs";
    for (const auto& [name, path] :
         TPaths{{Rot13(L"HRZR_EHACNGU:P:\\Nccf\\Rqvg.rkr"), L"C:\\Apps\\Edit.exe"},
                {L"ueme_runpath:Edit.LNK", desktop + L"\\Edit.LNK"},
                {L"UEME_RUNPATH:Tools\\Edit.lnk", L"Tools\\Edit.lnk"},
                {L"UEME_RUNPIDL:%csidl23%\\Edit\\Edit.lnk", programs + L"\\Edit\\Edit.lnk"},
                {L"UEME_RUNPIDL:%csidl2%\\Edit.lnk", L""},
                {L"UEME_CTLSESSION", L""}})
        EXPECT_EQ(UserAssistPathXP(name, desktop, programs), path) << name;

    // Newer names: known-folder identifiers replaced by their paths; braces
    // that hold no identifier end the replacement.
    const TKnownFolder folders = [](std::wstring_view id) -> std::wstring {
        if (SameText(id, L"{1AC14E77-02E7-4E5D-B744-2EB1AE5198B7}"))
            return L"C:\\Windows\\system32";
        return SameText(id, L"{6D809377-6AF0-444B-8957-A3773F02200E}") ? L"C:\\Program Files" : L"";
    };
    const std::wstring system = L"{1AC14E77-02E7-4E5D-B744-2EB1AE5198B7}";
    for (const auto& [name, path] :
         TPaths{{system + L"\\notepad.exe", L"C:\\Windows\\system32\\notepad.exe"},
                {L"{6D809377-6AF0-444B-8957-A3773F02200E}\\Edit\\" + system + L".exe",
                 L"C:\\Program Files\\Edit\\C:\\Windows\\system32.exe"},
                {L"{00000000-0000-0000-0000-000000000000}\\Edit.exe", L"\\Edit.exe"},
                {L"C:\\Tools\\{short}\\" + system, L"C:\\Tools\\{short}\\" + system},
                {L"Microsoft.Windows.Explorer", L"Microsoft.Windows.Explorer"}})
        EXPECT_EQ(UserAssistPathWin7(name, folders), path) << name;
}

TEST(UserAssistRulesTest, FileTimesBecomeDatesByTheBaseBias) {
    // 2024-01-02 03:00 UTC.
    const uint64_t time = 133486380000000000ULL;
    EXPECT_NEAR(UsageDate(time, 0), 45293.125, 1e-9);
    // Central Europe: UTC-(-60) minutes.
    EXPECT_NEAR(UsageDate(time, -60), 45293.125 + 1.0 / 24, 1e-9);
    EXPECT_EQ(UsageDate(0, -60), 0);
}

} // namespace
} // namespace velmora
