#include "FakeRegistry.h"
#include "forceremove/Msi.h"
#include "forceremove/RegList.h"
#include "tests/TestBase.h"

using namespace velmora;

namespace {

std::vector<std::wstring> KeysOf(const TFRRegList& list) {
    return velmora::testing::Texts(list, &TFRRegEntry::Key);
}
std::vector<std::wstring> EntriesOf(const TFRRegList& list) {
    return velmora::testing::Texts(list, &TFRRegEntry::FullPath);
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

// On 64-bit Windows a key without a view is in the 64-bit one, a 32-bit
// program's rows in the 32-bit view; on 32-bit Windows (the x86 build) a
// root's keys are in the 32-bit view.
TEST(RegList, OneEntryPerKeyAndValueHoweverTheKeyIsWrittenInTheViewOfTheRowsBitness) {
    TFRRegList list(true);
    EXPECT_TRUE(list.Add(L"HKEY_CURRENT_USER\\Software\\App", L""));
    EXPECT_FALSE(list.Add(L"hkcu\\SOFTWARE\\APP\\", L""));
    EXPECT_FALSE(list.Add(L"(x64)HKEY_CURRENT_USER\\Software\\App", L""));
    EXPECT_FALSE(list.Add(TRegRoot::CurrentUser, L"Software\\App", L""));
    EXPECT_TRUE(list.Add(L"(x32)HKEY_CURRENT_USER\\Software\\App", L""));
    EXPECT_TRUE(list.Add(L"HKEY_CURRENT_USER\\Software\\App", L"Setting"));
    EXPECT_FALSE(list.Add(L"HKEY_CURRENT_USER\\Software\\App", L"SETTING"));
    list.AddKeys({{TRegView::Default, TRegRoot::CurrentUser, L"Software\\App\\"},
                  {TRegView::Default, TRegRoot::LocalMachine, L"Software\\App"}});
    EXPECT_EQ(EntriesOf(list), (std::vector<std::wstring>{L"(x64)HKEY_CURRENT_USER\\Software\\App\\",
                                                          L"(x32)HKEY_CURRENT_USER\\Software\\App\\",
                                                          L"(x64)HKEY_CURRENT_USER\\Software\\App\\Setting",
                                                          L"(x64)HKEY_LOCAL_MACHINE\\Software\\App\\"}));
    EXPECT_TRUE(list.KeyExist(L"HKCU\\Software\\App"));
    EXPECT_TRUE(list.KeyExist(L"HKEY_CURRENT_USER\\software\\app", L"setting"));
    EXPECT_FALSE(list.KeyExist(L"HKEY_CURRENT_USER\\Software\\App", L"Other"));
    EXPECT_FALSE(list.KeyExist(L"HKEY_CURRENT_USER\\Software"));

    EXPECT_EQ(list.KeyText(TRegRoot::LocalMachine, L"Software\\App", false),
              L"(x32)HKEY_LOCAL_MACHINE\\Software\\App");
    EXPECT_EQ(list.KeyText(TRegRoot::LocalMachine, L"Software\\App"),
              L"(x64)HKEY_LOCAL_MACHINE\\Software\\App");
    TFRRegList list32(false);
    EXPECT_EQ(list32.KeyText(TRegRoot::LocalMachine, L"Software\\App", true),
              L"(x32)HKEY_LOCAL_MACHINE\\Software\\App");
    ASSERT_TRUE(list32.Add(TRegRoot::LocalMachine, L"Software\\App", L""));
    ASSERT_TRUE(list32.Add(L"HKEY_LOCAL_MACHINE\\Software\\App", L""));
    EXPECT_EQ(EntriesOf(list32), (std::vector<std::wstring>{L"(x32)HKEY_LOCAL_MACHINE\\Software\\App\\",
                                                            L"HKEY_LOCAL_MACHINE\\Software\\App\\"}));
}

TEST(RegList, CompactKeepsAKeyAndDropsWhatItsTextContainsInTheSameRootAndView) {
    TFRRegList list(true);
    list.Add(L"HKCU\\Software\\FooBar", L"");
    list.Add(L"HKLM\\SOFTWARE\\foo\\Bar", L"Value");
    list.Add(L"HKCU\\Software\\Other", L"");
    list.Add(L"HKCU\\Software\\Foo\\Deeper", L"Value");
    list.Add(L"HKCU\\Software\\Foo", L"Value");
    list.Add(L"HKCU\\Software\\Foo", L"");
    list.Add(L"HKCU\\Software\\Foo\\Deeper\\Still", L"");
    list.Add(L"(x32)HKEY_CURRENT_USER\\Software\\Foo\\Deeper", L"");
    // A user's class key and the machine's of the same path are two keys; two
    // values of one key are two entries.
    list.Add(L"HKCU\\Software\\Classes\\.ext", L"");
    list.Add(L"HKLM\\Software\\Classes\\.ext", L"");
    list.Add(L"HKLM\\Software\\Classes\\.doc\\OpenWithProgIds", L"App.One");
    list.Add(L"HKLM\\Software\\Classes\\.doc\\OpenWithProgIds", L"App.Two");
    list.Compact();
    // Value names are not compared, and "Software\Foo" is contained in
    // "Software\FooBar" too.
    EXPECT_EQ(EntriesOf(list),
              (std::vector<std::wstring>{
                  L"(x32)HKEY_CURRENT_USER\\Software\\Foo\\Deeper\\",
                  L"(x64)HKEY_CURRENT_USER\\Software\\Classes\\.ext\\",
                  L"(x64)HKEY_CURRENT_USER\\Software\\Foo\\", L"(x64)HKEY_CURRENT_USER\\Software\\Other\\",
                  L"(x64)HKEY_LOCAL_MACHINE\\Software\\Classes\\.doc\\OpenWithProgIds\\App.One",
                  L"(x64)HKEY_LOCAL_MACHINE\\Software\\Classes\\.doc\\OpenWithProgIds\\App.Two",
                  L"(x64)HKEY_LOCAL_MACHINE\\Software\\Classes\\.ext\\",
                  L"(x64)HKEY_LOCAL_MACHINE\\SOFTWARE\\foo\\Bar\\Value"}));
    EXPECT_FALSE(list.KeyExist(L"HKCU\\Software\\FooBar"));
    EXPECT_TRUE(list.Add(L"HKCU\\Software\\FooBar", L""));
    // A listed whole key covers itself and its subkeys, in its root and view.
    EXPECT_TRUE(list.Covers(L"HKCU\\Software\\Foo\\Capabilities"));
    EXPECT_TRUE(list.Covers(L"HKCU\\software\\foo"));
    EXPECT_FALSE(list.Covers(L"HKLM\\Software\\Foo\\Capabilities"));
    EXPECT_FALSE(list.Covers(L"HKCU\\Software\\Foo2"));
    EXPECT_FALSE(list.Covers(L"HKLM\\SOFTWARE\\foo\\Bar"));

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

// A key the program writes to goes whole only when nothing but its values is
// in it; else only its named values. The same for an extension key of its
// file type, whose default must be empty or name its ProgID.
TEST(RegList, AKeyGoesWholeOnlyWhenNothingButTheProgramsValuesIsInIt) {
    velmora::testing::TFakeRegistry registry;
    registry.Set(L"HKLM\\Software\\App", L"Home", L"C:\\App");
    registry.Set(L"HKLM\\Software\\RegisteredApplications", L"App", L"Software\\App\\Capabilities");
    registry.Set(L"HKLM\\Software\\RegisteredApplications", L"Other", L"Software\\Other\\Capabilities");
    registry.Set(L"HKLM\\Software\\Vendor", L"App", L"1");
    registry.Set(L"HKLM\\Software\\Vendor\\Other", L"Home", L"C:\\Other");
    registry.Set(L"HKCR\\Installer\\UpgradeCodes\\Family", L"PRODUCT", L"");
    registry.Set(L"HKCR\\Installer\\UpgradeCodes\\Family", L"OTHERPRODUCT", L"");
    registry.Set(L"HKCR\\.own", L"", L"App.Document");
    registry.Set(L"HKCR\\.own", L"Content Type", L"text/x-app");
    registry.Set(L"HKCR\\.blank", L"", L"");
    registry.Set(L"HKCR\\.openwith", L"", L"App.Document");
    registry.Set(L"HKCR\\.openwith\\OpenWithProgids", L"Other.Document", L"");
    registry.Set(L"HKCR\\.typed", L"", L"App.Document");
    registry.Set(L"HKCR\\.typed", L"Content Type", L"text/x-app");
    registry.Set(L"HKCR\\.typed", L"PerceivedType", L"text");
    registry.Set(L"HKCR\\.taken", L"", L"Other.Document");
    const std::wstring x64 = L"(x64)HKEY_LOCAL_MACHINE\\Software\\", classes = L"(x64)HKEY_CLASSES_ROOT\\";

    struct TValuesRow {
        const wchar_t* Key;
        std::vector<std::wstring> Own;
        std::vector<std::wstring> Listed;
    } valueRows[] = {
        {L"HKLM\\Software\\App", {L"HOME"}, {x64 + L"App\\"}},
        {L"HKLM\\Software\\RegisteredApplications", {L"App"}, {x64 + L"RegisteredApplications\\App"}},
        {L"HKLM\\Software\\Vendor", {L"App"}, {x64 + L"Vendor\\App"}},
        {L"HKLM\\Software\\Missing", {L"App"}, {x64 + L"Missing\\"}},
        {L"HKCR\\Installer\\UpgradeCodes\\Family",
         {L"PRODUCT"},
         {classes + L"Installer\\UpgradeCodes\\Family\\PRODUCT"}},
    };
    for (const auto& row : valueRows) {
        TFRRegList list(true);
        list.AddKeyOrValues(registry, row.Key, row.Own);
        EXPECT_EQ(EntriesOf(list), row.Listed) << row.Key;
    }

    struct TExtensionRow {
        const wchar_t* Key;
        std::vector<std::wstring> Listed;
    } extensionRows[] = {
        {L".own", {classes + L".own\\"}},
        {L".blank", {classes + L".blank\\"}},
        {L".missing", {classes + L".missing\\"}},
        {L".openwith", {}},
        {L".typed", {classes + L".typed\\Content Type"}},
        {L".taken", {}},
    };
    for (const auto& row : extensionRows) {
        TFRRegList list(true);
        AddMsiExtensionKey(list, registry, list.KeyText(TRegRoot::ClassesRoot, row.Key), L"app.document",
                           L"text/x-app");
        EXPECT_EQ(EntriesOf(list), row.Listed) << row.Key;
    }
}
