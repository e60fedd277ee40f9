// The temporary records of the registry location: the product-code index,
// name matching, update-key matching and the merge of programs into updates.
#include "locations/ProductList.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

std::unique_ptr<TTemporaryInfo> Record(std::wstring name, std::wstring guid,
                                       std::vector<std::wstring> keys = {}, std::wstring internalName = {}) {
    auto info = std::make_unique<TTemporaryInfo>();
    info->FDisplayName = std::move(name);
    info->FGUID = std::move(guid);
    info->FRegistryKeys = std::move(keys);
    info->FInternalName = std::move(internalName);
    return info;
}

TTemporaryInfo* AddMapped(TProductList& list, std::unique_ptr<TTemporaryInfo> info) {
    TTemporaryInfo* added = list.Add(std::move(info));
    list.Map(added->FGUID, added);
    return added;
}

const std::wstring CodeA = L"{11111111-2222-3333-4444-555555555555}";
const std::wstring CodeB = L"{AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}";

TEST(ProductList, CodeIndexKeepsTheFirstRecordAndIgnoresCase) {
    TProductList list;
    TTemporaryInfo* first = AddMapped(list, Record(L"First", CodeA));
    TTemporaryInfo* second = AddMapped(list, Record(L"Second", L"{11111111-2222-3333-4444-555555555555}"));
    list.Map(L"", second); // an empty code is never indexed
    EXPECT_EQ(list.GetInfoByGUID(L"{11111111-2222-3333-4444-555555555555}"), first);
    EXPECT_EQ(list.GetInfoByGUID(L""), nullptr);

    // Several codes may lead to one record ("ProductCodes").
    list.Map(CodeB, second);
    EXPECT_EQ(list.GetInfoByGUID(L"{aaaaaaaa-bbbb-cccc-dddd-eeeeeeeeeeee}"), second);
}

TEST(ProductList, FindTriesTheCodeThenDisplayAndInternalNames) {
    TProductList list;
    TTemporaryInfo* coded = AddMapped(list, Record(L"Coded", CodeA));
    TTemporaryInfo* named = AddMapped(list, Record(L"Tool Box", L"", {}, L"ToolBoxKey"));
    EXPECT_EQ(list.Find(CodeA, L"Tool Box"), coded);
    EXPECT_EQ(list.Find(CodeB, L"tool box"), named);
    EXPECT_EQ(list.Find(L"", L"TOOLBOXKEY"), named);
    EXPECT_EQ(list.Find(CodeB, L"Other"), nullptr);
    // An empty name never matches a record without a display name.
    EXPECT_EQ(list.Find(CodeB, L""), nullptr);
}

TEST(ProductList, RemovingARecordTakesItsCodesOutOfTheIndex) {
    TProductList list;
    TTemporaryInfo* gone = AddMapped(list, Record(L"Gone", CodeA));
    list.Map(CodeB, gone);
    TTemporaryInfo* stays = AddMapped(list, Record(L"Stays", L"{99999999-2222-3333-4444-555555555555}"));
    list.Remove(gone);
    EXPECT_EQ(list.Count(), 1u);
    EXPECT_EQ(list.GetInfoByGUID(CodeA), nullptr);
    EXPECT_EQ(list.GetInfoByGUID(CodeB), nullptr);
    EXPECT_EQ(&list[0], stays);
    // A code freed this way can be taken by another record.
    list.Map(CodeA, stays);
    EXPECT_EQ(list.GetInfoByGUID(CodeA), stays);
}

TEST(TemporaryInfo, KeysAreKeptOnceWithoutRegardToCaseAndCloneCopiesThem) {
    TTemporaryInfo info;
    info.AddKey(L"HKEY_CURRENT_USER\\Software\\A");
    info.AddKey(L"hkey_current_user\\software\\a");
    info.AddKey(L"HKEY_CURRENT_USER\\Software\\B");
    EXPECT_EQ(info.FRegistryKeys.size(), 2u);
    info.FReleaseType = TReleaseType::rtHotfix;
    info.FParentKeyName = L"Parent";
    auto copy = info.Clone();
    copy->AddKey(L"HKEY_CURRENT_USER\\Software\\C");
    EXPECT_EQ(copy->FReleaseType, TReleaseType::rtHotfix);
    EXPECT_EQ(copy->FParentKeyName, L"Parent");
    EXPECT_EQ(copy->FRegistryKeys.size(), 3u);
    EXPECT_EQ(info.FRegistryKeys.size(), 2u);
}

