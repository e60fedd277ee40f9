// Times the servicing location's read of a servicing folder of many
// manifests, each recorded as an installed package (laid out by the servicing
// kit of the feature tests, and removed again at the end), against the floor:
// opening each ".mum" of the folder and reading its bytes. One untimed plain
// read first, so that both meet a warm file system; then the first read (every
// package new) and a re-read (every package listed already). Prints "name
// value" lines (milliseconds and counts) for bench/run-bench.py.
// Usage: ManifestTimes.exe [COUNT]   (default 10000)
#include "inventory/ItemUpdate.h"
#include "locations/LocationVistaUpdate.h"
#include "platform/Paths.h"
#include "tests/features/ServicingMachine.h"

#include <windows.h>

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

        Clock::time_point start = Clock::now();
        const int64_t bytes = PlainRead(folder);
        std::printf("plain %.1f\nbytes %lld\n", Since(start), static_cast<long long>(bytes));

        TItemUpdate::Init();
        {
            TLocationVistaUpdate location;
            start = Clock::now();
            location.Read();
            std::printf("read %.1f\n", Since(start));
            start = Clock::now();
            location.Read();
            std::printf("reread %.1f\n", Since(start));
            std::printf("manifests %d\nlisted %d\n", count, TItemUpdate::Items().Count());
        }
        TItemUpdate::Done();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
