// Times the forced removal's scan of a program's files (TFRAppFiles, with the
// system's shared-DLL list and shared folders) against the floor: a plain
// FindFirstFileW/FindNextFileW recursion over the same folder that collects
// each path and size. One untimed walk first, so that both meet a warm file
// system. Prints "name value" lines (milliseconds, counts, bytes) for
// bench/run-bench.py; the counts take in the program folder itself.
// Usage: ScanTimes.exe PROGRAM_FOLDER (with a trailing "\").
#include "forceremove/AppFiles.h"
#include "forceremove/AppFolders.h"
#include "forceremove/FileList.h"
#include "forceremove/SharedDlls.h"
#include "forceremove/SharedFolders.h"
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
    } catch (const std::exception& error) {
        std::fprintf(stderr, "the scan failed: %s\n", error.what());
        return 1;
    }
    return 0;
}
