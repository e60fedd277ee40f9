// The product item read from uninstall keys written by the test under
// HKCU\Software\VelmoraTests\<unique>, and the adapter over it.
#include "frame/IconImageList.h"
#include "inventory/ItemProduct.h"
#include "inventory/ItemProductIntf.h"
#include "platform/ComObject.h"
#include "platform/Module.h"
#include "platform/OSError.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
#include "platform/Text.h"

#include "InventoryTestKit.h"

#include <cmath>

namespace velmora {
namespace {

class TRegItem : public TItemProduct {
public:
    explicit TRegItem(std::vector<std::wstring> keys) : TItemProduct(nullptr) {
        FRegistryKeys = std::move(keys);
        FDisplayNameNative = L"Native name";
    }
    using TItemProduct::FInstallDate;
    using TItemProduct::FInstallLocation;
    using TItemProduct::FIsWinInstaller;
    using TItemProduct::FProductCodeNotFound;
    std::wstring Text(int index) { return std::get<std::wstring>(GetInfo(index)); }

protected:
    void ReadFastData() override { ReadRegistryKeys(); }
};

class ItemProductRegistry : public ::testing::Test {
protected:
    void SetUp() override { FBase = L"Software\\VelmoraTests\\" + testkit::UniqueName(L"G"); }
    void TearDown() override { DeleteKey(TRegRoot::CurrentUser, FBase); }
    TRegKey Key(const std::wstring& name) {
        return TRegKey::Create(TRegRoot::CurrentUser, FBase + L"\\" + name, KEY_ALL_ACCESS);
    }
    std::shared_ptr<TRegItem> Read(std::vector<std::wstring> names) {
        std::vector<std::wstring> keys;
        for (const auto& n : names)
            keys.push_back(RegistryKeyToStr(TRegView::Default, TRegRoot::CurrentUser, FBase + L"\\" + n));
        auto item = std::make_shared<TRegItem>(std::move(keys));
        item->ReadFastInfo();
        return item;
    }
    std::wstring FBase;
};

TEST_F(ItemProductRegistry, FirstKeyWinsWrongTypesAreIgnoredAndInstallPropertiesReplaceTheirKey) {
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

    Key(L"B\\InstallProperties").WriteString(L"Publisher", L"Inner");
    EXPECT_EQ(Read({L"B"})->Text(2), L"Inner");
}

TEST_F(ItemProductRegistry, UninstallFolderIsTheInstallLocationOnlyUnderProgramFiles) {
    Key(L"In").WriteString(L"UninstallString",
                           L"\"" + ProgramFilesFolder() + L"\\App\\unins000.exe\" /SILENT");
    Key(L"Out").WriteString(L"UninstallString", L"C:\\Tools\\App\\unins000.exe /SILENT");
    EXPECT_TRUE(SameText(Read({L"In"})->Text(3), ProgramFilesFolder() + L"\\App"));
    EXPECT_EQ(Read({L"Out"})->Text(3), L"");
}

TEST_F(ItemProductRegistry, InstallDateGainsTheKeysTimeOfDay) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t date[16];
    swprintf(date, 16, L"%04u%02u%02u", now.wYear, now.wMonth, now.wDay);
    Key(L"A").WriteString(L"InstallDate", date);
    Key(L"NoDate").WriteString(L"Publisher", L"x");
    for (const wchar_t* name : {L"A", L"NoDate"}) {
        auto item = Read({name});
        double written = *TRegKey::Open(TRegRoot::CurrentUser, FBase + L"\\" + name).LastWriteDate();
        if (std::trunc(written) != std::trunc(item->FInstallDate))
            GTEST_SKIP() << "midnight passed between writing and reading the key";
        EXPECT_DOUBLE_EQ(item->FInstallDate, written) << name;
    }
}

TEST_F(ItemProductRegistry, InstallerFlagsAreReadAsNumbersAndAMissingProductCodeMarksTheInstaller) {
    auto m = Key(L"{PRODUCT}");
    m.WriteExpandString(L"UninstallString", L"MsiExec.exe /X{PRODUCT}");
    m.WriteNumber(L"WindowsInstaller", 1);
    m.WriteNumber(L"NoModify", 1);
    auto managed = Read({L"{PRODUCT}"});
    EXPECT_TRUE(managed->FIsWinInstaller);
    EXPECT_EQ(managed->PossibleActions(),
              ActionBit(TPossibleActions::paUninstall) | ActionBit(TPossibleActions::paRepair));
    EXPECT_FALSE(managed->IsInstallerMaybeCorrupted());
    managed->FProductCodeNotFound = true;
    EXPECT_TRUE(managed->IsInstallerMaybeCorrupted());

    Key(L"Plain").WriteString(L"WindowsInstaller", L"1"); // a string flag counts as unset
    EXPECT_FALSE(Read({L"Plain"})->FIsWinInstaller);
}

TEST_F(ItemProductRegistry, CheckChangeFiresAfterAFileAppearsInTheInstallFolder) {
    auto folder = std::filesystem::temp_directory_path() / testkit::UniqueName(L"G");
    std::filesystem::create_directories(folder);
    auto item = Read({});
    item->FInstallLocation = folder.wstring();
    EXPECT_FALSE(item->CheckChange()); // arms the notification
    EXPECT_FALSE(item->CheckChange());
    std::ofstream(folder / L"new.txt") << "x";
    EXPECT_TRUE(testkit::WaitUntil([&] { return item->CheckChange(); }, std::chrono::seconds(5)));
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
    item.reset();
    adapter->GetInfo(2, &v);
    EXPECT_EQ(v.vt, VT_NULL);
    EXPECT_EQ(adapter->GetImageIndex(), -1);
    EXPECT_EQ(adapter->GetPossibleActions(), 0);
}

TEST_F(ItemProductRegistry, LocalizedDisplayNameComesFromTheFileDescription) {
    auto sample = std::filesystem::path(HostExecutableFileName()).parent_path().parent_path() / L"fixtures" /
                  L"editor.exe";
    ASSERT_TRUE(std::filesystem::exists(sample)) << "the sample program is built with the tests";
    Key(L"Localized").WriteString(L"DisplayName_Localized", sample.wstring());
    Key(L"Missing").WriteString(L"DisplayName_Localized", L"C:\\No Such Folder\\nothing.exe");
    EXPECT_EQ(Read({L"Localized"})->Text(0), L"Velmora Sample Editor");
    EXPECT_EQ(Read({L"Missing"})->Text(0), L"Native name") << "a failed read keeps the plain name";
}

TEST(ItemProductIcons, EachLoadTakesASlotAndGivesTheEarlierOneBack) {
    TIconImageList icons;
    TRegItem item({});
    std::function<bool()> loads[] = {
        [&] { return item.LoadIconFromReference(icons, L"%SystemRoot%\\system32\\shell32.dll,-5"); },
        // No icon 9999: icon 0 is taken instead.
        [&] { return item.LoadIconFromReference(icons, L"\"C:\\windows\\system32\\shell32.dll\",9999"); },
        [&] { return item.LoadPngIcon(icons, L"RATING_TRUST"); },
        [&] { return item.LoadPngIcon(icons, L"RATING_RISKY"); },
    };
    int32_t previous = -1;
    for (size_t i = 0; i < std::size(loads); ++i) {
        ASSERT_TRUE(loads[i]()) << "load " << i;
        EXPECT_TRUE(icons.IsUsed(item.IconIndex())) << "load " << i;
        if (previous >= 0) {
            EXPECT_NE(item.IconIndex(), previous) << "load " << i;
            EXPECT_FALSE(icons.IsUsed(previous)) << "load " << i;
        }
        previous = item.IconIndex();
    }
    EXPECT_THROW(item.LoadPngIcon(icons, L"NO_SUCH_IMAGE"), EOSError) << "the image list's error passes on";
    EXPECT_EQ(item.IconIndex(), previous);
}

} // namespace
} // namespace velmora
