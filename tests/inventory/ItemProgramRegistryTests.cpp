// Items read from uninstall keys the test writes below its own key.
#include "InventoryTestKit.h"

#include "frame/IconImageList.h"
#include "inventory/ItemProductIntf.h"
#include "msi/MsiEngine.h"
#include "platform/ComObject.h"
#include "platform/Module.h"
#include "platform/OSInfo.h"
#include "platform/Paths.h"
#include "tests/kits/LibraryRoot.h"
#include "tests/msi/MsiTestKit.h"
#include "tests/platform/TestKey.h"

#include <fstream>

namespace velmora {
namespace {

using testkit::Text;
using testkit::TTestProgram;
using testkit::TTestUpdate;

class ItemProgramRegistry : public testkit::TItemListsTest {
protected:
    TRegKey Key(const std::wstring& name) { return FKey.Create(name); }
    // Writes the texts that are not empty into a new key and reads a program from it.
    std::shared_ptr<TTestProgram>
    Read(const std::wstring& name, std::initializer_list<std::pair<const wchar_t*, std::wstring>> values) {
        auto key = Key(name);
        for (const auto& [value, text] : values)
            if (!text.empty())
                key.WriteString(value, text);
        auto item = std::make_shared<TTestProgram>(std::vector{FKey.Entry(name)});
        TItemProgram::Items().Add(item);
        item->ReadFastInfo();
        return item;
    }
    // A product read from these keys, the first winning, outside the program list.
    std::shared_ptr<TTestProgram> ReadKeys(const std::vector<std::wstring>& names) {
        std::vector<TRegistryKey> keys;
        for (const auto& n : names)
            keys.push_back(FKey.Entry(n));
        auto item = std::make_shared<TTestProgram>(std::move(keys));
        item->ReadFastInfo();
        return item;
    }
    // An update read from a new key, under its parent's name.
    std::shared_ptr<TTestUpdate> Update(const std::wstring& name, std::wstring parent) {
        Key(name);
        auto update = std::make_shared<TTestUpdate>(L"", nullptr, nullptr,
                                                    TTemporaryInfo{.FDisplayName = L"Native " + name,
                                                                   .FRegistryKeys = {FKey.Entry(name)},
                                                                   .FParentDisplayName = std::move(parent)});
        TItemUpdate::Items().Add(update);
        update->ReadFastInfo();
        return update;
    }
    const testing::TUserTestKey FKey{L"H"};
    // A program folder.
    const testing::TTempFolder FScratch{L"H"};
};

// The uninstall command and install location give the install folder (the
// uninstaller's own only under Program Files, found as the actions find an
// unquoted command with blanks) and the actions; the extended pass ends the
// folder with a separator and marks a missing uninstaller or folder. A program
// in the host's folder offers nothing.
TEST_F(ItemProgramRegistry, UninstallCommandGivesTheFolderAndActionsAndTheExtendedPassMarksWhatIsMissing) {
    const testing::TTempFolder programFiles(L"Velmora Test H", ProgramFilesFolder());
    const std::wstring folder = FScratch.Path.wstring(), uninstaller = FScratch.File(L"unins000.exe"),
                       blanks = programFiles.Path.wstring(), host = ThisModuleFolder() + L"Sub";
    programFiles.File(L"uninst.exe");
    using enum TPossibleActions;
    const TPossibleActionsSet listed = ActionBit(paRemoveFromRegistry),
                              plain = ActionBit(paModifyRemove) | listed,
                              offered = ActionBit(paUninstall) | listed;
    // Folder and actions after the fast read.
    const struct {
        const wchar_t* Name;
        std::wstring Location, Uninstall;
        bool NoRepair;
        std::wstring Folder;
        TPossibleActionsSet Actions;
        bool Corrupted;
    } cases[] = {
        {L"Sound", folder, L"\"" + uninstaller + L"\" /S", false, folder, plain, false},
        // A command without a folder is looked up through the path.
        {L"ByName", L"", L"NoSuchInstaller.exe /X{0}", false, L"", plain, false},
        {L"Gone", folder, folder + L"\\missing.exe /S", false, folder, plain, true},
        {L"NoFolder", folder + L"\\NotThere", uninstaller, false, folder + L"\\NotThere", plain, true},
        {L"Host", host, uninstaller, false, host, 0, true},
        // With "NoRepair" only an existing uninstaller is offered; without the
        // file the program ends at the first blank, outside Program Files.
        {L"Blanks", L"", blanks + L"\\uninst.exe /S", true, blanks, offered, false},
        {L"BlanksGone", L"", blanks + L"\\gone.exe /S", true, L"", listed, true},
        {L"Quoted", L"", L"\"" + ProgramFilesFolder() + L"\\App\\unins000.exe\" /SILENT", false,
         ProgramFilesFolder() + L"\\App", plain, true},
        {L"Outside", L"", L"C:\\Tools\\App\\unins000.exe /SILENT", false, L"", plain, true},
    };
    for (const auto& c : cases) {
        if (c.NoRepair)
            Key(c.Name).WriteNumber(L"NoRepair", 1);
        auto item = Read(c.Name, {{L"InstallLocation", c.Location}, {L"UninstallString", c.Uninstall}});
        EXPECT_TRUE(SameText(item->InstallLocation(), c.Folder)) << Narrow(c.Name);
        EXPECT_EQ(item->PossibleActions(), c.Actions) << Narrow(c.Name);
        item->ReadExtendedInfo();
        EXPECT_TRUE(SameText(item->InstallLocation(), c.Folder.empty() ? L"" : c.Folder + L"\\"))
            << Narrow(c.Name);
        EXPECT_EQ(item->IsInstallerMaybeCorrupted(), c.Corrupted) << Narrow(c.Name);
    }
}

TEST_F(ItemProgramRegistry, CacheEntryOfTheKeyNameIsMerged) {
    const std::wstring name = testing::UniqueName(L"VelmoraCache");
    const std::wstring cachePath =
        L"Software\\Microsoft\\Windows\\CurrentVersion\\App Management\\ARPCache\\" + name;
    const std::wstring exe = L"C:\\Tools\\cached.exe";
    // Last used 2020-01-01 12:00 UTC (a FILETIME).
    auto record = testkit::CacheRecord(1, 3 * 1024 * 1024, 132223248000000000ull, 9, exe);
    ASSERT_TRUE(TRegKey::Create(TRegRoot::CurrentUser, cachePath, KEY_ALL_ACCESS)
                    .WriteBinary(L"SlowInfoCache", record.data(), record.size()));

    auto item = Read(name, {{L"DisplayName", L"Cached"}});
    auto cached = [&] {
        return Format(L"%s, %d, %d", item->FSlowExePath, item->FEstimatedSize, item->FUsedFrequencyCount);
    };
    if (IsWindows7OrLater()) {
        // Windows 7 no longer keeps the cache: it is not read.
        EXPECT_EQ(cached(), L", 0, -1");
        item->ReadSlowInfoCache(name);
    }
    EXPECT_EQ(cached(), exe + L", 3145728, 9");
    // Local time of that day, whatever the zone.
    EXPECT_NEAR(item->FLastUsedDate, 43831.5, 1.0);
    DeleteKey(TRegRoot::CurrentUser, cachePath);
}

// The test runs next to the reputation component's stand-in: files under a
// "risky" folder are risky, all else is unknown.
TEST_F(ItemProgramRegistry, SlowPassRatesTheProgramFile) {
    auto rate = [&](const wchar_t* name, const wchar_t* slowExe) {
        auto item = Read(name, {{L"Publisher", L"Maker"}});
        item->FSlowExePath = slowExe;
        item->ReadSlowInfo();
        EXPECT_FALSE(item->IsNeedReadSlowInfo());
        return static_cast<TSoftwareRating>(std::get<int32_t>(item->GetInfo(piSoftwareRating)));
    };
    EXPECT_EQ(rate(L"RiskyFile", L"C:\\Apps\\risky\\a.exe"), TSoftwareRating::stRisky);
    EXPECT_EQ(rate(L"PlainFile", L"C:\\Apps\\plain\\a.exe"), TSoftwareRating::stUnknown);
}

// A changed install folder marks the program for reading again (the owner's
// watch loop reads it then; a fast read starts afresh from the keys: the
// registry location's upgrade test).
TEST_F(ItemProgramRegistry, AChangedInstallFolderMarksTheProgramForReadingAgain) {
    auto item = Read(L"Watched", {{L"InstallLocation", FScratch.Path.wstring()}});
    EXPECT_FALSE(item->CheckChange()) << "the first call arms the folder's notification";
    EXPECT_FALSE(item->IsNeedReadFastInfo());
    FScratch.File(L"new.exe");
    ASSERT_TRUE(testkit::WaitUntil([&] { return item->CheckChange(); }, std::chrono::seconds(20)));
    EXPECT_TRUE(item->IsNeedReadFastInfo());
    EXPECT_TRUE(item->IsNeedReadSlowInfo());
}

// An installer product installed after the installer's product list was read
// still gives a program without a folder of its own its install location.
TEST_F(ItemProgramRegistry, InstallLocationComesFromAProductInstalledAfterTheInstallerListWasRead) {
    static constexpr wchar_t EarlyCode[] = L"{6C3B1F52-0A4E-4E4B-9D1F-2B7A0C3E5D11}";
    static constexpr wchar_t LateCode[] = L"{6C3B1F52-0A4E-4E4B-9D1F-2B7A0C3E5D21}";
    // Packages of the test's folder, installed with the prefix's msiexec for the test's time.
    struct TUninstall {
        ~TUninstall() {
            testing::Uninstall(LateCode);
            testing::Uninstall(EarlyCode);
        }
    } uninstall;
    auto install = [](const wchar_t* package, const wchar_t* code) {
        testing::Uninstall(code);
        return testing::RunMsiexec(L"/i", ThisModuleFolder() + package);
    };
    ASSERT_EQ(install(L"VelmoraInventoryEarly.msi", EarlyCode), 0);
    TMsiEngine::Instance().Refresh();
    ASSERT_TRUE(TMsiEngine::Instance().ProductByGUID(EarlyCode)) << "the list holds a product";
    ASSERT_EQ(install(L"VelmoraInventoryLate.msi", LateCode), 0);

    auto item = Read(L"Late", {{L"UninstallString", Format(L"MsiExec.exe /X%s", LateCode)}});
    item->FGUID = LateCode;
    item->ReadExtendedInfo();
    EXPECT_TRUE(SameText(item->InstallLocation(), ProgramFilesFolder() + L"\\Velmora Inventory Late\\"))
        << Narrow(item->InstallLocation());
}

// A program without "InstallDate" shows its key's last write time as its
// install date; a measured size written back into the key (in kilobytes)
// leaves the date as it was, in this run and the next, also when it is written
// again. The measurement that writes it: the task queue and folder-size tests
// and the end-to-end watch.
TEST_F(ItemProgramRegistry, SizeWrittenIntoTheKeyLeavesTheInstallDate) {
    auto dateOf = [](const std::shared_ptr<TTestProgram>& item) {
        return std::get<TInfoDate>(item->GetInfo(piInstallDate)).Value;
    };
    auto now = [] {
        FILETIME time;
        GetSystemTimeAsFileTime(&time);
        return FileTimeToLocalDate(time).value_or(0);
    };
    auto item = Read(L"Undated", {{L"InstallLocation", FScratch.Path.wstring()}});
    const double installed = dateOf(item);
    ASSERT_DOUBLE_EQ(installed,
                     *TRegKey::Open(TRegRoot::CurrentUser, FKey.PathOf(L"Undated")).LastWriteDate());
    for (int64_t size : {3001, 8192}) {
        // Each write a second or more after the one before.
        const double before = now();
        ASSERT_TRUE(testkit::WaitUntil([&] { return now() > before + 1.0 / 86400; }));
        item->Lock();
        item->FEstimatedSize = size;
        item->Unlock();
        item->WriteDataToRegistry();
        EXPECT_EQ(Key(L"Undated").ReadNumber(L"EstimatedSize"), std::optional<DWORD>(size / 1024));
        // The next run reads the key as the size write left it.
        item = Read(L"Undated", {});
        EXPECT_EQ(item->FEstimatedSize, size / 1024 * 1024);
        EXPECT_DOUBLE_EQ(dateOf(item), installed);
    }
}

// An update keeps its native name and its parent's, Windows by default, and
// borrows the icon of the program it belongs to.
TEST_F(ItemProgramRegistry, UpdateKeepsItsNamesAndBorrowsTheIconOfItsProgram) {
    auto patch = Update(L"Patch", L"Editor");
    EXPECT_EQ(Text(*patch, piDisplayName), L"Native Patch") << "the native name, as for programs";
    // The test runs in a Windows 7 prefix and in one reporting Windows XP x64.
    EXPECT_EQ(Update(L"Orphan", L"")->FParentDisplayName,
              IsWindowsVistaOrLater() ? L"Windows 7" : L"Windows XP");

    auto* icons = TItemUpdate::IconList();
    Key(L"Picture Editor").WriteString(L"DisplayIcon", WindowsFolder() + L"\\notepad.exe,0");
    auto editor =
        std::make_shared<TTestProgram>(std::vector{FKey.Entry(L"Picture Editor")}, L"Picture Editor");
    TItemProgram::Items().Add(editor);
    editor->ReadFastInfo();
    editor->ReadImages();
    ASSERT_GE(editor->IconIndex(), 4);

    patch = Update(L"EditorPatch", L"PICTURE editor");
    const int before = icons->Count();
    patch->ReadSlowInfo();
    EXPECT_GT(patch->IconIndex(), 0) << "parent names compare without regard to case";
    EXPECT_TRUE(icons->IsUsed(patch->IconIndex()));
    EXPECT_EQ(icons->Count(), before + 1);

    TItemUpdate::Items().Remove(patch.get());
    const int borrowed = patch->IconIndex();
    patch.reset();
    EXPECT_FALSE(icons->IsUsed(borrowed)) << "a destroyed update gives its icon back";
}

// A value comes from the first key holding it with its type; an
// "InstallProperties" subkey stands in for its key; a localized name is the
// description of the file it names (the sample program, built with the
// tests), a failed read keeps the plain name. The adapter over an item that
// is gone answers the missing product's defaults.
TEST_F(ItemProgramRegistry, ValuesComeFromTheFirstKeyHoldingThemAndTheAdapterOutlivesTheItem) {
    const auto sample = std::filesystem::path(ThisModuleFolder()).parent_path().parent_path().parent_path() /
                        L"fixtures" / L"editor.exe";
    ASSERT_TRUE(std::filesystem::exists(sample));
    Key(L"A").WriteNumber(L"Publisher", 7); // not a string: ignored
    Key(L"A").WriteNumber(L"EstimatedSize", 2048);
    Key(L"B").WriteString(L"Publisher", L"Maker");
    Key(L"B").WriteNumber(L"EstimatedSize", 4096);
    Key(L"C").WriteString(L"Publisher", L"Outer");
    Key(L"C\\InstallProperties").WriteString(L"Publisher", L"Inner");
    Key(L"Localized").WriteString(L"DisplayName_Localized", sample.wstring());
    Key(L"Missing").WriteString(L"DisplayName_Localized", L"C:\\No Such Folder\\nothing.exe");
    std::vector<std::wstring> read;
    for (auto keys : {std::vector<std::wstring>{L"A", L"B"}, {L"C"}, {L"Localized"}, {L"Missing"}}) {
        auto item = ReadKeys(keys);
        read.push_back(Text(*item, piDisplayName) + L", " + Text(*item, piPublisher) + L", " +
                       std::to_wstring(std::get<int64_t>(item->GetInfo(piEstimatedSize))));
    }
    EXPECT_EQ(read, (std::vector<std::wstring>{L"Native name, Maker, 2097152", L"Native name, Inner, 0",
                                               L"Velmora Sample Editor, , 0", L"Native name, , 0"}));

    auto item = ReadKeys({L"B"});
    auto adapter = MakeCom<TItemProductIntf, IProduct>(std::weak_ptr<TItemProduct>(item));
    EXPECT_EQ(testing::InfoText(*adapter, piPublisher), L"Maker");
    item.reset();
    EXPECT_TRUE(testing::InfoValue<VT_NULL>(*adapter, piPublisher, [](const VARIANT&) { return true; }));
    EXPECT_EQ(adapter->GetImageIndex(), -1);
    EXPECT_EQ(adapter->GetPossibleActions(), 0);
}

} // namespace
} // namespace velmora
