// The product item read from uninstall keys written by the test below its own
// key, and the adapter over it.
#include "InventoryTestKit.h"

#include "frame/IconImageList.h"
#include "inventory/ItemProductIntf.h"
#include "platform/ComObject.h"
#include "platform/Module.h"
#include "platform/OSError.h"
#include "platform/Paths.h"
#include "tests/platform/TestKey.h"

#include <cmath>

namespace velmora {
namespace {

using testkit::Text;
using testkit::TTestProgram;

class ItemProductRegistry : public ::testing::Test {
protected:
    TRegKey Key(const std::wstring& name) { return FKey.Create(name); }
    std::shared_ptr<TTestProgram> Read(std::vector<std::wstring> names) {
        std::vector<TRegistryKey> keys;
        for (const auto& n : names)
            keys.push_back(FKey.Entry(n));
        auto item = std::make_shared<TTestProgram>(std::move(keys));
        item->ReadFastInfo();
        return item;
    }
    const testing::TUserTestKey FKey{L"G"};
};

TEST_F(ItemProductRegistry, FirstKeyWinsWrongTypesAreIgnoredAndInstallPropertiesReplaceTheirKey) {
    auto a = Key(L"A");
    a.WriteNumber(L"Publisher", 7); // not a string: ignored
    a.WriteNumber(L"EstimatedSize", 2048);
    auto b = Key(L"B");
    b.WriteString(L"Publisher", L"Maker");
    b.WriteNumber(L"EstimatedSize", 4096);
    auto item = Read({L"A", L"B"});
    EXPECT_EQ(Text(*item, piPublisher), L"Maker");
    EXPECT_EQ(std::get<int64_t>(item->GetInfo(piEstimatedSize)), 2097152);

    Key(L"B\\InstallProperties").WriteString(L"Publisher", L"Inner");
    EXPECT_EQ(Text(*Read({L"B"}), piPublisher), L"Inner");
}

TEST_F(ItemProductRegistry, UninstallFolderIsTheInstallLocationOnlyUnderProgramFiles) {
    Key(L"In").WriteString(L"UninstallString",
                           L"\"" + ProgramFilesFolder() + L"\\App\\unins000.exe\" /SILENT");
    Key(L"Out").WriteString(L"UninstallString", L"C:\\Tools\\App\\unins000.exe /SILENT");
    EXPECT_TRUE(SameText(Text(*Read({L"In"}), piInstallLocation), ProgramFilesFolder() + L"\\App"));
    EXPECT_EQ(Text(*Read({L"Out"}), piInstallLocation), L"");
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
        double written = *TRegKey::Open(TRegRoot::CurrentUser, FKey.PathOf(name)).LastWriteDate();
        if (std::trunc(written) != std::trunc(item->FInstallDate))
            GTEST_SKIP() << "midnight passed between writing and reading the key";
        EXPECT_DOUBLE_EQ(item->FInstallDate, written) << name;
    }
}

TEST_F(ItemProductRegistry, AdapterOverAGoneItemAnswersTheMissingProductDefaults) {
    Key(L"A").WriteString(L"Publisher", L"Maker");
    auto item = Read({L"A"});
    auto adapter = MakeCom<TItemProductIntf, IProduct>(std::weak_ptr<TItemProduct>(item));
    VARIANT v;
    VariantInit(&v);
    adapter->GetInfo(piPublisher, &v);
    ASSERT_EQ(v.vt, VT_BSTR);
    EXPECT_STREQ(v.bstrVal, L"Maker");
    VariantClear(&v);
    item.reset();
    adapter->GetInfo(piPublisher, &v);
    EXPECT_EQ(v.vt, VT_NULL);
    EXPECT_EQ(adapter->GetImageIndex(), -1);
    EXPECT_EQ(adapter->GetPossibleActions(), 0);
}

// The sample program (built with the tests) carries a version resource.
TEST_F(ItemProductRegistry, LocalizedDisplayNameComesFromTheFileDescription) {
    const std::wstring sample =
        std::filesystem::path(ThisModuleFolder()).parent_path().parent_path().wstring() +
        L"\\fixtures\\editor.exe";
    ASSERT_TRUE(std::filesystem::exists(sample));
    Key(L"Localized").WriteString(L"DisplayName_Localized", sample);
    Key(L"Missing").WriteString(L"DisplayName_Localized", L"C:\\No Such Folder\\nothing.exe");
    EXPECT_EQ(Text(*Read({L"Localized"}), piDisplayName), L"Velmora Sample Editor");
    auto missing = std::make_shared<TTestProgram>(std::vector{FKey.Entry(L"Missing")});
    missing->ReadFastInfo();
    EXPECT_EQ(Text(*missing, piDisplayName), L"Native name") << "a failed read keeps the plain name";
}

// Each load takes a slot and gives the earlier one back; a failed one keeps the icon.
TEST(ItemProductIcons, ReferencesAndLibraryImagesTakeASlotAndGiveTheEarlierOneBack) {
    TIconImageList icons;
    TTestProgram item;
    EXPECT_TRUE(item.LoadIconFromReference(icons, L"%SystemRoot%\\system32\\shell32.dll,-5"));
    int32_t earlier = item.IconIndex();
    ASSERT_GE(earlier, 0);
    // No icon 9999: icon 0 is taken instead.
    EXPECT_TRUE(item.LoadIconFromReference(icons, L"\"C:\\windows\\system32\\shell32.dll\",9999"));
    EXPECT_FALSE(icons.IsUsed(earlier));
    earlier = item.IconIndex();
    EXPECT_TRUE(item.LoadPngIcon(icons, L"RATING_TRUST"));
    EXPECT_FALSE(icons.IsUsed(earlier));
    EXPECT_TRUE(icons.IsUsed(item.IconIndex()));

    const int32_t kept = item.IconIndex();
    EXPECT_FALSE(item.LoadIconFromReference(icons, L"C:\\No Such Folder\\missing.exe,0"));
    EXPECT_THROW(item.LoadPngIcon(icons, L"NO_SUCH_IMAGE"), EOSError);
    EXPECT_EQ(item.IconIndex(), kept);
}

} // namespace
} // namespace velmora
