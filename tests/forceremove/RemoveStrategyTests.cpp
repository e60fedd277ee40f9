#include "forceremove/RegList.h"
#include "forceremove/RKRemoveStrategy.h"
#include "forceremove/RegistrySource.h"
#include "forceremove/SimpleRemoveStrategy.h"
#include "MachineKit.h"

#include "platform/ComText.h"
#include "platform/LibraryLoader.h"
#include "platform/OSError.h"
#include "platform/Registry.h"

#include <gmock/gmock.h>

using namespace velmora;
using namespace velmora::testing;

namespace {

// The backup component beside the test, whose backup sets the test deletes.
class TBackupComponent {
public:
    TBackupComponent() {
        DllRoutines::GetInstance(L"RekovaHelper.dll", __uuidof(IRekova),
                                 reinterpret_cast<void**>(Rekova.put()));
    }
    // A backed-up strategy of its own set.
    std::unique_ptr<IRemoveStrategy> Strategy() {
        EXPECT_TRUE(Rekova) << "RekovaHelper.dll did not load";
        auto strategy = std::make_unique<TRKRemoveStrategy>(L"Removal test", Rekova);
        BSTR id = nullptr;
        Rekova->GetOpenSetId(&id);
        SetId = BstrText(unique_bstr(id).get());
        return strategy;
    }
    ~TBackupComponent() {
        if (Rekova && !SetId.empty())
            Rekova->DeleteSet(SetId.c_str());
    }

    TComPtr<IRekova> Rekova;
    std::wstring SetId;
};

// A key of the machine's software in both views, deleted afterwards; the
// registry rules are the same whether the strategy changes the registry
// directly or through the backup component (whose restore of what it deleted,
// of either view, is checked end to end).
class RegistryRemovalTest : public ::testing::TestWithParam<bool /* backed up */> {
protected:
    ~RegistryRemovalTest() override {
        for (TRegView view : {TRegView::x64, TRegView::x32})
            DeleteKey(TRegRoot::LocalMachine, FPath, view);
    }
    // The key, or a subkey of it, in the view, made as needed.
    TRegKey Create(TRegView view, std::wstring_view subKey = {}) const {
        return CreateKey(TRegRoot::LocalMachine,
                         subKey.empty() ? FPath : FPath + L"\\" + std::wstring(subKey), view);
    }
    // The list's one entry for the key in the given view, or a value of it.
    const TFRRegEntry& Entry(std::wstring_view viewPrefix, std::wstring_view valueName = {}) {
        std::wstring text = std::wstring(viewPrefix) + L"HKEY_LOCAL_MACHINE\\" + FPath;
        EXPECT_TRUE(FList.Add(text, valueName));
        return FList.GetItem(FList.Count() - 1);
    }

    const std::wstring FPath = L"Software\\VelmoraTests\\" + UniqueName(L"Removal");
    TFRRegList FList{true};
    TBackupComponent FBackup;
    std::unique_ptr<IRemoveStrategy> FStrategyOwned =
        GetParam() ? FBackup.Strategy() : std::make_unique<TSimpleRemoveStrategy>();
    IRemoveStrategy& FStrategy = *FStrategyOwned;
};

} // namespace

INSTANTIATE_TEST_SUITE_P(Strategies, RegistryRemovalTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "BackedUp" : "Direct"; });

// A key or value already gone counts as removed.
TEST_P(RegistryRemovalTest, AnEntryDeletesItsKeyWithEverythingBelowOrOnlyItsValueAndInItsViewOnly) {
    TRegKey key = Create(TRegView::x64);
    key.WriteString(L"Gone", L"x");
    key.WriteString(L"Stays", L"y");
    const TFRRegEntry& value = Entry(L"", L"Gone");
    FStrategy.RemoveKey(value);
    EXPECT_FALSE(key.ValueExists(L"Gone"));
    EXPECT_NO_THROW(FStrategy.RemoveKey(value)); // already gone: no error
    EXPECT_EQ(key.ReadString(L"Stays"), L"y");

    Create(TRegView::x32).WriteString(L"Bits", L"32");
    FStrategy.RemoveKey(Entry(L"(x32)"));
    EXPECT_FALSE(KeyExists(TRegRoot::LocalMachine, FPath, TRegView::x32));
    EXPECT_EQ(key.ReadString(L"Stays"), L"y");

    Create(TRegView::x64, L"Sub\\Deeper").WriteNumber(L"Count", 1);
    const TFRRegEntry& whole = Entry(L"");
    FStrategy.RemoveKey(whole);
    EXPECT_FALSE(KeyExists(TRegRoot::LocalMachine, FPath, TRegView::x64));

    EXPECT_NO_THROW(FStrategy.RemoveKey(whole));
    EXPECT_NO_THROW(FStrategy.RemoveKey(Entry(L"", L"Value")));

    if (GetParam()) { // a value delete the component refuses (no open set) raises
        FBackup.Rekova->EndBackupSet(true);
        Create(TRegView::x64).WriteString(L"Refused", L"z");
        EXPECT_THROW(FStrategy.RemoveKey(Entry(L"", L"Refused")), EOSError);
        EXPECT_TRUE(Create(TRegView::x64).ValueExists(L"Refused"));
    }
}

