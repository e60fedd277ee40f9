#pragma once
// The thread that runs one product action: the command through the console
// runner, its error report, and the wait for an uninstaller that relaunched
// itself from the temporary folder and returned at once.
#include <windows.h>

#include "api/Enums.Velmora.h"
#include "platform/Files.h"
#include "platform/ProcessList.h"
#include "platform/Thread.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

class TItemProduct;
class TProcess;

// A command that ended this quickly may have handed its work to a copy of
// itself; a slower one did the work in its own process.
constexpr DWORD RelaunchWindowMs = 10000;

// True for the names of the copies classic uninstallers start: exactly seven
// characters ending in "u_.exe" ("Au_.exe"), case-sensitive.
bool IsRelaunchCopyName(const std::wstring& fileName);

// What the relaunch rule needs to know of a process beyond its name and id.
struct TRelaunchProbe {
    DWORD UninstallerID = 0;
    // The user's temporary folder, in every form it may be written (short
    // and long), without a trailing separator.
    std::vector<std::wstring> TempFolders;
    std::function<DWORD(DWORD)> ParentOf;
    std::function<std::wstring(DWORD)> ImagePathOf;
    // Whether a file holds the same bytes as the uninstaller's file had when
    // the command started; unset when that file could not be read.
    std::function<bool(const std::wstring& path)> IsUninstallerCopy;
};

// The id of a process of after that is not in before and is a relaunched copy
// of the uninstaller: started by the uninstaller itself (directly or through
// new processes between) and either named like a classic copy or run from
// the temporary folder as a copy of the uninstaller's file. 0 when there is
// none, or when before is empty (no snapshot could be taken) or the parents
// are unknown.
DWORD FindRelaunchedUninstaller(const std::vector<TProcessListItem>& before,
                                const std::vector<TProcessListItem>& after, const TRelaunchProbe& probe);

class TExecuteActionThread : public TThread {
public:
    // Created unstarted; takes the command line and the window mode from the
    // product. A stop leaves the started process running.
    TExecuteActionThread(TItemProduct& product, TPossibleActions action);
    ~TExecuteActionThread() override;

    TPossibleActions Action() const { return FAction; }
    // The main window of the running command, or nullptr.
    HWND GetTopWindow() const;

protected:
    void Execute() override;

private:
    void WaitForRelaunchedUninstaller(const std::vector<TProcessListItem>& before,
                                      const std::optional<TFileFingerprint>& uninstaller);

    TItemProduct* FProduct;
    TPossibleActions FAction;
    std::unique_ptr<TProcess> FProcess;
};

} // namespace velmora
