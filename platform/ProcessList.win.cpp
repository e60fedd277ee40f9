#include "platform/ProcessList.h"

#include "platform/Handles.h"
#include "platform/Text.h"

#include <tlhelp32.h>
#include <wtsapi32.h>

namespace velmora {

std::vector<TProcessListItem> ProcessList() {
    std::vector<TProcessListItem> list;
    unique_file snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot)
        return list;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL ok = Process32FirstW(snapshot.get(), &entry); ok; ok = Process32NextW(snapshot.get(), &entry))
        list.push_back({entry.th32ProcessID, entry.th32ParentProcessID, entry.szExeFile, entry.cntThreads,
                        entry.pcPriClassBase});
    return list;
}

std::vector<TProcessListItem> ProcessSnapshot() {
    WTS_PROCESS_INFOW* processes = nullptr;
    DWORD count = 0;
    if (WTSEnumerateProcessesW(WTS_CURRENT_SERVER_HANDLE, 0, 1, &processes, &count)) {
        unique_wtsmem owner(processes);
        std::vector<TProcessListItem> list;
        list.reserve(count);
        for (DWORD i = 0; i < count; ++i)
            list.push_back(
                {processes[i].ProcessId, 0, processes[i].pProcessName ? processes[i].pProcessName : L""});
        return list;
    }
    return ProcessList();
}

std::wstring ProcessImagePath(DWORD processID) {
    unique_handle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processID));
    return process ? ProcessImagePathFromHandle(process.get()) : std::wstring();
}

std::wstring ProcessImagePathFromHandle(HANDLE process) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD size = static_cast<DWORD>(path.size());
        if (QueryFullProcessImageNameW(process, 0, path.data(), &size)) {
            path.resize(size);
            return path;
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || path.size() >= 32768)
            return {};
        path.resize(path.size() * 2);
    }
}

std::vector<TProcessListItem> FindProcesses(std::wstring_view name) {
    std::vector<TProcessListItem> found;
    for (auto& item : ProcessList())
        if (SameText(item.FileName, name))
            found.push_back(std::move(item));
    return found;
}

namespace {

struct TWindowSearch {
    DWORD ProcessID;
    HWND Found;
};

// An enumeration callback: the system calls it with its own calling convention.
BOOL CALLBACK TakeVisibleTopWindow(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<TWindowSearch*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->ProcessID || !IsWindowVisible(window) || GetWindow(window, GW_OWNER))
        return TRUE;
    search->Found = window;
    return FALSE;
}

} // namespace

HWND FindTopWindow(DWORD processID) {
    TWindowSearch search{processID, nullptr};
    EnumWindows(TakeVisibleTopWindow, reinterpret_cast<LPARAM>(&search));
    return search.Found;
}

bool TProcessListItem::ShowWindow() const {
    HWND window = FindTopWindow(ProcessID);
    if (!window)
        return false;
    if (IsIconic(window))
        ::ShowWindow(window, SW_RESTORE);
    SetForegroundWindow(window);
    return true;
}

} // namespace velmora
