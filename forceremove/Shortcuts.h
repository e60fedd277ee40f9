#pragma once
// Shortcuts into the program on the desktop and in the Start menu's Programs
// folders, and the program's own Start-menu folders.
#include "forceremove/Tasks.h"

#include <string>
#include <unordered_map>
#include <vector>

namespace velmora {

class TAppFolders;
class TFRFileList;
class TFRShortcutList;

class TFRShortcuts : public TFRTask {
public:
    // The lists are the removal's, not owned.
    TFRShortcuts(TAppFolders& appFolders, TFRFileList& fileList, TFRShortcutList& shortcutList,
                 TWorkflowCheck checkWorkflow);

    // A failure, and a termination too, is written to the statistics log;
    // the worker's next pause check then ends it.
    void Run() override;

private:
    void Scan();
    void Check() const;
    void CollectDesktop(std::vector<std::wstring>& candidates) const;
    void CollectBelow(const std::wstring& folder, std::vector<std::wstring>& candidates) const;
    // Resolved once per shortcut: the advertised target, else the stored one.
    const std::wstring& TargetOf(const std::wstring& shortcut);
    void HandleFolder(const std::wstring& folder);
    // Below a Programs folder, and not a Startup folder (whose other
    // entries start with Windows).
    bool MayGoWhole(const std::wstring& folder) const;
    // Every entry, at any depth, is a shortcut into the program.
    bool HoldsOnlyProgramShortcuts(const std::wstring& folder);
    // Every file and subfolder, each folder after its content, the folder last.
    void AddWhole(const std::wstring& folder);

    TAppFolders& FAppFolders;
    TFRFileList& FFileList;
    TFRShortcutList& FShortcutList;
    TWorkflowCheck FCheckWorkflow;
    std::vector<std::wstring> FProgramsFolders; // the user's and the common one
    std::vector<std::wstring> FStartupFolders;  // the user's and the common one
    std::unordered_map<std::wstring, std::wstring> FTargets;
};

} // namespace velmora
