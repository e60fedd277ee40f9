#pragma once
// The running processes (Toolhelp snapshot) and their top-level windows.
#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace velmora {

struct TProcessListItem {
    DWORD ProcessID = 0;
    DWORD ParentProcessID = 0;
    std::wstring FileName; // executable file name without folder

    // Restores and activates the process's first visible top-level window;
    // false when it has none.
    bool ShowWindow() const;
};

std::vector<TProcessListItem> ProcessList();
// Processes whose executable file name equals name (case-insensitive).
std::vector<TProcessListItem> FindProcesses(std::wstring_view name);
// First visible top-level window of a process, or nullptr.
HWND FindTopWindow(DWORD processID);

} // namespace velmora
