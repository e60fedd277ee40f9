#pragma once
// Usage records as the running Windows keeps them: launch counters and
// prefetch files.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::testing {

// The record kind the shell keeps programs under, on the running Windows.
std::wstring_view ProgramLaunchKind();
// Writes the launch counter of name under the braced kind in the running
// Windows' layout (ROT13 name); false when the registry refuses.
bool WriteLaunchCounter(std::wstring_view kind, const std::wstring& name, int32_t runs, uint64_t lastRun);
// The user's launch-counter kind, for removing a test's own.
std::wstring LaunchKindKey(std::wstring_view kind);

// A drive path ("C:\...") in device form, upper case as the system writes it.
std::wstring DevicePath(const std::wstring& path);
// Writes the prefetch file "<EXE>-<tag>.pf" the running Windows would write for
// program (which loaded ntdll.dll and libraries); answers it, empty on failure.
std::wstring WritePrefetchFile(const std::wstring& program, int32_t runs, uint64_t lastRun,
                               std::wstring_view tag, const std::vector<std::wstring>& libraries = {});

// A local date as the UTC file time that the library's usage rule turns
// back into it (the zone's base bias).
uint64_t LocalDateToFileTime(double date);
// The local date and time now.
double LocalNow();

} // namespace velmora::testing