TEST_P(RegistryRemovalTest, CountersChangeInThe64BitViewAndAMissingKeyIsLeftAlone) {
    Create(TRegView::x64).WriteNumber(L"C:\\App\\shared.dll", 3);
    Create(TRegView::x32).WriteNumber(L"C:\\App\\shared.dll", 9);
    FStrategy.WriteValue(TRegRoot::LocalMachine, FPath, 2, L"C:\\App\\shared.dll");
    EXPECT_EQ(Create(TRegView::x64).ReadNumber(L"C:\\App\\shared.dll"), 2u);
    EXPECT_EQ(Create(TRegView::x32).ReadNumber(L"C:\\App\\shared.dll"), 9u);
    FStrategy.RemoveValue(TRegRoot::LocalMachine, FPath, L"C:\\App\\shared.dll");
    EXPECT_FALSE(Create(TRegView::x64).ValueExists(L"C:\\App\\shared.dll"));
    EXPECT_TRUE(Create(TRegView::x32).ValueExists(L"C:\\App\\shared.dll"));

    const std::wstring missing = FPath + L"\\Missing";
    EXPECT_NO_THROW(FStrategy.WriteValue(TRegRoot::LocalMachine, missing, 1, L"C:\\App\\shared.dll"));
    EXPECT_NO_THROW(FStrategy.RemoveValue(TRegRoot::LocalMachine, missing, L"C:\\App\\shared.dll"));
    EXPECT_FALSE(KeyExists(TRegRoot::LocalMachine, missing, TRegView::x64));
}

// A class key of the user's (HKCU\Software\Classes) goes while the
// machine's of the same name (HKLM\Software\Classes) stays; that the backup
// brings it back there, and only there, is checked end to end (a per-user
// program's file type beside the machine's key of the same name).
TEST_P(RegistryRemovalTest, AClassesRootEntryReachesTheUsersClassKeyBeforeTheMachines) {
    const std::wstring name = L"VelmoraRemovalTest." + std::to_wstring(GetCurrentProcessId());
    const std::wstring path = L"Software\\Classes\\" + name;
    struct TCleanup {
        std::wstring Path;
        ~TCleanup() {
            DeleteKey(HKEY_CURRENT_USER, Path);
            DeleteKey(HKEY_LOCAL_MACHINE, Path);
        }
    } cleanup{path};
    TRegKey::CreateOrThrow(HKEY_CURRENT_USER, path + L"\\shell").WriteString(L"", L"user's");
    TRegKey::CreateOrThrow(HKEY_LOCAL_MACHINE, path).WriteString(L"", L"machine's");
    ASSERT_TRUE(FList.Add(L"HKEY_CLASSES_ROOT\\" + name, L""));
    FStrategy.RemoveKey(FList.GetItem(FList.Count() - 1));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, path));
    EXPECT_EQ(TRegKey::Open(HKEY_LOCAL_MACHINE, path).ReadString(L""), L"machine's");
}

// A 32-bit finding of a key both views share is dropped as a repeat of the
// 64-bit one: only such a key of the system's registry source says so. The
// source's reads are walked by the end-to-end removal in both views.
TEST(RegistrySource, TellsAKeyBothViewsShareFromKeysEachViewHasApart) {
    const TRegistrySource& source = SystemRegistrySource();
    EXPECT_TRUE(source.SharedByBothViews(L"HKEY_CURRENT_USER\\Software"));
    EXPECT_FALSE(source.SharedByBothViews(L"HKEY_CLASSES_ROOT\\CLSID\\"));
    EXPECT_FALSE(source.SharedByBothViews(L"HKEY_LOCAL_MACHINE\\Software\\Microsoft"));
    EXPECT_FALSE(source.SharedByBothViews(L"HKEY_CURRENT_USER\\Software\\Velmora missing key"));
}
