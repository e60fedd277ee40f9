#include "forceremove/RegList.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace velmora;

namespace {

std::vector<std::wstring> KeysOf(const TFRRegList& list) {
    std::vector<std::wstring> keys;
    for (size_t i = 0; i < list.Count(); ++i)
        keys.push_back(list.GetItem(i).Key());
    return keys;
}

} // namespace

// A protected key (matched whole; "in" one also by plain prefix) and a whole
// root never enter the list; a key below a protected one, or a program's own
// key, does.
TEST(RegList, AProtectedKeyOrAWholeRootIsRefusedButAKeyBelowItOrAProgramsOwnKeyIsNot) {
    TFRRegList list(true);
    EXPECT_FALSE(list.Add(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft", L""));
    EXPECT_FALSE(list.Add(L"HKLM\\software\\microsoft\\", L"Value"));
    EXPECT_FALSE(list.Add(TRegRoot::LocalMachine, L"SOFTWARE\\Microsoft", L""));
    for (auto path : TFRRegList::SystemPaths())
        EXPECT_FALSE(list.Add(TRegRoot::CurrentUser, std::wstring(path), L"")) << std::wstring(path);
    EXPECT_FALSE(list.Add(L"HKEY_CURRENT_USER", L""));
    EXPECT_FALSE(list.Add(L"(x64)HKEY_CURRENT_USER\\", L"Value"));
    EXPECT_FALSE(list.Add(TRegRoot::ClassesRoot, L"", L""));
    EXPECT_FALSE(list.Add(L"no root\\Software\\App", L""));
    list.AddKeys({{TRegView::Default, TRegRoot::LocalMachine, L"\\"}, {TRegView::x32, TRegRoot::Users, L""}});
    EXPECT_TRUE(list.Add(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Foo", L""));
    list.AddKeys({{TRegView::x64, TRegRoot::LocalMachine, L"SOFTWARE\\Classes"}});
    EXPECT_EQ(KeysOf(list), (std::vector<std::wstring>{L"SOFTWARE\\Microsoft\\Foo", L"SOFTWARE\\Classes"}));

    EXPECT_TRUE(TFRRegList::IsSystemPath(L"software\\classes"));
    EXPECT_FALSE(TFRRegList::IsSystemPath(L"SOFTWARE\\Classes\\.txt"));
    EXPECT_TRUE(TFRRegList::IsInSystemPath(L"SAMPLE\\Key"));
    EXPECT_TRUE(TFRRegList::IsInSystemPath(L"Software\\Classes\\.txt"));
    EXPECT_TRUE(TFRRegList::IsInSystemPath(L"clsid\\{X}"));
    EXPECT_FALSE(TFRRegList::IsInSystemPath(L"Software\\Vendor\\App"));
    EXPECT_FALSE(TFRRegList::IsInSystemPath(L"Installer\\UpgradeCodes\\X"));
}

TEST(RegList, OneEntryPerKeyAndValueHoweverTheKeyIsWritten) {
    TFRRegList list(true);
    EXPECT_TRUE(list.Add(L"HKEY_CURRENT_USER\\Software\\App", L""));
    EXPECT_FALSE(list.Add(L"hkcu\\SOFTWARE\\APP\\", L""));
    // On 64-bit Windows a key without a view is in the 64-bit one.
    EXPECT_FALSE(list.Add(L"(x64)HKEY_CURRENT_USER\\Software\\App", L""));
    EXPECT_FALSE(list.Add(TRegRoot::CurrentUser, L"Software\\App", L""));
    EXPECT_TRUE(list.Add(L"(x32)HKEY_CURRENT_USER\\Software\\App", L""));
    EXPECT_TRUE(list.Add(L"HKEY_CURRENT_USER\\Software\\App", L"Setting"));
    EXPECT_FALSE(list.Add(L"HKEY_CURRENT_USER\\Software\\App", L"SETTING"));
    list.AddKeys({{TRegView::Default, TRegRoot::CurrentUser, L"Software\\App\\"},
                  {TRegView::Default, TRegRoot::LocalMachine, L"Software\\App"}});
    ASSERT_EQ(list.Count(), 4u);

    EXPECT_TRUE(list.KeyExist(L"HKCU\\Software\\App"));
    EXPECT_TRUE(list.KeyExist(L"HKEY_CURRENT_USER\\software\\app", L"setting"));
    EXPECT_FALSE(list.KeyExist(L"HKEY_CURRENT_USER\\Software\\App", L"Other"));
    EXPECT_FALSE(list.KeyExist(L"HKEY_CURRENT_USER\\Software"));

    const TFRRegEntry& value = list.GetItem(2);
    EXPECT_EQ(value.Flag(), 0x100u);
    EXPECT_EQ(value.FullPath(), L"(x64)HKEY_CURRENT_USER\\Software\\App\\Setting");
    EXPECT_EQ(list.GetItem(0).FullPath(), L"(x64)HKEY_CURRENT_USER\\Software\\App\\");
    EXPECT_EQ(list.GetItem(1).Flag(), 0x200u);
}

TEST(RegList, On32BitWindowsKeysOfARootAreInThe32BitViewAndTextsKeepTheirs) {
    TFRRegList list(false);
    ASSERT_TRUE(list.Add(TRegRoot::LocalMachine, L"Software\\App", L""));
    ASSERT_TRUE(list.Add(L"HKEY_LOCAL_MACHINE\\Software\\App", L""));
    EXPECT_EQ(list.GetItem(0).Flag(), 0x200u);
    EXPECT_EQ(list.GetItem(1).Flag(), 0u);
    EXPECT_EQ(list.GetItem(1).FullPath(), L"HKEY_LOCAL_MACHINE\\Software\\App\\");
}

TEST(RegList, CompactKeepsAKeyAndDropsWhatItsTextContains) {
    TFRRegList list(true);
    list.Add(L"HKCU\\Software\\FooBar", L"");
    list.Add(L"HKLM\\SOFTWARE\\foo\\Bar", L"Value");
    list.Add(L"HKCU\\Software\\Other", L"");
    list.Add(L"HKCU\\Software\\Foo", L"");
    list.Add(L"HKCU\\Software\\Foo\\Deeper\\Still", L"");
    list.Add(L"HKCU\\Software\\Foo", L"Value");
    list.Compact();
    // Root, view and value name are not compared, and "Software\Foo" is
    // contained in "Software\FooBar" too.
    EXPECT_EQ(KeysOf(list), (std::vector<std::wstring>{L"Software\\Foo", L"Software\\Other"}));
    EXPECT_FALSE(list.GetItem(0).IsValue());
    EXPECT_FALSE(list.KeyExist(L"HKCU\\Software\\FooBar"));
    EXPECT_TRUE(list.Add(L"HKCU\\Software\\FooBar", L""));

    // Compared with the entry kept, not the one dropped.
    TFRRegList nested(true);
    for (auto key : {L"HKCU\\Software\\One\\Two", L"HKCU\\Software\\One", L"HKCU\\Software\\One\\Zed",
                     L"HKCU\\Software\\Zed"})
        nested.Add(key, L"");
    nested.Compact();
    EXPECT_EQ(KeysOf(nested), (std::vector<std::wstring>{L"Software\\One", L"Software\\Zed"}));

    TFRRegList empty(true);
    empty.Compact();
    EXPECT_EQ(empty.Count(), 0u);
}
