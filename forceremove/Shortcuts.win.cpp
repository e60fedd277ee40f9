#include "forceremove/Shortcuts.h"

#include "forceremove/AppFolders.h"
#include "forceremove/FileList.h"
#include "forceremove/ShortcutList.h"
#include "frame/DebugLog.h"
#include "msi/MsiShortcut.h"
#include "platform/ComObject.h"
#include "platform/Files.h"
#include "platform/OSError.h"
#include "platform/Paths.h"
#include "platform/Shortcut.h"
#include "platform/Text.h"

#include <shlobj.h>

#include <algorithm>
#include <stdexcept>

namespace velmora {

namespace {

// Collected: the extension as written (".LNK" is not).
bool IsShortcutFile(std::wstring_view path) {
    return ExtractFileExt(path) == L".lnk";
}

// Guarding another program's shortcut: in any letter case.
bool MayBeShortcutFile(std::wstring_view path) {
    return SameText(ExtractFileExt(path), L".lnk");
}

// A shell folder with a trailing "\"; empty when the system has none.
std::wstring ShellFolder(int csidl) {
    std::wstring folder = SpecialFolder(csidl);
    return folder.empty() ? folder : IncludeTrailingBackslash(folder);
}

// Entries of a folder without "." and ".."; 0 also when it cannot be listed.
int EntryCount(const std::wstring& folder) {
    int count = 0;
    for ([[maybe_unused]] const TFindData& entry : FindFiles(folder + L"*"))
        ++count;
    return count;
}

} // namespace

TFRShortcuts::TFRShortcuts(TAppFolders& appFolders, TFRFileList& fileList, TFRShortcutList& shortcutList,
                           TWorkflowCheck checkWorkflow)
    : FAppFolders(appFolders), FFileList(fileList), FShortcutList(shortcutList),
      FCheckWorkflow(std::move(checkWorkflow)) {}

void TFRShortcuts::Run() {
    try {
        Scan();
    } catch (...) {
        StatisticsLog::AddError();
    }
}

void TFRShortcuts::Check() const {
    if (FCheckWorkflow)
        FCheckWorkflow();
}

void TFRShortcuts::Scan() {
    const std::wstring userPrograms = ShellFolder(CSIDL_PROGRAMS);
    const std::wstring commonPrograms = ShellFolder(CSIDL_COMMON_PROGRAMS);
    FProgramsFolders = {userPrograms, commonPrograms};
    FStartupFolders = {ShellFolder(CSIDL_STARTUP), ShellFolder(CSIDL_COMMON_STARTUP)};

    std::vector<std::wstring> candidates;
    CollectDesktop(candidates);
    SetProgress(25);
    if (!userPrograms.empty())
        CollectBelow(userPrograms, candidates);
    SetProgress(50);
    if (!commonPrograms.empty())
        CollectBelow(commonPrograms, candidates);
    SetProgress(75);

    for (const std::wstring& shortcut : candidates) {
        Check();
        const std::wstring& target = TargetOf(shortcut);
        if (!FAppFolders.InAppFolder(target))
            continue;
        if (TFRFile* file = FFileList.AddFile(shortcut, static_cast<int64_t>(FileSize(shortcut).value_or(0))))
            FShortcutList.Add(*file, target);
        HandleFolder(ExtractFileDir(shortcut));
    }
}

void TFRShortcuts::CollectDesktop(std::vector<std::wstring>& candidates) const {
    TComApartmentGuard com;
    TComPtr<IShellFolder> desktop;
    if (FAILED(SHGetDesktopFolder(desktop.put())) || !desktop)
        throw std::runtime_error("Can't get desktop folder");
    TComPtr<IEnumIDList> items;
    // Folders, other items and hidden ones.
    constexpr SHCONTF Everything = SHCONTF_FOLDERS | SHCONTF_NONFOLDERS | SHCONTF_INCLUDEHIDDEN;
    if (desktop->EnumObjects(nullptr, Everything, items.put()) != S_OK || !items)
        return;
    for (;;) {
        LPITEMIDLIST item = nullptr;
        if (items->Next(1, &item, nullptr) != S_OK)
            break;
        std::wstring path;
        wchar_t buffer[MAX_PATH] = {};
        if (SHGetPathFromIDListW(item, buffer))
            path = buffer;
        CoTaskMemFree(item);
        Check();
        if (IsShortcutFile(path))
            candidates.push_back(std::move(path));
    }
    // The shell's desktop shows the all-users desktop too; a shell that does
    // not merge it (Wine's) would hide those shortcuts.
    const std::wstring common = ShellFolder(CSIDL_COMMON_DESKTOPDIRECTORY);
    if (common.empty())
        return;
    for (const TFindData& entry : FindFiles(common + L"*")) {
        const std::wstring path = common + std::wstring(entry.Name());
        if (!entry.IsFolder() && IsShortcutFile(path) &&
            std::none_of(candidates.begin(), candidates.end(),
                         [&](const std::wstring& known) { return SameText(known, path); }))
            candidates.push_back(path);
    }
}

void TFRShortcuts::CollectBelow(const std::wstring& folder, std::vector<std::wstring>& candidates) const {
    for (const TFindData& entry : FindFiles(folder + L"*")) {
        Check();
        const std::wstring path = folder + std::wstring(entry.Name());
        // A linked folder may lead anywhere: its shortcuts are not the menu's.
        if (entry.IsFolder() && !entry.IsReparsePoint())
            CollectBelow(path + L"\\", candidates);
        else if (!entry.IsFolder() && IsShortcutFile(path))
            candidates.push_back(path);
    }
}

const std::wstring& TFRShortcuts::TargetOf(const std::wstring& shortcut) {
    auto [known, added] = FTargets.try_emplace(UpperCase(shortcut));
    if (added) {
        std::wstring target = AdvertisedShortcutTarget(shortcut);
        known->second = target.empty() ? ExpandEnvironment(TLnkFileInfo(shortcut).TargetPath()) : target;
    }
    return known->second;
}

bool TFRShortcuts::MayGoWhole(const std::wstring& folder) const {
    const std::wstring withSeparator = IncludeTrailingBackslash(folder);
    auto same = [&](const std::wstring& startup) { return SameText(withSeparator, startup); };
    if (std::any_of(FStartupFolders.begin(), FStartupFolders.end(), same))
        return false;
    for (const std::wstring& programs : FProgramsFolders)
        if (!programs.empty() && StartsWithText(withSeparator, programs) &&
            withSeparator.size() > programs.size())
            return true;
    return false;
}

// A vendor's menu folder that also holds another program's shortcut, or
// anything else (an internet shortcut, a "desktop.ini", a linked folder),
// stays, and with it that entry: only the program's own shortcuts are listed.
bool TFRShortcuts::HoldsOnlyProgramShortcuts(const std::wstring& folder) {
    const std::wstring listed = IncludeTrailingBackslash(folder);
    for (const TFindData& entry : FindFiles(listed + L"*")) {
        Check();
        const std::wstring path = listed + std::wstring(entry.Name());
        const bool programs = entry.IsFolder()
                                  ? !entry.IsReparsePoint() && HoldsOnlyProgramShortcuts(path)
                                  : MayBeShortcutFile(path) && FAppFolders.InAppFolder(TargetOf(path));
        if (!programs)
            return false;
    }
    return true;
}

void TFRShortcuts::HandleFolder(const std::wstring& folder) {
    const std::wstring listed = IncludeTrailingBackslash(folder);
    if (!FFileList.DirExists(listed) && MayGoWhole(folder) && HoldsOnlyProgramShortcuts(folder))
        AddWhole(listed);
    const std::wstring parent = ExtractFileDir(folder);
    const std::wstring parentListed = IncludeTrailingBackslash(parent);
    if (!FFileList.DirExists(parentListed) && MayGoWhole(parent) && EntryCount(parentListed) < 2 &&
        HoldsOnlyProgramShortcuts(parent))
        AddWhole(parentListed);
}

void TFRShortcuts::AddWhole(const std::wstring& folder) {
    for (const TFindData& entry : FindFiles(folder + L"*")) {
        Check();
        const std::wstring path = folder + std::wstring(entry.Name());
        if (entry.IsFolder() && entry.IsReparsePoint())
            FFileList.AddDir(path + L"\\");
        else if (entry.IsFolder())
            AddWhole(path + L"\\");
        else
            FFileList.AddFile(path, static_cast<int64_t>(entry.Size()));
    }
    FFileList.AddDir(folder);
}

} // namespace velmora
