#pragma once
// One running process as a list refresh found it. The object holds the
// process open for queries where the system lets it, which also keeps the
// process's id from being given to another process while the object lives.
#include "api/Interfaces.Procyra.h"
#include "platform/ComObject.h"
#include "platform/Handles.h"
#include "platform/LiveObjects.h"
#include "platform/ProcessList.h"

#include <optional>
#include <string>

namespace velmora::procyra {

class TPYProcess : public TInterfacedObject<IPYProcess>, public TLiveCount<TPYProcess> {
public:
    explicit TPYProcess(TProcessListItem entry);

    DWORD Id() const { return FEntry.ProcessID; }
    // What the list's text operations compare: the full path, or the file
    // name when the path is unknown.
    const std::wstring& Text() const { return FPath.empty() ? FEntry.FileName : FPath; }

    int32_t STDMETHODCALLTYPE GetId() override;
    void STDMETHODCALLTYPE GetName(BSTR* Name) override;
    void STDMETHODCALLTYPE GetPath(BSTR* Path) override;
    int32_t STDMETHODCALLTYPE GetParentId() override;
    int32_t STDMETHODCALLTYPE GetThreadCount() override;
    int32_t STDMETHODCALLTYPE GetBasePriority() override;
    int32_t STDMETHODCALLTYPE GetSessionId() override;
    double STDMETHODCALLTYPE GetCreationTime() override;
    int64_t STDMETHODCALLTYPE GetKernelTime() override;
    int64_t STDMETHODCALLTYPE GetUserTime() override;
    int64_t STDMETHODCALLTYPE GetWorkingSetSize() override;
    int64_t STDMETHODCALLTYPE GetPeakWorkingSetSize() override;
    int64_t STDMETHODCALLTYPE GetPagefileUsage() override;
    int32_t STDMETHODCALLTYPE GetHandleCount() override;
    int32_t STDMETHODCALLTYPE GetPriorityClass() override;
    bool STDMETHODCALLTYPE IsWow64() override;
    void STDMETHODCALLTYPE GetUserName(BSTR* User) override;
    void STDMETHODCALLTYPE GetFileDescription(BSTR* Description) override;
    void STDMETHODCALLTYPE GetCompanyName(BSTR* Company) override;
    void STDMETHODCALLTYPE GetFileVersion(BSTR* Version) override;
    int64_t STDMETHODCALLTYPE GetReadTransferCount() override;
    int64_t STDMETHODCALLTYPE GetWriteTransferCount() override;
    bool STDMETHODCALLTYPE IsRunning() override;
    int32_t STDMETHODCALLTYPE GetExitCode() override;
    bool STDMETHODCALLTYPE WaitForExit(int32_t Milliseconds) override;
    HRESULT STDMETHODCALLTYPE Terminate() override;

private:
    HRESULT End() const;
    void SetVersionValue(const wchar_t* name, BSTR* out) const;

    TProcessListItem FEntry;
    unique_handle FProcess;
    std::wstring FPath;
    // The start as the system recorded it: tells this process from a later
    // one given the same id.
    std::optional<FILETIME> FCreation;
};

} // namespace velmora::procyra
