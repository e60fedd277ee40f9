// The product item read from uninstall keys written by the test under
// HKCU\Software\VelmoraTests\<unique>, and the adapter over it.
#include "frame/IconImageList.h"
#include "inventory/ItemProduct.h"
#include "inventory/ItemProductIntf.h"
#include "platform/ComObject.h"
#include "platform/OSError.h"
#include "platform/Registry.h"
#include "platform/Text.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cmath>
#include <filesystem>
#include <fstream>

namespace velmora {
namespace {

class TRegItem : public TItemProduct {
public:
    explicit TRegItem(std::vector<std::wstring> keys) : TItemProduct(nullptr) {
        FRegistryKeys = std::move(keys);
        FDisplayNameNative = L"Native name";
    }
    using TItemProduct::FDisplayIconNotFound;
    using TItemProduct::FEstimatedSize;
    using TItemProduct::FInstallDate;
    using TItemProduct::FInstallLocation;
    using TItemProduct::FInstallLocationCorrupted;
    using TItemProduct::FIsWinInstaller;
    using TItemProduct::FProductCodeNotFound;
    std::wstring Text(int index) { return std::get<std::wstring>(GetInfo(index)); }

protected:
    void ReadFastData() override { ReadRegistryKeys(); }
};

class ItemProductRegistry : public ::testing::Test {
protected:
    void SetUp() override {
        FBase = L"Software\\VelmoraTests\\G" + std::to_wstring(GetCurrentProcessId()) + L"_" +
                std::to_wstring(GetTickCount());
    }
    void TearDown() override { DeleteKey(TRegRoot::CurrentUser, FBase); }
    // Creates a product key below the test's key; answers its key text.
    TRegKey Key(const std::wstring& name) {
        return TRegKey::Create(TRegRoot::CurrentUser, FBase + L"\\" + name, KEY_ALL_ACCESS);
    }
    std::wstring KeyText(const std::wstring& name) {
        return RegistryKeyToStr(TRegView::Default, TRegRoot::CurrentUser, FBase + L"\\" + name);
    }
    std::shared_ptr<TRegItem> Read(std::vector<std::wstring> names) {
        std::vector<std::wstring> keys;
        for (const auto& n : names)
            keys.push_back(KeyText(n));
        auto item = std::make_shared<TRegItem>(std::move(keys));
        item->ReadFastInfo();
        return item;
    }
    std::wstring FBase;
};

std::wstring ProgramFiles() {
    wchar_t buffer[MAX_PATH];
    DWORD n = GetEnvironmentVariableW(L"ProgramFiles", buffer, MAX_PATH);
    return std::wstring(buffer, n);
}

TEST_F(ItemProductRegistry, FirstKeyWinsAndWrongTypesAreIgnored) {
    auto a = Key(L"A");
    a.WriteNumber(L"Publisher", 7); // not a string: ignored
    a.WriteString(L"Contact", L"First");
    a.WriteNumber(L"EstimatedSize", 2048);
    a.WriteNumber(L"VersionMajor", 5);
    a.WriteString(L"VersionMinor", L"2");
    auto b = Key(L"B");
    b.WriteString(L"Publisher", L"Maker");
    b.WriteString(L"Contact", L"Second");
    b.WriteNumber(L"EstimatedSize", 4096);
    b.WriteString(L"DisplayVersion", L"9.9");
    auto item = Read({L"A", L"B"});
    EXPECT_EQ(item->Text(0), L"Native name");
    EXPECT_EQ(item->Text(1), L"5.2");
    EXPECT_EQ(item->Text(2), L"Maker");
    EXPECT_EQ(item->Text(6), L"First");
    EXPECT_EQ(std::get<int64_t>(item->GetInfo(14)), 2097152);
}

TEST_F(ItemProductRegistry, InstallPropertiesSubkeyReplacesItsKey) {
    auto a = Key(L"A");
    a.WriteString(L"Publisher", L"Outer");
    Key(L"A\\InstallProperties").WriteString(L"Publisher", L"Inner");
    EXPECT_EQ(Read({L"A"})->Text(2), L"Inner");
}

TEST_F(ItemProductRegistry, UninstallFolderIsTheInstallLocationOnlyUnderProgramFiles) {
    Key(L"In").WriteString(L"UninstallString", L"\"" + ProgramFiles() + L"\\App\\unins000.exe\" /SILENT");
    Key(L"Out").WriteString(L"UninstallString", L"C:\\Tools\\App\\unins000.exe /SILENT");
    EXPECT_TRUE(SameText(Read({L"In"})->Text(3), ProgramFiles() + L"\\App"));
    EXPECT_EQ(Read({L"Out"})->Text(3), L"");
}

TEST_F(ItemProductRegistry, InstallDateGainsTheKeysTimeOfDay) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t date[16];
    swprintf(date, 16, L"%04u%02u%02u", now.wYear, now.wMonth, now.wDay);
    Key(L"A").WriteString(L"InstallDate", date);
    auto item = Read({L"A"});
    double written = *TRegKey::Open(TRegRoot::CurrentUser, FBase + L"\\A").LastWriteDate();
    if (std::trunc(written) != std::trunc(item->FInstallDate))
        GTEST_SKIP() << "midnight passed between writing and reading the key";
    EXPECT_DOUBLE_EQ(item->FInstallDate, written);

