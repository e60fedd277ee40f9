#pragma once
// The machine of the Windows tests: keys, folders, services and programs of
// the test's own in the prefix's real system folders and registry, each
// removed afterwards; two programs of one vendor side by side; snapshots that
// compare what a program owns; the installer-data scanner's package.
#include "tests/kits/ShortcutKit.h"
#include "tests/msi/MsiTestKit.h"
#include "tests/platform/ScratchKit.h"

#include "platform/ChildProcess.h"
#include "platform/Files.h"
#include "platform/Handles.h"
#include "platform/Module.h"
#include "platform/Paths.h"
#include "platform/PathText.h"
#include "platform/Registry.h"
#include "tests/TestBase.h"

#include <windows.h>

#include <msiquery.h>
#include <shlobj.h>

namespace velmora::testing {

namespace fs = std::filesystem;

inline constexpr wchar_t UninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
inline constexpr wchar_t SharedDllsKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

// What a test sets up on its machine and takes away when it ends: never copied.
struct TMachinePart {
    TMachinePart() = default;
    TMachinePart(const TMachinePart&) = delete;
    TMachinePart& operator=(const TMachinePart&) = delete;
};

// The key (in the 64-bit view unless told), made as needed.
inline TRegKey CreateKey(TRegRoot root, const std::wstring& path, TRegView view = TRegView::x64) {
    return TRegKey::CreateOrThrow(RootKey(root), path, KEY_READ | KEY_WRITE, view);
}

// A string value of a machine's table, and the table written; false when a value was not.
struct TStringRow {
    TRegRoot Root;
    std::wstring Key, Name, Data;
};
inline bool WriteStrings(const std::vector<TStringRow>& rows) {
    return std::ranges::all_of(rows, [](const TStringRow& row) {
        return CreateKey(row.Root, row.Key).WriteString(row.Name, row.Data);
    });
}

// Writes a file of `size` bytes (folders made as needed); its full path.
inline std::wstring WriteFile(const std::wstring& path, size_t size) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(fs::path(path), std::ios::binary) << std::string(size, 'x');
    return path;
}

// The path's folder lists an entry of that name (also a link, whatever its target).
inline bool Listed(const std::wstring& path) {
    WIN32_FIND_DATAW data;
    HANDLE found = FindFirstFileW(ExcludeTrailingBackslash(path).c_str(), &data);
    if (found == INVALID_HANDLE_VALUE)
        return false;
    FindClose(found);
    return true;
}

// A demand-start service registered for the test, deleted afterwards.
class TTestService : TMachinePart {
public:
    explicit TTestService(const std::wstring& path) {
        unique_schandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
        unique_schandle service(CreateServiceW(manager.get(), FName.c_str(), (FName + L" display").c_str(),
                                               SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                               SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE, path.c_str(),
                                               nullptr, nullptr, nullptr, nullptr, nullptr));
        if (!service)
            ADD_FAILURE() << "CreateServiceW failed: " << GetLastError();
    }
    ~TTestService() { Delete(); }

    const std::wstring& Name() const { return FName; }
    bool Exists() const { return static_cast<bool>(Open(SERVICE_QUERY_STATUS)); }
    void Delete() const {
        if (unique_schandle service = Open(DELETE))
            DeleteService(service.get());
    }

private:
    unique_schandle Open(DWORD access) const {
        unique_schandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
        return unique_schandle(OpenServiceW(manager.get(), FName.c_str(), access));
    }
    const std::wstring FName = UniqueName(L"VelmoraScanTest");
};

// A copy of the waiting console double beside the test, started from a
// folder; ended afterwards if it still runs.
class TWaitingProgram : TMachinePart {
public:
    explicit TWaitingProgram(const std::wstring& folder) : FProgram(folder + L"worker.exe") {
        fs::create_directories(folder);
        fs::copy_file(ThisModuleFolder() + L"console_double.exe", FProgram);
        TChildStart start;
        start.Application = FProgram;
        start.CommandLine = L"\"" + FProgram + L"\" wait";
        start.CreationFlags = DETACHED_PROCESS;
        FChild = StartChildProcess(start);
    }
    ~TWaitingProgram() {
        if (FChild) {
            TerminateProcess(FChild->Process.get(), 0);
            WaitForSingleObject(FChild->Process.get(), 5000);
        }
    }

