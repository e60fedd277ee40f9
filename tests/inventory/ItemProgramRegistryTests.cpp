// Program items read from uninstall keys written by the test under
// HKCU\Software\VelmoraTests\<unique>: owner and company rules, the
// host-folder rule, the install-folder and command checks of the extended
// pass, the Add/Remove Programs cache entry and the program indices of the
// adapter.
#include "frame/Globals.h"
#include "inventory/ItemProductIntf.h"
#include "inventory/ItemProgram.h"
#include "inventory/TaskManager.h"
#include "platform/ComObject.h"
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
    using TItemProgram::FProductCodeNotFound;
    using TItemProgram::FProductID;
    using TItemProgram::FRegisteredCompany;
    using TItemProgram::FRegisteredOwner;
    using TItemProgram::FSlowExePath;
    using TItemProgram::FUsedFrequencyCount;
    using TItemProgram::ReadSlowInfoCache;
    void SetGUID(std::wstring guid) { FGUID = std::move(guid); }
};

std::wstring TestName(const wchar_t* prefix) {
    static int serial = 0;
    return prefix + std::to_wstring(GetCurrentProcessId()) + L"_" + std::to_wstring(GetTickCount()) + L"_" +
           std::to_wstring(++serial);
}

class ItemProgramRegistry : public ::testing::Test {
protected:
    void SetUp() override {
        TItemProgram::Init();
        FBase = L"Software\\VelmoraTests\\" + TestName(L"H");
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
        auto folder = std::filesystem::temp_directory_path() / TestName(L"H");
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
    auto full = Key(L"Full");
    full.WriteString(L"Inno Setup: User Info: Name", L"Info Name");
    full.WriteString(L"Inno Setup: User", L"Inno User");
    full.WriteString(L"Inno Setup: User Info: Organization", L"Info Org");
    full.WriteString(L"Inno Setup: Organization", L"Inno Org");
    auto reg = Key(L"Reg");
    reg.WriteNumber(L"Inno Setup: User", 5); // not a string: ignored
    reg.WriteExpandString(L"Inno Setup: Organization", L"Expand Org");
    reg.WriteString(L"RegOwner", L"Only Owner");
    reg.WriteString(L"RegCompany", L"Only Company");

    auto a = Read({L"Inno"});
    EXPECT_EQ(a->FRegisteredOwner, L"Inno User");
    EXPECT_EQ(a->FRegisteredCompany, L"Inno Org");
    EXPECT_EQ(a->FProductID, L"12345-OEM");
    auto b = Read({L"Full"});
    EXPECT_EQ(b->FRegisteredOwner, L"Info Name");
    EXPECT_EQ(b->FRegisteredCompany, L"Info Org");
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

    auto goneRepair = check(L"GoneRepair", [&](TRegKey& k) {
        k.WriteString(L"UninstallString", uninstaller);
        k.WriteString(L"RepairPath", L"\"C:\\No Such Folder\\repair.exe\"");
    });
    EXPECT_TRUE(goneRepair->FInstallLocationCorrupted);

    auto noFolder = check(L"NoFolder", [&](TRegKey& k) {
        k.WriteString(L"InstallLocation", folder + L"\\NotThere");
        k.WriteString(L"UninstallString", uninstaller);
    });
    EXPECT_TRUE(noFolder->FInstallLocationCorrupted);
}

TEST_F(ItemProgramRegistry, CacheEntryOfTheKeyNameIsMerged) {
    const std::wstring name = TestName(L"VelmoraCache");
    const std::wstring cachePath =
        L"Software\\Microsoft\\Windows\\CurrentVersion\\App Management\\ARPCache\\" + name;
    std::vector<uint8_t> record(552, 0);
    auto put = [&](size_t offset, uint64_t value, size_t size) {
        for (size_t i = 0; i < size; ++i)
            record[offset + i] = static_cast<uint8_t>(value >> (8 * i));
    };
    put(0, 552, 4);
    put(4, 1, 4);
    put(8, 3 * 1024 * 1024, 8);
    // 2020-01-01 12:00 UTC as FILETIME.
    put(16, 132223248000000000ull, 8);
    put(24, 9, 4);
    const std::wstring exe = L"C:\\Tools\\cached.exe";
    for (size_t i = 0; i < exe.size(); ++i)
        put(28 + 2 * i, exe[i], 2);
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

    // A record of another size is ignored.
    record.push_back(0);
    TRegKey::Open(TRegRoot::CurrentUser, cachePath, KEY_ALL_ACCESS)
        .WriteBinary(L"SlowInfoCache", record.data(), record.size());
    auto ignored = std::make_shared<TRegProgram>(std::vector<std::wstring>{});
    ignored->ReadSlowInfoCache(name);
    EXPECT_EQ(ignored->FSlowExePath, L"");
    EXPECT_EQ(ignored->FUsedFrequencyCount, -1);
    DeleteKey(TRegRoot::CurrentUser, cachePath);
}

TEST_F(ItemProgramRegistry, UnknownProductCodeCountsOnlyForInstallerManagedProducts) {
    auto read = [&](const wchar_t* name, bool installer) {
        auto key = Key(name);
        key.WriteNumber(L"WindowsInstaller", installer ? 1 : 0);
        key.WriteString(L"InstallLocation", L"");
        auto item = Read({name});
        item->SetGUID(L"not a product code");
        item->ReadExtendedInfo();
        return item;
    };
    EXPECT_TRUE(read(L"Managed", true)->FProductCodeNotFound);
    EXPECT_FALSE(read(L"Plain", false)->FProductCodeNotFound);
    // A well-formed code that is simply not installed is no fault.
    auto key = Key(L"Absent");
    key.WriteNumber(L"WindowsInstaller", 1);
    auto absent = Read({L"Absent"});
    absent->SetGUID(L"{6A1C2E9B-0D44-4F1E-9C3B-7E5D2A8F0B11}");
    absent->ReadExtendedInfo();
    EXPECT_FALSE(absent->FProductCodeNotFound);
    EXPECT_EQ(absent->InstallLocation(), L"");
}

TEST_F(ItemProgramRegistry, ProgramIconsFollowTheFixedOnes) {
    auto* icons = TItemProgram::IconList();
    ASSERT_NE(icons, nullptr);
    EXPECT_EQ(icons->InitIconCount(), 4);
    EXPECT_EQ(icons->Count(), 4);

    wchar_t windows[MAX_PATH];
    GetWindowsDirectoryW(windows, MAX_PATH);
    auto withIcon = Key(L"WithIcon");
    withIcon.WriteString(L"DisplayIcon", std::wstring(windows) + L"\\notepad.exe,0");
    auto missingIcon = Key(L"MissingIcon");
    missingIcon.WriteString(L"DisplayIcon", L"C:\\No Such Folder\\app.ico");
    auto noIcon = Key(L"NoIcon");
    noIcon.WriteString(L"DisplayName", L"Plain");

    auto a = Read({L"WithIcon"});
    a->ReadImages();
    EXPECT_GE(a->IconIndex(), 4);
    EXPECT_FALSE(a->IsInstallerMaybeCorrupted());
    auto b = Read({L"MissingIcon"});
    b->ReadImages();
    EXPECT_EQ(b->IconIndex(), 3);
    EXPECT_TRUE(b->IsInstallerMaybeCorrupted());
    auto c = Read({L"NoIcon"});
    c->ReadImages();
    EXPECT_EQ(c->IconIndex(), 3);
    EXPECT_FALSE(c->IsInstallerMaybeCorrupted());

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

TEST_F(ItemProgramRegistry, ProgramWithoutFolderHasNoUsageData) {
    auto key = Key(L"NoFolder");
    auto item = Read({L"NoFolder"});
    item->FUsedFrequencyCount = 9;
    item->ReadSlowInfo();
    EXPECT_EQ(item->FUsedFrequencyCount, -1);
    EXPECT_EQ(std::get<int32_t>(item->GetInfo(20)), static_cast<int32_t>(TUsedType::utNone));
}

// The test program itself stands for the cached program file (its version
// resource names a maker, a product version and German).
TEST_F(ItemProgramRegistry, CachedProgramFileFillsOnlyTheMissingDetails) {
    const std::wstring exe = ThisModuleFileName();
    auto bare = Key(L"Bare");
    bare.WriteString(L"DisplayName", L"Bare");
    auto own = Key(L"Own");
    own.WriteString(L"Publisher", L"Own Maker");
    own.WriteString(L"DisplayVersion", L"9.9");
    own.WriteNumber(L"Language", 0x0409);

    auto a = Read({L"Bare"});
    a->FSlowExePath = exe;
    a->ReadExtendedInfo();
    EXPECT_EQ(std::get<std::wstring>(a->GetInfo(2)), L"Velmora Test Maker");
    EXPECT_EQ(std::get<std::wstring>(a->GetInfo(1)), L"3.1 test");
    EXPECT_FALSE(std::get<std::wstring>(a->GetInfo(13)).empty());
    EXPECT_EQ(std::get<std::wstring>(a->GetInfo(13)), DLLGlobals::LocaleIDToString(0x0407));
    EXPECT_EQ(a->InstallLocation(), ThisModuleFolder());

    auto b = Read({L"Own"});
    b->FSlowExePath = exe;
    b->ReadExtendedInfo();
    EXPECT_EQ(std::get<std::wstring>(b->GetInfo(2)), L"Own Maker");
    EXPECT_EQ(std::get<std::wstring>(b->GetInfo(1)), L"9.9");
    EXPECT_EQ(std::get<std::wstring>(b->GetInfo(13)), DLLGlobals::LocaleIDToString(0x0409));
}

TEST_F(ItemProgramRegistry, AdapterAnswersTheProgramIndices) {
    auto key = Key(L"Indexed");
    key.WriteString(L"RegOwner", L"Owner Name");
    key.WriteString(L"RegCompany", L"Company Name");
    auto item = Read({L"Indexed"});
    auto adapter = MakeCom<TItemProductIntf, IProduct>(std::weak_ptr<TItemProduct>(item));
    VARIANT value;
    VariantInit(&value);
    adapter->GetInfo(15, &value);
    ASSERT_EQ(value.vt, VT_BSTR);
    EXPECT_STREQ(value.bstrVal, L"Owner Name");
    VariantClear(&value);
    adapter->GetInfo(16, &value);
    ASSERT_EQ(value.vt, VT_BSTR);
    EXPECT_STREQ(value.bstrVal, L"Company Name");
    VariantClear(&value);
    adapter->GetInfo(20, &value);
    ASSERT_EQ(value.vt, VT_I4);
    EXPECT_EQ(value.lVal, static_cast<int32_t>(TUsedType::utNone));
    adapter->GetInfo(21, &value);
    ASSERT_EQ(value.vt, VT_I4);
    EXPECT_EQ(value.lVal, static_cast<int32_t>(TSoftwareRating::stUnknown));
    adapter->GetInfo(22, &value);
    EXPECT_EQ(value.vt, VT_NULL);
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
