// Times one full inventory read as the front end sees it: VelmoraHelper.dll
// loaded from this program's folder, a root object from DllGetInstance,
// Refresh, then the read state polled until rsLoading and rsLoaded.
// With --stop it times Stop instead, called at several moments of a read.
// Prints "name value" lines (milliseconds, counts, megabytes) for
// bench/run-bench.py.
#include "api/Interfaces.Velmora.h"
#include "platform/ComObject.h"

#include <psapi.h>

#include <chrono>
#include <cstdio>
#include <string>

using velmora::TComPtr;
using Clock = std::chrono::steady_clock;

static double Milliseconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

static int32_t Count(IVelmora& root, void (STDMETHODCALLTYPE IVelmora::*get)(IProductCollection**)) {
    TComPtr<IProductCollection> collection;
    (root.*get)(collection.put());
    return collection ? collection->GetCount() : -1;
}

// The most private memory (committed, not shared) the process has had so far.
static double PeakPrivateMegabytes() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters))
        return -1;
    return static_cast<double>(counters.PeakPagefileUsage) / (1024.0 * 1024.0);
}

// Refresh, wait, Stop: how long Stop takes at each moment of a read.
static void TimeStops(IVelmora& root) {
    double longest = 0;
    for (DWORD delay : {0, 50, 200, 500, 1000, 2000, 4000}) {
        root.Refresh();
        Sleep(delay);
        Clock::time_point start = Clock::now();
        root.Stop();
        const double took = Milliseconds(start, Clock::now());
        std::printf("stopAfter%lu %.1f\n", static_cast<unsigned long>(delay), took);
        longest = took > longest ? took : longest;
    }
    std::printf("stopLongest %.1f\n", longest);
}

int wmain(int argc, wchar_t** argv) {
    wchar_t path[MAX_PATH];
    std::wstring folder(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
    folder.resize(folder.find_last_of(L'\\') + 1);

    Clock::time_point start = Clock::now();
    HMODULE library = LoadLibraryW((folder + L"VelmoraHelper.dll").c_str());
    auto getInstance = library ? reinterpret_cast<TDllGetInstance>(
                                     reinterpret_cast<void*>(GetProcAddress(library, "DllGetInstance")))
                               : nullptr;
    TComPtr<IVelmora> root;
    if (!getInstance || FAILED(getInstance(__uuidof(IVelmora), reinterpret_cast<void**>(root.put()))) ||
        !root) {
        std::fprintf(stderr, "VelmoraHelper.dll did not load or gave no root object\n");
        return 1;
    }
    Clock::time_point created = Clock::now();
    if (argc > 1 && std::wstring(argv[1]) == L"--stop") {
        TimeStops(*root);
        return 0;
    }
    const double peakBefore = PeakPrivateMegabytes();

    root->Refresh();
    Clock::time_point refreshed = Clock::now(), loading{}, loaded{};
    int32_t programsAtLoading = -1;
    Clock::time_point deadline = refreshed + std::chrono::minutes(10);
    for (;;) {
        TReadState state = root->GetReadState();
        Clock::time_point now = Clock::now();
        if (state != TReadState::rsNonw && loading == Clock::time_point{}) {
            loading = now;
            programsAtLoading = Count(*root, &IVelmora::GetPrograms);
        }
        if (state == TReadState::rsLoaded) {
            loaded = now;
            break;
        }
        if (now > deadline) {
            std::fprintf(stderr, "the read did not reach rsLoaded within 10 minutes\n");
            root->Stop();
            return 1;
        }
        Sleep(1);
    }
    const double peakAfter = PeakPrivateMegabytes();
    std::printf("load %.1f\n", Milliseconds(start, created));
    std::printf("rsLoading %.1f\n", Milliseconds(refreshed, loading));
    std::printf("rsLoaded %.1f\n", Milliseconds(refreshed, loaded));
    std::printf("programsAtLoading %d\n", programsAtLoading);
    std::printf("programs %d\n", Count(*root, &IVelmora::GetPrograms));
    std::printf("updates %d\n", Count(*root, &IVelmora::GetUpdates));
    std::printf("peakPrivateBefore %.1f\n", peakBefore);
    std::printf("peakPrivateAfter %.1f\n", peakAfter);
    root->Stop();
    return 0;
}