    // The copy that runs.
    const std::wstring& Program() const { return FProgram; }
    bool Started() const { return FChild.has_value(); }
    bool EndsWithin(DWORD milliseconds) const {
        return WaitForSingleObject(FChild->Process.get(), milliseconds) == WAIT_OBJECT_0;
    }

private:
    std::wstring FProgram;
    std::optional<TChildProcess> FChild;
};

// An uninstall entry (64-bit view of HKEY_LOCAL_MACHINE, the display name as
// its key name) whose uninstaller is missing; deleted afterwards. It records
// a size, so that the inventory does not measure the folder and write one back.
class TUninstallEntry : TMachinePart {
public:
    TUninstallEntry(const std::wstring& displayName, const std::wstring& installLocation,
                    const std::wstring& publisher)
        : KeyPath(std::wstring(UninstallKey) + L"\\" + displayName) {
        const TRegKey key = TRegKey::Create(TRegRoot::LocalMachine, KeyPath, KEY_WRITE, TRegView::x64);
        if (!key.WriteString(L"DisplayName", displayName) ||
            !key.WriteString(L"InstallLocation", installLocation) ||
            !key.WriteString(L"Publisher", publisher) || !key.WriteNumber(L"EstimatedSize", 64) ||
            !key.WriteString(L"UninstallString",
                             L"\"" + IncludeTrailingBackslash(installLocation) + L"uninstall.exe\" /remove"))
            ADD_FAILURE() << "uninstall entry not written: " << Narrow(KeyPath);
    }
    ~TUninstallEntry() { DeleteKey(TRegRoot::LocalMachine, KeyPath, TRegView::x64); }

    bool Exists() const { return KeyExists(TRegRoot::LocalMachine, KeyPath, TRegView::x64); }
    const std::wstring KeyPath; // below HKEY_LOCAL_MACHINE
};

// A value of the system's shared-DLL list (64-bit view); deleted afterwards.
class TSharedDllCount : TMachinePart {
public:
    TSharedDllCount(std::wstring path, DWORD count) : Path(std::move(path)) {
        if (!TRegKey::Create(TRegRoot::LocalMachine, SharedDllsKey, KEY_WRITE, TRegView::x64)
                 .WriteNumber(Path, count))
            ADD_FAILURE() << "shared-DLL count not written: " << Narrow(Path);
    }
    ~TSharedDllCount() {
        TRegKey::Open(TRegRoot::LocalMachine, SharedDllsKey, KEY_WRITE, TRegView::x64).DeleteValue(Path);
    }

    std::optional<DWORD> Count() const {
        return TRegKey::Open(TRegRoot::LocalMachine, SharedDllsKey, KEY_READ, TRegView::x64).ReadNumber(Path);
    }
    const std::wstring Path;
};

namespace detail {

inline std::string UnixPath(const std::wstring& path) {
    using TToUnix = char*(CDECL*)(LPCWSTR);
    auto toUnix = ModuleFunction<TToUnix>(L"kernel32.dll", "wine_get_unix_file_name");
    char* unix = toUnix ? toUnix(ExcludeTrailingBackslash(path).c_str()) : nullptr;
    if (!unix)
        throw std::runtime_error("no Unix path for " + Narrow(path));
    std::string result(unix);
    HeapFree(GetProcessHeap(), 0, unix);
    return result;
}

// Starts one of the host's own tools with Unix paths as arguments, and waits
// for its effect: Wine hands back no usable handle of a Unix process.
inline void RunHostTool(const char* tool, const std::vector<std::string>& arguments, bool listedAfter,
                        const std::wstring& path) {
    using TToDos = WCHAR*(CDECL*)(LPCSTR);
    auto toDos = ModuleFunction<TToDos>(L"kernel32.dll", "wine_get_dos_file_name");
    ASSERT_NE(toDos, nullptr);
    WCHAR* dos = toDos(tool);
    ASSERT_NE(dos, nullptr);
    std::wstring program(dos), commandLine = Widen(tool);
    HeapFree(GetProcessHeap(), 0, dos);
    for (const auto& argument : arguments)
        commandLine += L" \"" + Widen(argument) + L"\"";
    STARTUPINFOW startup{sizeof(startup)};
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &process))
        << GetLastError();
    EXPECT_TRUE(WaitUntil([&] { return Listed(path) == listedAfter; })) << Narrow(path);
}

inline std::wstring In(const std::wstring& base, std::initializer_list<std::wstring_view> parts) {
    std::wstring path = IncludeTrailingBackslash(base);
    for (auto part : parts)
        path += std::wstring(part) + L"\\";
    return path;
}

} // namespace detail

