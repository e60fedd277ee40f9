// Measuring a folder with the system's file search; the size goes back to the
// item's uninstall key.
#include "inventory/TaskManager.h"

#include "inventory/ItemProduct.h"
#include "platform/Files.h"
#include "platform/PathText.h"

#include <vector>

namespace velmora {

namespace {

// Links and junctions (reparse points) and virtual entries are never followed.
constexpr DWORD SkippedAttributes = FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_VIRTUAL;

} // namespace

namespace task_os {

void WriteSize(TItemProduct& item) {
    item.WriteDataToRegistry();
}

} // namespace task_os

// Depth first over a stack of folders: deep trees cannot exhaust the stack.
int64_t MeasureFolderSize(const std::wstring& folder) {
    // An empty path would search the current drive's root.
    if (folder.empty())
        return 0;
    std::vector<std::wstring> folders{ExcludeTrailingBackslash(folder)};
    int64_t total = 0;
    while (!folders.empty()) {
        std::wstring current = std::move(folders.back());
        folders.pop_back();
        for (const TFindData& entry : FindFiles(current + L"\\*")) {
            if (entry.dwFileAttributes & SkippedAttributes)
                continue;
            TThread::CheckTerminated();
            if (entry.IsFolder())
                folders.push_back(current + L"\\" + std::wstring(entry.Name()));
            else
                total += static_cast<int64_t>(entry.Size());
        }
    }
    return total;
}

} // namespace velmora
