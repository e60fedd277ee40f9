#include "platform/ProcessList.h"

#include "platform/Handles.h"
#include "platform/Text.h"

#include <tlhelp32.h>

namespace velmora {

std::vector<TProcessListItem> ProcessList() {
    std::vector<TProcessListItem> list;
    unique_file snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot)
        return list;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL ok = Process32FirstW(snapshot.get(), &entry); ok; ok = Process32NextW(snapshot.get(), &entry))
        list.push_back({entry.th32ProcessID, entry.th32ParentProcessID, entry.szExeFile});
    return list;
}

std::vector<TProcessListItem> FindProcesses(std::wstring_view name) {
    std::vector<TProcessListItem> found;
    for (auto& item : ProcessList())
        if (SameText(item.FileName, name))
            found.push_back(std::move(item));
    return found;
}

HWND FindTopWindow(DWORD processID) {
    struct TSearch {
        DWORD ProcessID;
        HWND Found;
    } search{processID, nullptr};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<TSearch*>(param);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner != s->ProcessID || !IsWindowVisible(window) || GetWindow(window, GW_OWNER))
                return TRUE;
            s->Found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
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
