#include "forceremove/FileUnlocker.h"

#include "api/Interfaces.Procyra.h"
#include "forceremove/AppFolders.h"
#include "frame/DebugLog.h"
#include "platform/ComObject.h"
#include "platform/ComText.h"
#include "platform/LibraryLoader.h"
#include "platform/Module.h"
#include "platform/OSError.h"
#include "platform/OSInfo.h"
#include "platform/Format.h"
#include "platform/PathText.h"

namespace velmora {

namespace {

constexpr std::wstring_view ProcessComponent = L"ProcyraHelper.dll";

// The agent of the system's bitness, beside the host executable.
std::wstring AgentLibrary() {
    return ExtractFilePath(HostExecutableFileName()) +
           (Is64BitWindows() ? L"ProcyraHelper.Agent.x64.dll" : L"ProcyraHelper.Agent.x32.dll");
}

TComPtr<IPYProcessList> ProcessList(IPYManager& manager) {
    TComPtr<IPYProcessList> list;
    manager.GetProcessList(list.put());
    if (!list)
        throw EOSError(L"The process manager has no process list", static_cast<DWORD>(ERROR_INVALID_DATA));
    return list;
}

} // namespace

TFileUnlocker::TFileUnlocker(const TAppFolders& folders) : FFolders(folders) {}

// A process that will not end is logged: its files then fail to delete, each
// with its own error.
void TFileUnlocker::EndIfInProgramFolder(IPYProcess& process, TDebugLog& log) const {
    BSTR text = nullptr;
    process.GetPath(&text);
    std::wstring path = BstrText(unique_bstr(text).get());
    if (!FFolders.InAppFolder(path))
        return;
    HRESULT result = process.Terminate();
    if (FAILED(result) && result != PY_E_PROCESS_ENDED)
        log.WriteLog(TLogLevel::llError, Format(L"Unable to end process %s: %s", path,
                                                SystemErrorMessage(static_cast<DWORD>(result))));
}

void TFileUnlocker::Execute() {
    TDebugLog& log = DebugLog();
    log.WriteLog(TLogLevel::llInfo, L"Registering COM...");
    // Without the agent the manager is still served by the component itself.
    RegisterLibrary(AgentLibrary(), true);

    log.WriteLog(TLogLevel::llInfo, L"Getting PYManager...");
    TComPtr<IPYManager> manager;
    if (!DllRoutines::GetInstance(ProcessComponent, __uuidof(IPYManager),
                                  reinterpret_cast<void**>(manager.put())))
        throw EOSError(L"Unable to get the process manager of ProcyraHelper.dll",
                       static_cast<DWORD>(ERROR_MOD_NOT_FOUND));

    log.WriteLog(TLogLevel::llInfo, L"Refreshing PY Manager");
    CheckHResult(ProcessList(*manager)->Refresh(), L"Unable to refresh the process list");

    ProcessList(*manager)->BeginWalk();
    TComPtr<IPYProcessList> processes = ProcessList(*manager);
    log.WriteLog(TLogLevel::llInfo, L"Killing process list...");
    for (int32_t i = 0, count = processes->GetCount(); i < count; ++i) {
        TComPtr<IPYProcess> process;
        processes->GetItem(i, process.put());
        if (process)
            EndIfInProgramFolder(*process, log);
    }
    ProcessList(*manager)->EndWalk();
}

} // namespace velmora
