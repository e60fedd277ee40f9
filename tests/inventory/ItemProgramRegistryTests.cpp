// Program items read from uninstall keys written by the test under
// HKCU\Software\VelmoraTests\<unique>: owner and company rules, the
// host-folder rule, the install-folder and command checks of the extended
// pass, the Add/Remove Programs cache entry, icons, rating and size.
#include "inventory/ItemProgram.h"
#include "inventory/TaskManager.h"
#include "platform/Module.h"
#include "platform/OSInfo.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
#include "platform/Text.h"

#include "InventoryTestKit.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>

namespace velmora {
namespace {

class TRegProgram : public TItemProgram {
public:
    explicit TRegProgram(std::vector<std::wstring> keys) : TItemProgram(nullptr) {
        FRegistryKeys = std::move(keys);
        FDisplayNameNative = L"Native name";
    }
    using TItemProgram::FEstimatedSize;
    using TItemProgram::FInstallLocation;
    using TItemProgram::FInstallLocationCorrupted;
    using TItemProgram::FLastUsedDate;
    using TItemProgram::FProductID;
    using TItemProgram::FRegisteredCompany;
    using TItemProgram::FRegisteredOwner;
    using TItemProgram::FSlowExePath;
    using TItemProgram::FUsedFrequencyCount;
    using TItemProgram::ReadSlowInfoCache;
};

class ItemProgramRegistry : public ::testing::Test {
protected:
    void SetUp() override {
        TItemProgram::Init();
        FBase = L"Software\\VelmoraTests\\" + testkit::UniqueName(L"H");
    }
    void TearDown() override {
        DeleteKey(TRegRoot::CurrentUser, FBase);
        TItemProgram::Done();
        for (const auto& folder : FFolders)
            std::filesystem::remove_all(folder);
    }
    TRegKey Key(const std::wstring& name) {
        return TRegKey::Create(TRegRoot::CurrentUser, FBase + L"\\" + name, KEY_ALL_ACCESS);
    }
    std::shared_ptr<TRegProgram> Read(std::vector<std::wstring> names) {
        std::vector<std::wstring> keys;
        for (const auto& n : names)
            keys.push_back(RegistryKeyToStr(TRegView::Default, TRegRoot::CurrentUser, FBase + L"\\" + n));
        auto item = std::make_shared<TRegProgram>(std::move(keys));
        TItemProgram::Items().Add(item);
        item->ReadFastInfo();
        return item;
    }
    // A fresh folder with one file in it; answers the file's path.
    std::wstring MakeFile(const wchar_t* fileName) {
        auto folder = std::filesystem::temp_directory_path() / testkit::UniqueName(L"H");
        std::filesystem::create_directories(folder);
        FFolders.push_back(folder);
        std::ofstream(folder / fileName) << "x";
        return (folder / fileName).wstring();
    }
    std::wstring FBase;
    std::vector<std::filesystem::path> FFolders;
};

TEST_F(ItemProgramRegistry, OwnerAndCompanyFollowTheirPrecedence) {
    auto inno = Key(L"Inno");
    inno.WriteString(L"Inno Setup: User", L"Inno User");
    inno.WriteString(L"RegOwner", L"Reg Owner");
    inno.WriteString(L"Inno Setup: Organization", L"Inno Org");
    inno.WriteString(L"RegCompany", L"Reg Company");
    inno.WriteString(L"ProductID", L"12345-OEM");
    inno.WriteString(L"Inno Setup: User Info: Organization", L"Info Org");
    auto reg = Key(L"Reg");
    reg.WriteNumber(L"Inno Setup: User", 5); // not a string: ignored
    reg.WriteExpandString(L"Inno Setup: Organization", L"Expand Org");
    reg.WriteString(L"RegOwner", L"Only Owner");
    reg.WriteString(L"RegCompany", L"Only Company");

    auto a = Read({L"Inno"});
    EXPECT_EQ(a->FRegisteredOwner, L"Inno User");
    EXPECT_EQ(a->FRegisteredCompany, L"Info Org");
    EXPECT_EQ(a->FProductID, L"12345-OEM");
    auto c = Read({L"Reg"});
    EXPECT_EQ(c->FRegisteredOwner, L"Only Owner");
    EXPECT_EQ(c->FRegisteredCompany, L"Only Company");
    EXPECT_EQ(c->FProductID, L"");
    // The first key that has a value wins.
    auto d = Read({L"Reg", L"Inno"});
    EXPECT_EQ(d->FRegisteredOwner, L"Only Owner");
    EXPECT_EQ(d->FProductID, L"12345-OEM");
}

TEST_F(ItemProgramRegistry, EveryProgramMayBeRemovedFromTheRegistryExceptInTheHostFolder) {
    std::wstring uninstaller = MakeFile(L"unins000.exe");
    auto other = Key(L"Other");
    other.WriteString(L"UninstallString", uninstaller);
    other.WriteString(L"InstallLocation", std::filesystem::path(uninstaller).parent_path().wstring());
    auto host = Key(L"Host");
    host.WriteString(L"UninstallString", uninstaller);
    host.WriteString(L"InstallLocation", ThisModuleFolder() + L"Sub");

    auto o = Read({L"Other"});
    EXPECT_NE(o->PossibleActions() & ActionBit(TPossibleActions::paRemoveFromRegistry), 0);
    EXPECT_NE(o->PossibleActions() & ActionBit(TPossibleActions::paModifyRemove), 0);
    auto h = Read({L"Host"});
    EXPECT_EQ(h->PossibleActions(), 0);
    EXPECT_TRUE(TItemProgram::IsInHostFolder(UpperCase(ThisModuleFolder()) + L"X.EXE"));
    EXPECT_FALSE(TItemProgram::IsInHostFolder(L"C:\\Elsewhere\\"));

    // A location that only the extended pass finds in the host folder.
    auto late = Key(L"Late");
    late.WriteString(L"UninstallString", uninstaller);
    auto l = Read({L"Late"});
    ASSERT_NE(l->PossibleActions(), 0);
    l->FSlowExePath = ThisModuleFolder() + L"tool.exe";
    l->ReadExtendedInfo();
    EXPECT_EQ(l->InstallLocation(), ThisModuleFolder());
    EXPECT_EQ(l->PossibleActions(), 0);
}

TEST_F(ItemProgramRegistry, ExtendedPassChecksTheFolderAndTheCommands) {
    std::wstring uninstaller = MakeFile(L"unins000.exe");
    std::wstring folder = std::filesystem::path(uninstaller).parent_path().wstring();
    auto check = [&](const wchar_t* name, auto write) {
        auto key = Key(name);
        write(key);
        auto item = Read({name});
        item->ReadExtendedInfo();
        return item;
    };

    auto sound = check(L"Sound", [&](TRegKey& k) {
        k.WriteString(L"InstallLocation", folder);
        k.WriteString(L"UninstallString", L"\"" + uninstaller + L"\" /S");
        k.WriteString(L"ModifyPath", L"setup.exe /modify"); // no folder: found through the path
    });
    EXPECT_FALSE(sound->FInstallLocationCorrupted);
    EXPECT_EQ(sound->InstallLocation(), folder + L"\\");

    auto byName = check(L"ByName",
                        [&](TRegKey& k) { k.WriteString(L"UninstallString", L"NoSuchInstaller.exe /X{0}"); });
    EXPECT_FALSE(byName->FInstallLocationCorrupted);
    EXPECT_FALSE(byName->IsInstallerMaybeCorrupted());

    auto gone = check(L"Gone", [&](TRegKey& k) {
        k.WriteString(L"InstallLocation", folder);
        k.WriteString(L"UninstallString", folder + L"\\missing.exe /S");
    });
    EXPECT_TRUE(gone->FInstallLocationCorrupted);
    EXPECT_TRUE(gone->IsInstallerMaybeCorrupted());

    auto noFolder = check(L"NoFolder", [&](TRegKey& k) {
        k.WriteString(L"InstallLocation", folder + L"\\NotThere");
        k.WriteString(L"UninstallString", uninstaller);
    });
    EXPECT_TRUE(noFolder->FInstallLocationCorrupted);
}

TEST_F(ItemProgramRegistry, CacheEntryOfTheKeyNameIsMerged) {
    const std::wstring name = testkit::UniqueName(L"VelmoraCache");
    const std::wstring cachePath =
        L"Software\\Microsoft\\Windows\\CurrentVersion\\App Management\\ARPCache\\" + name;
    const std::wstring exe = L"C:\\Tools\\cached.exe";
    // Last used 2020-01-01 12:00 UTC (a FILETIME).
    auto record = testkit::CacheRecord(1, 3 * 1024 * 1024, 132223248000000000ull, 9, exe);
    {
        auto cache = TRegKey::Create(TRegRoot::CurrentUser, cachePath, KEY_ALL_ACCESS);
        ASSERT_TRUE(cache.WriteBinary(L"SlowInfoCache", record.data(), record.size()));
    }
    auto key = Key(name);
    key.WriteString(L"DisplayName", L"Cached");

    auto item = Read({name});
    if (IsWindows7OrLater()) {
        // Windows 7 no longer keeps the cache: it is not read.
        EXPECT_EQ(item->FSlowExePath, L"");
        EXPECT_EQ(item->FUsedFrequencyCount, -1);
        item->ReadSlowInfoCache(name);
    }
    EXPECT_EQ(item->FSlowExePath, exe);
    EXPECT_EQ(item->FEstimatedSize, 3 * 1024 * 1024);
    EXPECT_EQ(item->FUsedFrequencyCount, 9);
    // Local time of that day, whatever the zone.
    EXPECT_NEAR(item->FLastUsedDate, 43831.5, 1.0);

    DeleteKey(TRegRoot::CurrentUser, cachePath);
}

TEST_F(ItemProgramRegistry, ProgramIconsFollowTheFixedOnes) {
    auto* icons = TItemProgram::IconList();
    ASSERT_NE(icons, nullptr);

    wchar_t windows[MAX_PATH];
    GetWindowsDirectoryW(windows, MAX_PATH);
    auto withIcon = Key(L"WithIcon");
    withIcon.WriteString(L"DisplayIcon", std::wstring(windows) + L"\\notepad.exe,0");
    auto missingIcon = Key(L"MissingIcon");
    missingIcon.WriteString(L"DisplayIcon", L"C:\\No Such Folder\\app.ico");

    auto a = Read({L"WithIcon"});
    a->ReadImages();
    EXPECT_GE(a->IconIndex(), 4);
    EXPECT_FALSE(a->IsInstallerMaybeCorrupted());
    auto b = Read({L"MissingIcon"});
    b->ReadImages();
    EXPECT_EQ(b->IconIndex(), 3);
    EXPECT_TRUE(b->IsInstallerMaybeCorrupted());

    // A destroyed program gives its icon back.
    const int used = a->IconIndex();
    TItemProgram::Items().Remove(a.get());
    a.reset();
    EXPECT_FALSE(icons->IsUsed(used));
}

// The test runs next to the reputation component's stand-in: files under a
// "risky" folder are risky, the maker "Velmora" is trustworthy.
TEST_F(ItemProgramRegistry, SlowPassRatesTheProgramFileBeforeItsPublisher) {
    auto rate = [&](const wchar_t* name, const wchar_t* slowExe, const wchar_t* publisher) {
        auto key = Key(name);
        if (*publisher)
            key.WriteString(L"Publisher", publisher);
        auto item = Read({name});
        item->FSlowExePath = slowExe;
        item->ReadSlowInfo();
        EXPECT_FALSE(item->IsNeedReadSlowInfo());
        return std::get<int32_t>(item->GetInfo(21));
    };
    const auto risky = static_cast<int32_t>(TSoftwareRating::stRisky);
    const auto trusted = static_cast<int32_t>(TSoftwareRating::stTrustWorthy);
    const auto unknown = static_cast<int32_t>(TSoftwareRating::stUnknown);
    EXPECT_EQ(rate(L"RiskyFile", L"C:\\Apps\\risky\\a.exe", L"Velmora"), risky);
    EXPECT_EQ(rate(L"TrustedMaker", L"C:\\Apps\\plain\\a.exe", L"Velmora"), trusted);
    EXPECT_EQ(rate(L"MakerOnly", L"", L"Velmora"), trusted);
    EXPECT_EQ(rate(L"Nothing", L"", L"Someone"), unknown);
}

TEST_F(ItemProgramRegistry, UnknownSizeIsMeasuredInTheBackgroundAndWrittenBack) {
    std::wstring file = MakeFile(L"app.exe");
    std::filesystem::path folder = std::filesystem::path(file).parent_path();
    std::filesystem::create_directories(folder / L"data");
    std::ofstream(folder / L"data" / L"big.bin") << std::string(5000, 'b');
    auto sized = Key(L"Sized");
    sized.WriteString(L"InstallLocation", folder.wstring());
    auto programFiles = Key(L"ProgramFiles");
    programFiles.WriteString(L"InstallLocation", ProgramFilesFolder());

    auto measured = Read({L"Sized"});
    auto skipped = Read({L"ProgramFiles"});
    for (auto& item : {measured, skipped}) {
        item->ReadExtendedInfo();
        item->ReadImages();
        item->ReadSlowInfo();
    }
    auto size = [](TRegProgram& item) {
        item.Lock();
        int64_t bytes = item.FEstimatedSize;
        item.Unlock();
        return bytes;
    };
    ASSERT_TRUE(testkit::WaitUntil([&] { return size(*measured) == 5001; }));
    EXPECT_TRUE(measured->TakeChanged());
    EXPECT_TRUE(testkit::WaitUntil([&] { return Key(L"Sized").ReadNumber(L"EstimatedSize") == 4u; }))
        << "written back in kilobytes";
    TTaskManager::Instance().WaitQueue(skipped.get());
    EXPECT_EQ(size(*skipped), 0) << "the Program Files folder itself is never measured";
}

} // namespace
} // namespace velmora