    Key(L"NoDate").WriteString(L"Publisher", L"x");
    auto undated = Read({L"NoDate"});
    EXPECT_DOUBLE_EQ(undated->FInstallDate,
                     *TRegKey::Open(TRegRoot::CurrentUser, FBase + L"\\NoDate").LastWriteDate());
}

TEST_F(ItemProductRegistry, ActionsOfInstallerManagedAndPlainProducts) {
    auto m = Key(L"{PRODUCT}");
    m.WriteExpandString(L"UninstallString", L"MsiExec.exe /X{PRODUCT}");
    m.WriteNumber(L"WindowsInstaller", 1);
    m.WriteNumber(L"NoModify", 1);
    auto managed = Read({L"{PRODUCT}"});
    EXPECT_TRUE(managed->FIsWinInstaller);
    EXPECT_EQ(managed->PossibleActions(),
              ActionBit(TPossibleActions::paUninstall) | ActionBit(TPossibleActions::paRepair));

    auto p = Key(L"Plain");
    p.WriteString(L"UninstallString", L"C:\\Missing\\unins000.exe");
    p.WriteString(L"WindowsInstaller", L"1"); // a string flag counts as unset
    auto plain = Read({L"Plain"});
    EXPECT_FALSE(plain->FIsWinInstaller);
    EXPECT_EQ(plain->PossibleActions(), ActionBit(TPossibleActions::paModifyRemove));
}

TEST_F(ItemProductRegistry, WritesTheSizeBackInKilobytes) {
    Key(L"A\\InstallProperties");
    auto item = Read({L"A"});
    item->FEstimatedSize = 3 * 1024 * 1024 + 100;
    item->WriteDataToRegistry();
    EXPECT_EQ(
        TRegKey::Open(TRegRoot::CurrentUser, FBase + L"\\A\\InstallProperties").ReadNumber(L"EstimatedSize"),
        3u * 1024);
}

TEST_F(ItemProductRegistry, InstallerMaybeCorruptedByAnyOfItsFlags) {
    auto item = Read({});
    EXPECT_FALSE(item->IsInstallerMaybeCorrupted());
    item->FDisplayIconNotFound = true;
    EXPECT_TRUE(item->IsInstallerMaybeCorrupted());
    item->FDisplayIconNotFound = false;
    item->FProductCodeNotFound = true;
    EXPECT_TRUE(item->IsInstallerMaybeCorrupted());
}

TEST_F(ItemProductRegistry, CheckChangeFiresAfterAFileAppearsInTheInstallFolder) {
    auto folder = std::filesystem::temp_directory_path() / FBase.substr(FBase.rfind(L'\\') + 1);
    std::filesystem::create_directories(folder);
    auto item = Read({});
    item->FInstallLocation = folder.wstring();
    EXPECT_FALSE(item->CheckChange()); // arms the notification
    EXPECT_FALSE(item->CheckChange());
    std::ofstream(folder / L"new.txt") << "x";
    bool fired = false;
    for (int i = 0; i < 100 && !fired; ++i) {
        fired = item->CheckChange();
        if (!fired)
            Sleep(50);
    }
    EXPECT_TRUE(fired);
    EXPECT_TRUE(item->IsNeedReadFastInfo());
    EXPECT_EQ(item->PossibleActions(), 0);
    item.reset();
    std::filesystem::remove_all(folder);
}

TEST_F(ItemProductRegistry, AdapterOverAGoneItemAnswersTheMissingProductDefaults) {
    Key(L"A").WriteString(L"Publisher", L"Maker");
    auto item = Read({L"A"});
    auto adapter = MakeCom<TItemProductIntf, IProduct>(std::weak_ptr<TItemProduct>(item));
    VARIANT v;
    VariantInit(&v);
    adapter->GetInfo(2, &v);
    ASSERT_EQ(v.vt, VT_BSTR);
    EXPECT_STREQ(v.bstrVal, L"Maker");
    VariantClear(&v);
    adapter->GetInfo(14, &v);
    EXPECT_EQ(v.vt, VT_I8);
    item.reset();
    adapter->GetInfo(2, &v);
    EXPECT_EQ(v.vt, VT_NULL);
    EXPECT_EQ(adapter->GetImageIndex(), -1);
    EXPECT_EQ(adapter->GetPossibleActions(), 0);
    EXPECT_FALSE(adapter->IsInstallerMaybeCorrupted());
    EXPECT_FALSE(adapter->CheckChanged());
    EXPECT_TRUE(adapter->IsNotHost());
}

} // namespace
} // namespace velmora