// Two programs of one vendor side by side, under a vendor name no other test
// uses; removed afterwards:
//   Program Files\<vendor>\A\        a.exe, lib\a.dll, "shared" (a folder link into B's data)
//   Program Files\<vendor>\B\        b.exe, data\b.dat
//   roaming app data\<vendor>\<NameA> and ...\<NameB>, a file in each
//   local app data\<vendor>\Cache\<NameA>     (three levels deep)
//   common app data\<vendor>\<NameA in upper case>   (not A's: other letter case)
// The link is a Unix symbolic link made by the host's own tool (Windows code
// cannot make one under Wine); it lists as a folder with the reparse-point bit.
class TTwoPrograms : TMachinePart {
public:
    TTwoPrograms()
        : Vendor(UniqueName(L"VelmoraScan")), NameA(Vendor + L" Alpha"), NameB(Vendor + L" Beta"),
          InstallA(detail::In(ProgramFilesFolder(), {Vendor, L"A"})),
          InstallB(detail::In(ProgramFilesFolder(), {Vendor, L"B"})),
          RoamingA(detail::In(AppDataFolder(), {Vendor, NameA})),
          RoamingB(detail::In(AppDataFolder(), {Vendor, NameB})),
          LocalA(detail::In(LocalAppDataFolder(), {Vendor, L"Cache", NameA})),
          CommonOtherCaseA(detail::In(CommonAppDataFolder(), {Vendor, UpperCase(NameA)})),
          LinkInA(InstallA + L"shared"), AExe(WriteFile(InstallA + L"a.exe", 100)),
          ADll(WriteFile(InstallA + L"lib\\a.dll", 200)), BExe(WriteFile(InstallB + L"b.exe", 300)),
          RoamingAFile(WriteFile(RoamingA + L"settings.ini", 10)),
          RoamingBFile(WriteFile(RoamingB + L"settings.ini", 20)),
          LocalAFile(WriteFile(LocalA + L"cache.bin", 30)) {
        WriteFile(InstallB + L"data\\b.dat", 400);
        WriteFile(CommonOtherCaseA + L"shared.bin", 40);
        detail::RunHostTool("/bin/ln",
                            {"-s", detail::UnixPath(InstallB + L"data"), detail::UnixPath(LinkInA)}, true,
                            LinkInA);
    }

    ~TTwoPrograms() {
        // The link first: Windows calls act on its target under Wine.
        detail::RunHostTool("/bin/rm", {"-f", detail::UnixPath(LinkInA)}, false, LinkInA);
        std::error_code ignored;
        for (const auto& base :
             {ProgramFilesFolder(), AppDataFolder(), LocalAppDataFolder(), CommonAppDataFolder()})
            fs::remove_all(fs::path(detail::In(base, {Vendor})), ignored);
    }

    const std::wstring Vendor;
    const std::wstring NameA, NameB;       // display names
    const std::wstring InstallA, InstallB; // with trailing "\"
    const std::wstring RoamingA, RoamingB, LocalA, CommonOtherCaseA;
    const std::wstring LinkInA; // A's folder link into B's data, without trailing "\"
    std::wstring AExe, ADll, BExe, RoamingAFile, RoamingBFile, LocalAFile;
};

// The two programs as installed: an uninstall entry each, their shortcuts in
// one vendor folder of the common Programs menu and on the user's and the
// all-users desktop, a service each whose program lies in its folder, and
// shared DLLs: in A's folder one that another program holds too (count 2,
// its path recorded in upper case, as installers write paths in their own
// letter case) and one only A holds (count 1), in B's one of B's (count 1).
// A program is running from A's folder.
class TVendorMachine : TMachinePart {
public:
    TVendorMachine()
        : EntryA(Programs.NameA, Programs.InstallA, Programs.Vendor),
          EntryB(Programs.NameB, Programs.InstallB, Programs.Vendor),
          MenuFolder(detail::In(SpecialFolder(CSIDL_COMMON_PROGRAMS), {Programs.Vendor})),
          LinksA(Links(MenuFolder + L"A", Programs.NameA)), LinksB(Links(MenuFolder + L"B", Programs.NameB)),
          ServiceA(L"\"" + WriteFile(Programs.InstallA + L"a-agent.exe", 500) + L"\" -service"),
          ServiceB(L"\"" + WriteFile(Programs.InstallB + L"b-agent.exe", 700) + L"\" -service"),
          SharedTwiceA(UpperCase(WriteFile(Programs.InstallA + L"common.dll", 800)), 2),
          SharedOnceA(WriteFile(Programs.InstallA + L"alpha-runtime.dll", 900), 1),
          SharedOnceB(WriteFile(Programs.InstallB + L"beta-runtime.dll", 1000), 1),
          ProcessA(Programs.InstallA) {
        for (size_t i = 0; i < LinksA.size(); ++i) {
            WriteShortcut(LinksA[i], Programs.AExe);
            WriteShortcut(LinksB[i], Programs.BExe);
        }
    }

