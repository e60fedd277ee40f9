#include "components/procyra/Process.h"

#include "components/Boundary.h"
#include "platform/ComText.h"
#include "platform/FileVersionInfo.h"
#include "platform/Registry.h"

#include <psapi.h>

#include <algorithm>
#include <vector>

namespace velmora::procyra {

using components::Guarded;
namespace {

// Processes ended through Terminate are given this long to be gone.
constexpr DWORD TerminateWaitMs = 5000;

// The richest access the system grants: full queries (memory counters and the
// token need them before Windows 8.1), else the limited ones that Windows
// Vista grants for most processes of other users.
unique_handle OpenForQueries(DWORD id) {
    const DWORD choices[] = {PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | SYNCHRONIZE,
                             PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE};
    for (DWORD access : choices)
        if (unique_handle process{OpenProcess(access, FALSE, id)})
            return process;
    return {};
}

struct TProcessTimes {
    FILETIME Creation, Exit, Kernel, User;
};

std::optional<TProcessTimes> ProcessTimes(HANDLE process) {
    TProcessTimes times{};
    if (!process || !GetProcessTimes(process, &times.Creation, &times.Exit, &times.Kernel, &times.User))
        return std::nullopt;
    return times;
}

int64_t Int64(const FILETIME& time) {
    return static_cast<int64_t>((static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
}

bool SameTime(const FILETIME& a, const FILETIME& b) {
    return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}

std::optional<PROCESS_MEMORY_COUNTERS> MemoryCounters(HANDLE process) {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!process || !GetProcessMemoryInfo(process, &counters, sizeof counters))
        return std::nullopt;
    return counters;
}

std::optional<IO_COUNTERS> IoCounters(HANDLE process) {
    IO_COUNTERS counters{};
    if (!process || !GetProcessIoCounters(process, &counters))
        return std::nullopt;
    return counters;
}

// "DOMAIN\user" of the process's token; empty when it cannot be read.
std::wstring TokenUserName(HANDLE process) {
    unique_handle token;
    if (!process || !OpenProcessToken(process, TOKEN_QUERY, token.put()))
        return {};
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    if (size == 0 || !GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size))
        return {};
    PSID sid = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
    wchar_t name[256], domain[256];
    DWORD nameSize = 256, domainSize = 256;
    SID_NAME_USE use;
    if (!LookupAccountSidW(nullptr, sid, name, &nameSize, domain, &domainSize, &use))
        return {};
    return domainSize ? std::wstring(domain) + L"\\" + name : std::wstring(name);
}

} // namespace

TPYProcess::TPYProcess(TProcessListItem entry)
    : FEntry(std::move(entry)), FProcess(OpenForQueries(FEntry.ProcessID)) {
    if (FProcess) {
        FPath = ProcessImagePathFromHandle(FProcess.get());
        if (auto times = ProcessTimes(FProcess.get()))
            FCreation = times->Creation;
    }
}

int32_t STDMETHODCALLTYPE TPYProcess::GetId() {
    return static_cast<int32_t>(FEntry.ProcessID);
}

void STDMETHODCALLTYPE TPYProcess::GetName(BSTR* Name) {
    Guarded([&] { SetBstr(Name, FEntry.FileName); });
}

void STDMETHODCALLTYPE TPYProcess::GetPath(BSTR* Path) {
    Guarded([&] { SetBstr(Path, FPath); });
}

int32_t STDMETHODCALLTYPE TPYProcess::GetParentId() {
    return static_cast<int32_t>(FEntry.ParentProcessID);
}

int32_t STDMETHODCALLTYPE TPYProcess::GetThreadCount() {
    return static_cast<int32_t>(FEntry.ThreadCount);
}

int32_t STDMETHODCALLTYPE TPYProcess::GetBasePriority() {
    return FEntry.BasePriority;
}

int32_t STDMETHODCALLTYPE TPYProcess::GetSessionId() {
    DWORD session = 0;
    return ProcessIdToSessionId(FEntry.ProcessID, &session) ? static_cast<int32_t>(session) : -1;
}

double STDMETHODCALLTYPE TPYProcess::GetCreationTime() {
    return Guarded(0.0, [&] { return FCreation ? FileTimeToLocalDate(*FCreation).value_or(0.0) : 0.0; });
}

int64_t STDMETHODCALLTYPE TPYProcess::GetKernelTime() {
    auto times = ProcessTimes(FProcess.get());
    return times ? Int64(times->Kernel) : -1;
}

int64_t STDMETHODCALLTYPE TPYProcess::GetUserTime() {
    auto times = ProcessTimes(FProcess.get());
    return times ? Int64(times->User) : -1;
}

int64_t STDMETHODCALLTYPE TPYProcess::GetWorkingSetSize() {
    auto counters = MemoryCounters(FProcess.get());
    return counters ? static_cast<int64_t>(counters->WorkingSetSize) : -1;
}

int64_t STDMETHODCALLTYPE TPYProcess::GetPeakWorkingSetSize() {
    auto counters = MemoryCounters(FProcess.get());
    return counters ? static_cast<int64_t>(counters->PeakWorkingSetSize) : -1;
}

int64_t STDMETHODCALLTYPE TPYProcess::GetPagefileUsage() {
    auto counters = MemoryCounters(FProcess.get());
    return counters ? static_cast<int64_t>(counters->PagefileUsage) : -1;
}

int32_t STDMETHODCALLTYPE TPYProcess::GetHandleCount() {
    DWORD count = 0;
    return FProcess && GetProcessHandleCount(FProcess.get(), &count) ? static_cast<int32_t>(count) : -1;
}

int32_t STDMETHODCALLTYPE TPYProcess::GetPriorityClass() {
    return FProcess ? static_cast<int32_t>(::GetPriorityClass(FProcess.get())) : 0;
}

bool STDMETHODCALLTYPE TPYProcess::IsWow64() {
    BOOL wow64 = FALSE;
    return FProcess && IsWow64Process(FProcess.get(), &wow64) && wow64;
}

void STDMETHODCALLTYPE TPYProcess::GetUserName(BSTR* User) {
    Guarded([&] { SetBstr(User, TokenUserName(FProcess.get())); });
}

void TPYProcess::SetVersionValue(const wchar_t* name, BSTR* out) const {
    Guarded([&] { SetBstr(out, FPath.empty() ? std::wstring() : TFileVersionInfo(FPath).GetValue(name)); });
}

void STDMETHODCALLTYPE TPYProcess::GetFileDescription(BSTR* Description) {
    SetVersionValue(L"FileDescription", Description);
}

void STDMETHODCALLTYPE TPYProcess::GetCompanyName(BSTR* Company) {
    SetVersionValue(L"CompanyName", Company);
}

void STDMETHODCALLTYPE TPYProcess::GetFileVersion(BSTR* Version) {
    SetVersionValue(L"FileVersion", Version);
}

int64_t STDMETHODCALLTYPE TPYProcess::GetReadTransferCount() {
    auto counters = IoCounters(FProcess.get());
    return counters ? static_cast<int64_t>(counters->ReadTransferCount) : -1;
}

int64_t STDMETHODCALLTYPE TPYProcess::GetWriteTransferCount() {
    auto counters = IoCounters(FProcess.get());
    return counters ? static_cast<int64_t>(counters->WriteTransferCount) : -1;
}

bool STDMETHODCALLTYPE TPYProcess::IsRunning() {
    return FProcess && WaitForSingleObject(FProcess.get(), 0) == WAIT_TIMEOUT;
}

int32_t STDMETHODCALLTYPE TPYProcess::GetExitCode() {
    DWORD code = 0;
    return FProcess && GetExitCodeProcess(FProcess.get(), &code) ? static_cast<int32_t>(code) : -1;
}

bool STDMETHODCALLTYPE TPYProcess::WaitForExit(int32_t Milliseconds) {
    return FProcess && WaitForSingleObject(FProcess.get(), static_cast<DWORD>(std::max(Milliseconds, 0))) ==
                           WAIT_OBJECT_0;
}

HRESULT STDMETHODCALLTYPE TPYProcess::Terminate() {
    return Guarded(E_UNEXPECTED, [&] { return End(); });
}

HRESULT TPYProcess::End() const {
    // Ending the caller's own process would take the caller with it mid-call.
    if (FEntry.ProcessID == GetCurrentProcessId())
        return HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
    if (FProcess && WaitForSingleObject(FProcess.get(), 0) == WAIT_OBJECT_0)
        return PY_E_PROCESS_ENDED;
    unique_handle target{OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION,
                                     FALSE, FEntry.ProcessID)};
    if (!target) {
        // The system answers an id that no process has with an invalid parameter.
        DWORD error = GetLastError();
        return error == ERROR_INVALID_PARAMETER ? PY_E_PROCESS_ENDED : HRESULT_FROM_WIN32(error);
    }
    auto times = ProcessTimes(target.get());
    bool sameProcess = !FCreation || (times && SameTime(times->Creation, *FCreation));
    if (!sameProcess || WaitForSingleObject(target.get(), 0) == WAIT_OBJECT_0)
        return PY_E_PROCESS_ENDED;
    if (!TerminateProcess(target.get(), 1)) {
        DWORD error = GetLastError();
        return WaitForSingleObject(target.get(), 0) == WAIT_OBJECT_0 ? PY_E_PROCESS_ENDED
                                                                     : HRESULT_FROM_WIN32(error);
    }
    return WaitForSingleObject(target.get(), TerminateWaitMs) == WAIT_OBJECT_0
               ? S_OK
               : HRESULT_FROM_WIN32(WAIT_TIMEOUT);
}

} // namespace velmora::procyra
