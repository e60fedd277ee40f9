// Lays out usage records on the sample machine, dated from today:
//   LayUsageRecords launch PROGRAM RUNS DAYS_AGO
//   LayUsageRecords prefetch PROGRAM RUNS DAYS_AGO
#include "tests/kits/UsageRecords.h"

#include <cstdio>
#include <cwchar>
#include <string>

using namespace velmora::testing;

int wmain(int argc, wchar_t** argv) {
    if (argc != 5) {
        std::fwprintf(stderr, L"usage: LayUsageRecords launch|prefetch PROGRAM RUNS DAYS_AGO\n");
        return 2;
    }
    const std::wstring kind = argv[1], program = argv[2];
    const int runs = std::stoi(argv[3]);
    const uint64_t lastRun = LocalDateToFileTime(LocalNow() - std::stod(argv[4]));
    if (kind == L"launch")
        return WriteLaunchCounter(ProgramLaunchKind(), program, runs, lastRun) ? 0 : 1;
    if (kind == L"prefetch")
        return WritePrefetchFile(program, runs, lastRun, L"SAMPLE").empty() ? 1 : 0;
    std::fwprintf(stderr, L"unknown record kind: %ls\n", kind.c_str());
    return 2;
}