    ~TVendorMachine() {
        std::error_code ignored;
        fs::remove_all(fs::path(MenuFolder), ignored);
        for (const auto* links : {&LinksA, &LinksB})
            for (const auto& link : *links)
                fs::remove(link, ignored);
    }

    static std::vector<std::wstring> Links(const std::wstring& inMenu, const std::wstring& name) {
        return {inMenu + L".lnk",
                IncludeTrailingBackslash(SpecialFolder(CSIDL_DESKTOPDIRECTORY)) + name + L".lnk",
                IncludeTrailingBackslash(SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY)) + name +
                    L" for all.lnk"};
    }

    TTwoPrograms Programs;
    const TUninstallEntry EntryA, EntryB;
    const std::wstring MenuFolder;
    // A program's shortcuts: in the menu folder, on the user's and on the all-users desktop.
    const std::vector<std::wstring> LinksA, LinksB;
    const TTestService ServiceA, ServiceB;
    const TSharedDllCount SharedTwiceA, SharedOnceA, SharedOnceB;
    const TWaitingProgram ProcessA;
};

// What programs own on the machine, byte for byte: files (content and
// attributes), folders (attributes), links, registry values and service
// configurations, keyed by a readable name, so that two snapshots compare
// entry by entry.
class TMachineSnapshot {
public:
    // The folder and everything below it; a link is one entry, not entered.
    void AddFolder(const std::wstring& folder) {
        const std::wstring base = IncludeTrailingBackslash(folder);
        const DWORD attributes = GetFileAttributesW(base.c_str());
        FEntries[L"folder " + base] =
            attributes == INVALID_FILE_ATTRIBUTES ? Absent : std::to_string(attributes);
        if (attributes == INVALID_FILE_ATTRIBUTES)
            return;
        for (const TFindData& entry : FindFiles(base + L"*")) {
            const std::wstring path = base + std::wstring(entry.Name());
            if (entry.IsFolder() && entry.IsReparsePoint())
                FEntries[L"link " + path] = "";
            else if (entry.IsFolder())
                AddFolder(path);
            else
                AddFile(path);
        }
    }
    // One file's content, or its absence.
    void AddFile(const std::wstring& path) {
        std::ifstream file(fs::path(path), std::ios::binary);
        FEntries[L"file " + path] =
            file ? std::to_string(GetFileAttributesW(path.c_str())) + ":" +
                       std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>())
                 : Absent;
    }
    // Every value of the key and of its subkeys, or the key's absence.
    void AddKey(TRegRoot root, const std::wstring& path, TRegView view = TRegView::x64) {
        const TRegKey key = TRegKey::Open(root, path, KEY_READ, view);
        FEntries[L"key " + KeyName(root, path, view)] = key ? "" : Absent;
        if (!key)
            return;
        AddValues(root, path, {}, view);
        for (const std::wstring& sub : key.SubKeyNames().ToVector())
            AddKey(root, path + L"\\" + sub, view);
    }
    // Every value of the key except those named.
    void AddValues(TRegRoot root, const std::wstring& path, const std::vector<std::wstring>& except = {},
                   TRegView view = TRegView::x64) {
        TRegKey::Open(root, path, KEY_READ, view).ForEachValue([&](const auto& name, const auto& data) {
            if (std::find(except.begin(), except.end(), name) == except.end())
                FEntries[L"value " + KeyName(root, path, view) + L"\\" + name] = ValueText(data);
        });
    }
    // The service's configuration, as the service manager keeps it in the registry.
    void AddService(const std::wstring& name) {
        AddKey(TRegRoot::LocalMachine, L"SYSTEM\\CurrentControlSet\\Services\\" + name);
    }
    // The entries that differ, one line each ("changed", "gone" or "new").
    std::vector<std::string> DifferencesTo(const TMachineSnapshot& later) const {
        std::vector<std::string> differences;
        for (const auto& [name, content] : FEntries) {
            auto found = later.FEntries.find(name);
            if (found == later.FEntries.end() || (found->second == Absent && content != Absent))
                differences.push_back("gone: " + Narrow(name));
            else if (found->second != content)
                differences.push_back("changed: " + Narrow(name));
        }
        for (const auto& [name, content] : later.FEntries)
            if (!FEntries.contains(name))
                differences.push_back("new: " + Narrow(name));
        return differences;
    }