namespace velmora {
namespace {

std::wstring SampleProgram() {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return std::filesystem::path(path).parent_path().parent_path().wstring() + L"\\fixtures\\editor.exe";
}

TEST_F(ItemProductRegistry, LocalizedDisplayNameComesFromTheFileDescription) {
    ASSERT_TRUE(std::filesystem::exists(SampleProgram())) << "the sample program is built with the tests";
    auto localized = Key(L"Localized");
    localized.WriteString(L"DisplayName_Localized", SampleProgram());
    auto missing = Key(L"Missing");
    missing.WriteString(L"DisplayName_Localized", L"C:\\No Such Folder\\nothing.exe");
    EXPECT_EQ(Read({L"Localized"})->Text(0), L"Velmora Sample Editor");
    EXPECT_EQ(Read({L"Missing"})->Text(0), L"Native name") << "a failed read keeps the plain name";
}

} // namespace
} // namespace velmora

namespace velmora {
namespace {

TEST(ItemProductIcons, ReferenceIndexMadePositiveFallingBackToTheFirstIcon) {
    TIconImageList icons;
    TRegItem item({});
    EXPECT_TRUE(item.LoadIconFromReference(icons, L"%SystemRoot%\\system32\\shell32.dll,-5"));
    const int32_t first = item.IconIndex();
    EXPECT_GE(first, 0);
    EXPECT_EQ(icons.Count(), 1);

    // No icon 9999: icon 0 is taken instead, and the earlier index is given back.
    EXPECT_TRUE(item.LoadIconFromReference(icons, L"\"C:\\windows\\system32\\shell32.dll\",9999"));
    EXPECT_NE(item.IconIndex(), first);
    EXPECT_FALSE(icons.IsUsed(first));

    const int32_t kept = item.IconIndex();
    EXPECT_FALSE(item.LoadIconFromReference(icons, L"C:\\No Such Folder\\missing.exe,0"));
    EXPECT_EQ(item.IconIndex(), kept) << "a failed load keeps the icon";
}

TEST(ItemProductIcons, LibraryPngTakesASlotAndGivesTheEarlierOneBack) {
    TIconImageList icons;
    TRegItem item({});
    EXPECT_TRUE(item.LoadPngIcon(icons, L"RATING_TRUST"));
    const int32_t first = item.IconIndex();
    ASSERT_GE(first, 0);
    EXPECT_TRUE(icons.IsUsed(first));

    EXPECT_TRUE(item.LoadPngIcon(icons, L"RATING_RISKY"));
    EXPECT_NE(item.IconIndex(), first);
    EXPECT_FALSE(icons.IsUsed(first));

    const int32_t kept = item.IconIndex();
    EXPECT_THROW(item.LoadPngIcon(icons, L"NO_SUCH_IMAGE"), EOSError) << "the image list's error passes on";
    EXPECT_EQ(item.IconIndex(), kept);
}

} // namespace
} // namespace velmora
