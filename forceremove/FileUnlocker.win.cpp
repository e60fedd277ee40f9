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
#include "platform/Registry.h"

#include <string>
#include <utility>

namespace velmora {

namespace {

constexpr std::wstring_view ProcessComponent = L"ProcyraHelper.dll";

// The agent of the system's bitness, beside the host executable.
std::wstring AgentLibrary() {
    return ExtractFilePath(HostExecutableFileName()) +
           (Is64BitWindows() ? L"ProcyraHelper.Agent.x64.dll" : L"ProcyraHelper.Agent.x32.dll");
}

// The agent's class registered for the unlocker's run only: removed at the
// end unless a registration was there before.
class TAgentRegistration {
public:
    explicit TAgentRegistration(std::wstring library) : FLibrary(std::move(library)) {
        wchar_t clsid[40];
        StringFromGUID2(CLSID_PYAgentManager, clsid, 40);
        FWasThere = KeyExists(HKEY_LOCAL_MACHINE, std::wstring(L"Software\\Classes\\CLSID\\") + clsid);
        // Without the agent the manager is still served by the component itself.
        FRegistered = !FWasThere && RegisterLibrary(FLibrary, true);
    }
    ~TAgentRegistration() {
        if (FRegistered)
            RegisterLibrary(FLibrary, false);
    }
    TAgentRegistration(const TAgentRegistration&) = delete;
    TAgentRegistration& operator=(const TAgentRegistration&) = delete;

private:
    std::wstring FLibrary;
    bool FWasThere = false;
    bool FRegistered = false;
};

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
    // Declared before the manager, so that it goes after it.
    const TAgentRegistration registration(AgentLibrary());

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