private:
    static constexpr char Absent[] = "<absent>";
    static std::string ValueText(const TRegValue& value) {
        return std::to_string(value.Type) + ":" +
               std::string(reinterpret_cast<const char*>(value.Data.data()), value.Data.size());
    }
    static std::wstring KeyName(TRegRoot root, const std::wstring& path, TRegView view) {
        return RegistryKeyToStr(ViewAccess(view), RootKey(root), path);
    }

    std::map<std::wstring, std::string> FEntries;
};

// The installer-data scanner's test package, VelmoraScanTest.msi beside the
// test, completed with the file type wixl cannot write (the extension ".vscan"
// of the ProgID "VelmoraScanTest.Document") and installed with the prefix's msiexec.
inline constexpr wchar_t ScanProductCode[] = L"{6A1D3C52-9B47-4E0F-8C21-5D7E9F0A1B34}";
inline constexpr wchar_t ScanProductName[] = L"Velmora Scan Test";
// The packed upgrade code's key below HKEY_CLASSES_ROOT\Installer\UpgradeCodes.
inline constexpr wchar_t ScanPackedUpgradeCode[] = L"14F2E8B3D5C6B7A4E901F2D4C6A8B075";
// The package's install folder, with a trailing "\\".
inline std::wstring ScanInstallDir() {
    return detail::In(SpecialFolder(CSIDL_PROGRAM_FILES), {ScanProductName});
}

namespace detail {

// A failed step of msi.dll, named.
inline void Check(UINT code, const wchar_t* step) {
    if (code != ERROR_SUCCESS)
        throw std::runtime_error(Narrow(Format(L"%s failed: %d", step, static_cast<int>(code))));
}

inline void AddFileType(const std::wstring& path) {
    PMSIHANDLE database;
    Check(MsiOpenDatabaseW(path.c_str(), MSIDBOPEN_TRANSACT, &database), L"open package");
    for (const wchar_t* sql :
         {L"CREATE TABLE `ProgId` (`ProgId` CHAR(255) NOT NULL, `ProgId_Parent` CHAR(255), `Class_` "
          L"CHAR(38), "
          L"`Description` CHAR(255), `Icon_` CHAR(72), `IconIndex` SHORT PRIMARY KEY `ProgId`)",
          L"INSERT INTO `ProgId` (`ProgId`, `Description`) "
          L"VALUES ('VelmoraScanTest.Document', 'Scan test document')",
          L"CREATE TABLE `Extension` (`Extension` CHAR(255) NOT NULL, `Component_` CHAR(72) NOT NULL, "
          L"`ProgId_` CHAR(255), `MIME_` CHAR(64), `Feature_` CHAR(38) NOT NULL PRIMARY KEY `Extension`, "
          L"`Component_`)",
          L"INSERT INTO `Extension` (`Extension`, `Component_`, `ProgId_`, `Feature_`) "
          L"VALUES ('vscan', 'ScanFiles', 'VelmoraScanTest.Document', 'Complete')"}) {
        PMSIHANDLE view;
        Check(MsiDatabaseOpenViewW(database, sql, &view), sql);
        Check(MsiViewExecute(view, 0), sql);
    }
    Check(MsiDatabaseCommit(database), L"commit package");
}

} // namespace detail

inline void UninstallScanPackage() {
    Uninstall(ScanProductCode);
}

// Installs the package (a copy, completed); empty, or what failed.
inline std::wstring InstallScanPackage() {
    UninstallScanPackage();
    const auto completed =
        Format(L"%sVelmoraScanTest-%d.msi", TempFolder(), static_cast<int>(GetCurrentProcessId()));
    std::wstring failure;
    try {
        if (!CopyFileW((ThisModuleFolder() + L"VelmoraScanTest.msi").c_str(), completed.c_str(), FALSE))
            failure = L"VelmoraScanTest.msi missing next to the test";
        else {
            detail::AddFileType(completed);
            if (intptr_t code = RunMsiexec(L"/i", completed))
                failure = Format(L"msiexec /i %s answered %d", completed, static_cast<int>(code));
        }
    } catch (const std::exception& e) {
        failure = L"Completing the package failed: " + Widen(e.what());
    }
    DeleteFileW(completed.c_str());
    return failure;
}

} // namespace velmora::testing
