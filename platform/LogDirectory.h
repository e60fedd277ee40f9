#pragma once
// Where log files live, and the few OS services the log file needs (opening,
// rotating, local time, thread numbers). Portable interface; the per-OS parts
// are LogDirectory.win.cpp and LogDirectory.posix.cpp.
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace velmora {

// The folder logs go to: the override when one is set, else the OS default.
std::wstring LogDirectory();
// Windows: %LOCALAPPDATA%\Velmora\Logs. Elsewhere: $VELMORA_LOG_DIR, else
// Velmora/Logs under the temporary folder.
std::wstring DefaultLogDirectory();
// Replaces the folder for logs opened from now on; empty restores the default.
void SetLogDirectory(std::wstring folder);

namespace logfs {

inline constexpr wchar_t PathSeparator =
#ifdef _WIN32
    L'\\';
#else
    L'/';
#endif

// Line break written after each record: CR LF on Windows, LF elsewhere.
std::string_view LineBreak();
// Creates the folder and any missing parents; true when it exists afterwards.
bool CreateFolders(const std::wstring& folder);
// Opens for appending in binary mode, shared with other writers; nullptr on failure.
std::FILE* OpenForAppend(const std::wstring& path);
// Moves from over to, replacing to; false when the move failed.
bool RenameReplacing(const std::wstring& from, const std::wstring& to);

struct TLocalTime {
    int Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0, Millisecond = 0;
};
TLocalTime LocalTimeNow();
// The OS's number for the calling thread (what a debugger shows).
uint64_t CurrentThreadNumber();

} // namespace logfs
} // namespace velmora
