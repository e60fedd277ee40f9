// Times the prefetch source (TPrefetch::Fill: find, read, unpack, parse,
// translate device paths) over a prefetch folder of 1,000 files against the
// floor: reading the same files' bytes. The files are laid out as the running
// Windows writes them (compressed from Windows 10 on), each naming 60 loaded
// libraries, replacing those of an earlier run. One untimed
// pass first, so that both meet a warm file system; then the median of five
// passes each. Prints "name value" lines for bench/run-bench.py.
#include "platform/Files.h"
#include "platform/Format.h"
#include "platform/Paths.h"
#include "tests/kits/UsageRecords.h"
#include "usage/UsageSources.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

using namespace velmora;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int FileCount = 1000;
constexpr int Passes = 5;

std::wstring PrefetchFolder() {
    return WindowsFolder() + L"\\Prefetch\\";
}

constexpr int LibraryCount = 60;

int CountFiles() {
    int count = 0;
    for (const TFindData& entry : FindFiles(PrefetchFolder() + L"*.pf"))
        count += !entry.IsFolder();
    return count;
}

void LayFiles() {
    const uint64_t lastRun = testing::LocalDateToFileTime(testing::LocalNow() - 1);
    std::vector<std::wstring> libraries;
    for (int i = 0; i < LibraryCount; ++i)
        libraries.push_back(Format(L"%s\\System32\\library%d.dll", WindowsFolder(), i));
    for (int i = 0; i < FileCount; ++i) {
        const std::wstring program = Format(L"C:\\Program Files\\Bench Program %d\\bench%d.exe", i, i);
        testing::WritePrefetchFile(program, i % 50 + 1, lastRun, Format(L"BENCH%d", i), libraries);
    }
}

// The floor: every file's bytes, as the source reads them.
size_t ReadAll() {
    size_t bytes = 0;
    for (const TFindData& entry : FindFiles(PrefetchFolder() + L"*.pf"))
        if (!entry.IsFolder())
            if (auto content = ReadFileBytes(PrefetchFolder() + std::wstring(entry.Name())))
                bytes += content->size();
    return bytes;
}

size_t ParseAll() {
    TUsageItems items;
    TPrefetch().Fill(items);
    return items.Count();
}

template <class Pass> double Median(Pass&& pass) {
    std::vector<double> times;
    for (int i = 0; i < Passes; ++i) {
        const auto start = Clock::now();
        pass();
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int wmain() {
    LayFiles();
    const size_t bytes = ReadAll();
    const size_t records = ParseAll();
    std::printf("prefetchFiles %d\nprefetchBytes %zu\nprefetchRecords %zu\n", CountFiles(), bytes, records);
    std::printf("prefetchRead %.1f\n", Median(ReadAll));
    std::printf("prefetchParse %.1f\n", Median(ParseAll));
    return records >= static_cast<size_t>(FileCount) ? 0 : 1;
}
