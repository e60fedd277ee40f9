// Measuring a folder without Windows: symbolic links stand for reparse
// points and are never followed; there is no uninstall key to write to.
#include "inventory/TaskManager.h"

#include "inventory/ItemProduct.h"

#include <filesystem>
#include <vector>

namespace velmora {

namespace task_os {

void WriteSize(TItemProduct&) {}

} // namespace task_os

int64_t MeasureFolderSize(const std::wstring& folder) {
    namespace fs = std::filesystem;
    std::vector<fs::path> folders{fs::path(folder)};
    int64_t total = 0;
    while (!folders.empty()) {
        fs::path current = std::move(folders.back());
        folders.pop_back();
        std::error_code error;
        fs::directory_iterator entries(current, error);
        for (; !error && entries != fs::directory_iterator(); entries.increment(error)) {
            const fs::directory_entry& entry = *entries;
            std::error_code statusError;
            const fs::file_status status = entry.symlink_status(statusError);
            if (statusError || fs::is_symlink(status))
                continue;
            TThread::CheckTerminated();
            if (fs::is_directory(status)) {
                folders.push_back(entry.path());
            } else if (fs::is_regular_file(status)) {
                const auto size = entry.file_size(statusError);
                if (!statusError)
                    total += static_cast<int64_t>(size);
            }
        }
    }
    return total;
}

} // namespace velmora