TEST(ExtractKBNumber, PrefixesAreDroppedAndTheNumberEndsAtTheFirstNonDigit) {
    EXPECT_EQ(ExtractKBNumber(L"Software\\Microsoft\\Updates\\Windows XP\\SP3\\KB958644"), L"958644");
    EXPECT_EQ(ExtractKBNumber(L"HotFix\\kb958644\\"), L"958644");
    EXPECT_EQ(ExtractKBNumber(L"HotFix\\Q828741"), L"828741");
    EXPECT_EQ(ExtractKBNumber(L"HotFix\\KB925398-v2"), L"925398");
    EXPECT_EQ(ExtractKBNumber(L"HotFix\\KB12KB34"), L"1234");
    EXPECT_EQ(ExtractKBNumber(L"HotFix\\KBQ5678"), L"5678");
    EXPECT_EQ(ExtractKBNumber(L"Updates\\20110518"), L"20110518");
    EXPECT_EQ(ExtractKBNumber(L"Software\\Microsoft\\Windows NT\\CurrentVersion\\HotFix"), L"");
    EXPECT_EQ(ExtractKBNumber(L"Updates\\Windows XP"), L"");
    EXPECT_EQ(ExtractKBNumber(L"Updates\\SP3-KB1234"), L"");
}

TEST(UpdateKeyMatching, ARPLinkMatchesByKeySuffixUpdatesFirst) {
    TProductList programs, updates;
    AddMapped(programs, Record(L"Program", CodeA, {L"(x64)HKEY_LOCAL_MACHINE\\Software\\Uninstall\\KB2000"}));
    TTemporaryInfo* update =
        AddMapped(updates, Record(L"Patch", CodeB, {L"(x64)HKEY_LOCAL_MACHINE\\P\\Patches\\X\\"}));

    // The link gains a trailing "\": it matches a key text with or without one.
    EXPECT_EQ(FindByARPLink(programs, updates, L"patches\\x"), update);
    EXPECT_EQ(programs.Count(), 1u);
    // A suffix that is not the end of any key matches nothing.
    EXPECT_EQ(FindByARPLink(programs, updates, L"Uninstall\\KB200"), nullptr);
    EXPECT_EQ(FindByARPLink(programs, updates, L"Software\\Uninstall"), nullptr);

    // A program found by its link becomes an update record (a copy, at the end).
    TTemporaryInfo* moved =
        FindByARPLink(programs, updates, L"HKEY_LOCAL_MACHINE\\Software\\Uninstall\\KB2000");
    ASSERT_NE(moved, nullptr);
    EXPECT_EQ(moved->FDisplayName, L"Program");
    EXPECT_EQ(moved->FRegistryKeys.size(), 1u);
    EXPECT_EQ(programs.Count(), 0u);
    EXPECT_EQ(programs.GetInfoByGUID(CodeA), nullptr);
    ASSERT_EQ(updates.Count(), 2u);
    EXPECT_EQ(&updates[1], moved);
}

TEST(UpdateKeyMatching, KBNumbersNeedFourDigitsAndMatchNamesCaseSensitively) {
    TProductList programs, updates;
    AddMapped(programs, Record(L"Hotfix for Windows (KB123)", L""));
    AddMapped(programs, Record(L"Security Update (kb9876543)", L""));
    AddMapped(programs, Record(L"Other", L"", {}, L"KB9876543"));

    EXPECT_EQ(FindByKBNumber(programs, updates, L"HotFix\\KB123"), nullptr);
    EXPECT_EQ(FindByKBNumber(programs, updates, L"HotFix\\KB5555"), nullptr);
    EXPECT_EQ(programs.Count(), 3u);

    // "9876543" is in the first program's display name and the second's key name.
    TTemporaryInfo* moved = FindByKBNumber(programs, updates, L"HotFix\\KB9876543");
    ASSERT_NE(moved, nullptr);
    EXPECT_EQ(moved->FDisplayName, L"Security Update (kb9876543)");
    EXPECT_EQ(programs.Count(), 2u);
    // The update now holding it is found before the remaining program.
    EXPECT_EQ(FindByKBNumber(programs, updates, L"Q9876543"), moved);
    EXPECT_EQ(programs.Count(), 2u);
    EXPECT_EQ(updates.Count(), 1u);
}

TEST(MergeUpdates, AnUpdateAbsorbsTheProgramWithItsNameAndCode) {
    TProductList programs, updates;
    AddMapped(programs, Record(L"Service Pack 1", CodeA, {L"K1", L"K2"}));
    AddMapped(programs, Record(L"Service Pack 1", CodeB, {L"K3"}));
    AddMapped(programs, Record(L"Unrelated", L"", {L"K4"}));
    TTemporaryInfo* update =
        AddMapped(updates, Record(L"service pack 1", L"{11111111-2222-3333-4444-555555555555}", {L"k2"}));
    TTemporaryInfo* noCode = AddMapped(updates, Record(L"unrelated", L"", {L"K5"}));

    MergeUpdates(programs, updates);
    EXPECT_EQ(update->FRegistryKeys, (std::vector<std::wstring>{L"k2", L"K1"}));
    EXPECT_EQ(noCode->FRegistryKeys, (std::vector<std::wstring>{L"K5", L"K4"}));
    ASSERT_EQ(programs.Count(), 1u);
    EXPECT_EQ(programs[0].FGUID, CodeB);
    EXPECT_EQ(programs.GetInfoByGUID(CodeA), nullptr);
}

} // namespace
} // namespace velmora
