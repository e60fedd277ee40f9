#include "inventory/ActionThread.h"

#include "console/Process.h"
#include "frame/DebugLog.h"
#include "inventory/ItemProduct.h"
#include "platform/Files.h"
#include "platform/PathText.h"
#include "platform/Paths.h"
#include "platform/Text.h"

#include <algorithm>
#include <optional>
#include <unordered_map>
#include <unordered_set>

namespace velmora {

namespace {

bool IsUnderFolder(const std::wstring& path, const std::wstring& folder) {
    if (folder.empty())
        return false;
    std::wstring prefix = UpperCase(IncludeTrailingBackslash(folder));
    return UpperCase(path).starts_with(prefix);
}

// The temporary folder as GetTempPathW writes it and in its long form (the
// user name may be shortened in the one, an image path carries the other).
std::vector<std::wstring> TempFolderForms() {
    std::vector<std::wstring> forms;
    std::wstring temp = TempFolder();
    if (temp.empty())
        return forms;
    forms.push_back(temp);
    std::wstring longForm(32768, L'\0');
    DWORD length = GetLongPathNameW(temp.c_str(), longForm.data(), static_cast<DWORD>(longForm.size()));
    if (length > 0 && length < longForm.size()) {
        longForm.resize(length);
        longForm = ExcludeTrailingBackslash(longForm);
        if (!SameText(longForm, temp))
            forms.push_back(longForm);
    }
    return forms;
}

bool Contains(const std::vector<TProcessListItem>& list, DWORD processID) {
    return std::any_of(list.begin(), list.end(),
                       [&](const TProcessListItem& item) { return item.ProcessID == processID; });
}

} // namespace

bool IsRelaunchCopyName(const std::wstring& fileName) {
    return fileName.size() == 7 && fileName.ends_with(L"u_.exe");
}

DWORD FindRelaunchedUninstaller(const std::vector<TProcessListItem>& before,
                                const std::vector<TProcessListItem>& after, const TRelaunchProbe& probe) {
    // Without the first snapshot every process would look new.
    if (before.empty() || probe.UninstallerID == 0 || !probe.ParentOf)
        return 0;
    std::unordered_set<DWORD> known;
    for (const auto& item : before)
        known.insert(item.ProcessID);
    // Started by the uninstaller, directly or through processes that are new
    // as well (a wrapper the command ran); the depth bounds a cycle of reused ids.
    auto startedByUninstaller = [&](DWORD processID) {
        for (int depth = 0; depth < 8; ++depth) {
            const DWORD parent = probe.ParentOf(processID);
            if (parent == probe.UninstallerID)
                return true;
            if (parent == 0 || known.contains(parent))
                return false;
            processID = parent;
        }
        return false;
    };
    for (const auto& item : after) {
        if (known.contains(item.ProcessID) || !startedByUninstaller(item.ProcessID))
            continue;
        if (IsRelaunchCopyName(item.FileName))
            return item.ProcessID;
        // A bootstrapper's helpers run from the temporary folder too: only a
        // copy of the uninstaller itself counts there.
        if (!probe.ImagePathOf || !probe.IsUninstallerCopy)
            continue;
        const std::wstring image = probe.ImagePathOf(item.ProcessID);
        const bool inTemp = std::any_of(probe.TempFolders.begin(), probe.TempFolders.end(),
                                        [&](const std::wstring& temp) { return IsUnderFolder(image, temp); });
        if (inTemp && probe.IsUninstallerCopy(image))
            return item.ProcessID;
    }
    return 0;
}

TExecuteActionThread::TExecuteActionThread(TItemProduct& product, TPossibleActions action)
    : FProduct(&product), FAction(action) {
    FProcess = std::make_unique<TProcess>(product.GetActionCommand(action),
                                          product.ShowActionWindow() ? SW_SHOWNORMAL : 0);
    FProcess->FTerminateProccessAtAbort = false;
    // The user asked for this action and sees its window: an uninstaller that
    // needs administrator rights asks for their consent. A quiet uninstall
    // asks nothing; without the rights it fails and says so.
    FProcess->FElevateThroughShell =
        action == TPossibleActions::paUninstall || action == TPossibleActions::paModify ||
        action == TPossibleActions::paRepair || action == TPossibleActions::paModifyRemove;
}

TExecuteActionThread::~TExecuteActionThread() {
    // Execute uses FProcess: end the body before the member goes.
    TerminateAndWait();
}

HWND TExecuteActionThread::GetTopWindow() const {
    return FProcess->GetTopWindow();
}

void TExecuteActionThread::Execute() {
    try {
        // Taken before the command starts, so that a copy the uninstaller
        // starts at any moment of its run is new against it, and so that its
        // copy is still known when it has deleted the original file.
        std::vector<TProcessListItem> before = ProcessSnapshot();
        std::optional<TFileFingerprint> uninstaller = FileFingerprint(ProgramOfCommand(FProcess->Cmd()));
        int32_t result = FProcess->DoExecute(*this);
        // The command's own run time: an error box shown next may stay open long.
        const DWORD ran = GetTickCount() - FProcess->StartTick();
        FProcess->DoFinish(result);
        if (!Terminated() && ran <= RelaunchWindowMs)
            WaitForRelaunchedUninstaller(before, uninstaller);
    } catch (const EAbort&) {
    } catch (...) {
        StatisticsLog::AddError();
    }
    // A stopper that took the thread from the product frees it; otherwise the
    // thread leaves the product and frees itself.
    FProduct->DetachActionThread(this);
}

// Many uninstallers copy themselves to the temporary folder, start the copy
// and return at once, so that their own file can be deleted; the copy does
// the work. The action counts as running until that copy ends, because the
// front end takes the end of the action as the moment to look at the
// inventory again. Only a process that is new against the snapshot taken
// before the start and that the uninstaller itself started counts, and only
// one named like such a copy ("Au_.exe") or a copy of the uninstaller's file
// started from the temporary folder (current installers relaunch as "Un.exe"
// there): an unrelated program started meanwhile, or a helper the
// uninstaller unpacked, must not hold the action.
void TExecuteActionThread::WaitForRelaunchedUninstaller(const std::vector<TProcessListItem>& before,
                                                        const std::optional<TFileFingerprint>& uninstaller) {
    TRelaunchProbe probe;
    probe.UninstallerID = FProcess->ProcessID();
    probe.TempFolders = TempFolderForms();
    if (uninstaller) {
        probe.IsUninstallerCopy = [&](const std::wstring& path) {
            // The size first: most other files end there without being read.
            return FileSize(path) == uninstaller->Size && FileFingerprint(path) == uninstaller;
        };
    }
    std::optional<std::unordered_map<DWORD, DWORD>> parents;
    probe.ParentOf = [&](DWORD processID) -> DWORD {
        // The terminal-server list names no parents: one Toolhelp snapshot
        // per search answers them.
        if (!parents) {
            parents.emplace();
            for (const auto& item : ProcessList())
                (*parents)[item.ProcessID] = item.ParentProcessID;
        }
        auto it = parents->find(processID);
        return it == parents->end() ? 0 : it->second;
    };
    probe.ImagePathOf = ProcessImagePath;

    std::vector<TProcessListItem> after = ProcessSnapshot();
    DWORD copyID = FindRelaunchedUninstaller(before, after, probe);
    if (copyID == 0)
        return;
    StatisticsLog::Add(L"Waiting for the relaunched uninstaller (process %d).", static_cast<int>(copyID));
    while (Contains(after, copyID)) {
        SleepByAndCheck(100);
        after = ProcessSnapshot();
    }
    StatisticsLog::Add(L"The relaunched uninstaller has ended (process %d).", static_cast<int>(copyID));
}

} // namespace velmora
