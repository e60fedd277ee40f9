// Times the servicing location's read of a servicing folder of many
// manifests, each recorded as an installed package (laid out by the servicing
// kit of the feature tests, and removed again at the end), against the floor:
// opening each ".mum" of the folder and reading its bytes. One untimed plain
// read first, so that both meet a warm file system; then five passes of the
// plain read, the location's first read (every package new) and its re-read
// (every package listed already). Prints "name value" lines (medians in
// milliseconds, the median of the passes' own first read / plain read
// ratios, and counts) for bench/run-bench.py.
// Usage: ManifestTimes.exe [COUNT]   (default 10000)
#include "inventory/ItemUpdate.h"
#include "locations/LocationVistaUpdate.h"
#include "platform/Paths.h"
#include "tests/features/ServicingMachine.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <exception>
#include <string>
#include <vector>

using namespace velmora;
using namespace velmora::testing;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int Passes = 5;

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double Since(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Opens every manifest of the folder and reads its bytes; the bytes read.
int64_t PlainRead(const std::wstring& folder) {
    int64_t total = 0;
    std::vector<char> buffer(64 * 1024);
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"*.mum").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return 0;
    do {
        HANDLE file = CreateFileW((folder + data.cFileName).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            continue;
        DWORD read = 0;
        while (ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr) && read > 0)
            total += read;
        CloseHandle(file);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return total;
}

TServicingPackage BenchPackage(int index) {
    TServicingPackage package;
    const std::wstring number = std::to_wstring(100000 + index);
    package.Name = L"Velmora-Bench-Package-" + number;
    package.ReleaseType = L"Update";
    package.Identifier = L"KB" + number;
    package.CurrentState = 0x70;
    package.InstallTime = FILETIME{0xd5a3e000, 0x01cb3ad2};
    return package;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const int count = argc > 1 ? std::wcstol(argv[1], nullptr, 10) : 10000;
    const std::wstring folder = WindowsFolder() + L"\\servicing\\Packages\\";
    try {
        TServicingMachine machine;
        for (int index = 0; index < count; ++index)
            machine.AddPackage(BenchPackage(index));
        PlainRead(folder);

        // Passes alternate, so that the load of a shared machine weighs on all alike; medians.
        std::vector<double> plain, read, reread, ratio;
        int64_t bytes = 0;
        int listed = 0;
        for (int pass = 0; pass < Passes; ++pass) {
            Clock::time_point start = Clock::now();
            bytes = PlainRead(folder);
            plain.push_back(Since(start));
            TItemUpdate::Init();
            {
                TLocationVistaUpdate location;
                start = Clock::now();
                location.Read();
                read.push_back(Since(start));
                ratio.push_back(read.back() / std::max(plain.back(), 0.1));
                start = Clock::now();
                location.Read();
                reread.push_back(Since(start));
                listed = TItemUpdate::Items().Count();
            }
            TItemUpdate::Done();
        }
        std::printf("plain %.1f\nbytes %lld\nread %.1f\nreread %.1f\nratio %.2f\nmanifests %d\nlisted %d\n",
                    Median(plain), static_cast<long long>(bytes), Median(read), Median(reread), Median(ratio),
                    count, listed);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
