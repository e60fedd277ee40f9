// Times the forced removal's scan of a program's files (TFRAppFiles, with the
// system's shared-DLL list and shared folders) against the floor: a plain
// FindFirstFileW/FindNextFileW recursion over the same folder that collects
// each path and size. One untimed walk first, so that both meet a warm file
// system. Then the registry scanners (TFRExtData and TFRAppRegData, seeing
// the files the file scan listed) against their floor: a raw enumeration of
// the same keys in both views that opens each, lists its subkeys and reads
// the values the scanners read. Prints "name value" lines (milliseconds,
// counts, bytes) for bench/run-bench.py; the counts take in the program
// folder itself.
// Usage: ScanTimes.exe PROGRAM_FOLDER (with a trailing "\").
#include "forceremove/AppFiles.h"
#include "forceremove/AppFolders.h"
#include "forceremove/AppRegData.h"
#include "forceremove/ExtData.h"
#include "forceremove/FileList.h"
#include "forceremove/IDList.h"
#include "forceremove/RegList.h"
#include "forceremove/RegistrySource.h"
#include "forceremove/SharedDlls.h"
#include "forceremove/SharedFolders.h"
#include "platform/OSInfo.h"
#include "platform/Paths.h"

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <string>
#include <utility>
#include <vector>

using namespace velmora;
using Clock = std::chrono::steady_clock;

namespace {

struct TCounts {
    long Files = 0;
    long Folders = 0;
    int64_t Bytes = 0;
};

struct TPlainWalk {
    std::vector<std::pair<std::wstring, uint64_t>> Entries; // folders with a trailing "\" and size 0

    void Folder(const std::wstring& folder) {
        WIN32_FIND_DATAW data;
        HANDLE find = FindFirstFileW((folder + L"*").c_str(), &data);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring name = data.cFileName;
                if (name == L"." || name == L"..")
                    continue;
                if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    Folder(folder + name + L"\\");
                else
                    Entries.emplace_back(folder + name, (static_cast<uint64_t>(data.nFileSizeHigh) << 32) |
                                                            data.nFileSizeLow);
            } while (FindNextFileW(find, &data));
            FindClose(find);
        }
        Entries.emplace_back(folder, 0);
    }

    TCounts Counts() const {
        TCounts counts;
        for (const auto& [path, size] : Entries) {
            if (path.ends_with(L'\\'))
                ++counts.Folders;
            else
                ++counts.Files;
            counts.Bytes += static_cast<int64_t>(size);
        }
        return counts;
    }
};

// The registry scanners' keys read plainly: every key opened, its subkeys
// listed and the values the scanners read fetched, in both views.
class TRawRegistryWalk {
public:
    explicit TRawRegistryWalk(REGSAM view) : FView(view) {}

    long Keys = 0;
    long Values = 0;

