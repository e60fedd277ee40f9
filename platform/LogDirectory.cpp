#include "platform/LogDirectory.h"

#include <mutex>

namespace velmora {

namespace {
std::mutex& OverrideMutex() {
    static std::mutex m;
    return m;
}
std::wstring& OverrideFolder() {
    static std::wstring folder;
    return folder;
}
} // namespace

std::wstring LogDirectory() {
    {
        std::lock_guard lock(OverrideMutex());
        if (!OverrideFolder().empty())
            return OverrideFolder();
    }
    return DefaultLogDirectory();
}

void SetLogDirectory(std::wstring folder) {
    std::lock_guard lock(OverrideMutex());
    OverrideFolder() = std::move(folder);
}

} // namespace velmora
