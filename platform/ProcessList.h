#pragma once
// The running processes (Toolhelp snapshot, terminal-server list) and their
// top-level windows.
#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace velmora {

struct TProcessListItem {
    DWORD ProcessID = 0;
    DWORD ParentProcessID = 0;
    std::wstring FileName; // executable file name without folder
    DWORD ThreadCount = 0; // Toolhelp only
    LONG BasePriority = 0; // Toolhelp only

    // Restores and activates the process's first visible top-level window;
    // false when it has none.
    bool ShowWindow() const;
};

// A Toolhelp snapshot; empty when it cannot be made (GetLastError tells why).
std::vector<TProcessListItem> ProcessList();
// The processes of the local terminal server (name and id, no parent), or a
// Toolhelp snapshot when that list cannot be had; empty when both fail.
std::vector<TProcessListItem> ProcessSnapshot();
// The full path of a running process's executable; empty when it cannot be asked.
std::wstring ProcessImagePath(DWORD processID);
// The same through a handle with PROCESS_QUERY_LIMITED_INFORMATION access.
std::wstring ProcessImagePathFromHandle(HANDLE process);
// Processes whose executable file name equals name (case-insensitive).
std::vector<TProcessListItem> FindProcesses(std::wstring_view name);
// First visible top-level window of a process, or nullptr.
HWND FindTopWindow(DWORD processID);

} // namespace velmora
