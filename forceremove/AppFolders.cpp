#include "forceremove/AppFolders.h"

#include "platform/PathText.h"
#include "platform/Text.h"

#include <algorithm>

namespace velmora {

TAppFolders::TAppFolders(std::wstring windowsFolder)
    : FWindowsFolder(ExcludeTrailingBackslash(windowsFolder)) {}

void TAppFolders::Add(std::wstring_view path) {
    std::wstring folder = path.empty() ? std::wstring() : IncludeTrailingBackslash(path);
    if (InAppFolder(folder) || InWindowsFolder(folder))
        return;
    FStrings.push_back(std::move(folder));
}

bool TAppFolders::InAppFolder(std::wstring_view path) const {
    return std::any_of(FStrings.begin(), FStrings.end(),
                       [&](const auto& folder) { return !folder.empty() && ContainsText(path, folder); });
}

// Also "C:\Windows" itself and what merely starts like it ("C:\WindowsApps"):
// refusing too much here only leaves files behind.
bool TAppFolders::InWindowsFolder(std::wstring_view path) const {
    return !FWindowsFolder.empty() && ContainsText(path, FWindowsFolder);
}

} // namespace velmora