    void Run() {
        Each(HKEY_CLASSES_ROOT, L"CLSID", [this](HKEY root, const std::wstring& clsid) {
            Read(root, clsid, L"AppID");
            Read(root, clsid + L"\\LocalServer32", L"");
            Read(root, clsid + L"\\InProcServer32", L"");
        });
        for (const auto& name : SubKeys(HKEY_CLASSES_ROOT, L"")) {
            if (name.starts_with(L'.') || name == L"*") {
                SubKeys(HKEY_CLASSES_ROOT, name + L"\\OpenWithList");
                ValueNames(HKEY_CLASSES_ROOT, name + L"\\OpenWithProgIds");
                Each(HKEY_CLASSES_ROOT, name + L"\\shellex\\ContextMenuHandlers",
                     [this](HKEY root, const std::wstring& handler) { Read(root, handler, L""); });
            }
            // The ProgID pass reads every name; the extension pass reads the extensions again.
            Read(HKEY_CLASSES_ROOT, name + L"\\CLSID", L"");
            Commands(HKEY_CLASSES_ROOT, name);
        }
        for (auto [root, path] : {std::pair{HKEY_CLASSES_ROOT, L"AppID"},
                                  {HKEY_CLASSES_ROOT, L"Applications"},
                                  {HKEY_CURRENT_USER, AppPaths},
                                  {HKEY_LOCAL_MACHINE, AppPaths}})
            Each(root, path, [this](HKEY root, const std::wstring& key) {
                Read(root, key, L"");
                Read(root, key, L"Path");
                Read(root, key, L"AppID");
                Commands(root, key);
            });
        for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
            for (const auto& vendor : SubKeys(root, L"Software"))
                SubKeys(root, L"Software\\" + vendor);
        ValueNames(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\Folders");
    }

private:
    static constexpr const wchar_t* AppPaths = L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths";

    HKEY Open(HKEY root, const std::wstring& path) {
        HKEY key = nullptr;
        ++Keys;
        return RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | FView, &key) == ERROR_SUCCESS ? key : nullptr;
    }
    std::vector<std::wstring> SubKeys(HKEY root, const std::wstring& path) {
        std::vector<std::wstring> names;
        if (HKEY key = Open(root, path)) {
            wchar_t name[256];
            for (DWORD i = 0;; ++i) {
                DWORD size = 256;
                if (RegEnumKeyExW(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                    break;
                names.emplace_back(name, size);
            }
            RegCloseKey(key);
        }
        return names;
    }
    void ValueNames(HKEY root, const std::wstring& path) {
        if (HKEY key = Open(root, path)) {
            wchar_t name[16384];
            for (DWORD i = 0;; ++i, ++Values) {
                DWORD size = 16384;
                if (RegEnumValueW(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                    break;
            }
            RegCloseKey(key);
        }
    }
    void Read(HKEY root, const std::wstring& path, const wchar_t* name) {
        if (HKEY key = Open(root, path)) {
            wchar_t data[2048];
            DWORD size = sizeof(data);
            if (RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size) ==
                ERROR_SUCCESS)
                ++Values;
            RegCloseKey(key);
        }
    }
    template <typename TStep> void Each(HKEY root, const std::wstring& path, TStep step) {
        const std::wstring parent = path.empty() ? path : path + L"\\";
        for (const auto& name : SubKeys(root, path))
            step(root, parent + name);
    }
    void Commands(HKEY root, const std::wstring& key) {
        Each(root, key + L"\\shell",
             [this](HKEY root, const std::wstring& verb) { Read(root, verb + L"\\command", L""); });
    }

    REGSAM FView;
};

double Since(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void Print(const char* name, double ms, const TCounts& counts) {
    std::printf("%s %.1f\n%sFiles %ld\n%sFolders %ld\n%sBytes %lld\n", name, ms, name, counts.Files, name,
                counts.Folders, name, static_cast<long long>(counts.Bytes));
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: ScanTimes.exe PROGRAM_FOLDER\n");
        return 2;
    }
    const std::wstring folder = IncludeTrailingBackslash(argv[1]);
    TPlainWalk().Folder(folder);

    TPlainWalk walk;
    Clock::time_point start = Clock::now();
    walk.Folder(folder);
    Print("walk", Since(start), walk.Counts());

    try {
        const TSharedFolders shared = SystemSharedFolders();
        TAppFolders folders(WindowsFolder());
        if (!AddProgramFolder(folders, folder, shared)) {
            std::fprintf(stderr, "the program folder was refused as a shared one\n");
            return 1;
        }
        TFRSharedDlls sharedDlls(SystemSharedDllCounts());
        TFRFileList files(sharedDlls);
        std::vector<TFRFile*> dataFiles;
        // The application-data folders hold no folder of that name: they are searched, not scanned.
        TFRAppFiles scanner(
            folders, files, [] {}, L"BenchApp", dataFiles, shared);
        start = Clock::now();
        scanner.Run();
        const double ms = Since(start);
        TCounts counts;
        for (const TFRFile* entry : dataFiles) {
            if (entry->IsFolder())
                ++counts.Folders;
            else
                ++counts.Files;
            counts.Bytes += entry->Size();
        }
        Print("scan", ms, counts);

        // The registry scanners, as the removal runs them after the file scan.
        TFRRegList regList(Is64BitWindows());
        TIDList appIDs, clsids;
        const TRegistrySource& registry = SystemRegistrySource();
        TFRExtData extData(
            regList, files, folders, appIDs, [] {}, clsids, registry);
        TFRAppRegData appRegData(
            files, regList, L"BenchVendor BenchApp", L"BenchVendor", appIDs, [] {}, folders, registry);
        TRawRegistryWalk(KEY_WOW64_64KEY).Run(); // warms the registry for both
        start = Clock::now();
        extData.Run();
        appRegData.Run();
        std::printf("registryScan %.1f\nregistryListed %zu\n", Since(start), regList.Count());
        start = Clock::now();
        long keys = 0, values = 0;
        for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
            TRawRegistryWalk walk(view);
            walk.Run();
            keys += walk.Keys;
            values += walk.Values;
        }
        std::printf("registryWalk %.1f\nregistryKeys %ld\nregistryValues %ld\n", Since(start), keys, values);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "the scan failed: %s\n", error.what());
        return 1;
    }
    return 0;
}
