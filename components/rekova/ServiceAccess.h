#pragma once
// IServiceAccess: service changes recorded before they are made (the
// configuration with its description, and the service's registry key). The
// functions that change nothing are passed on as they are.
#include "api/Interfaces.Rekova.h"
#include "components/rekova/Recorder.h"
#include "platform/ComObject.h"
#include "platform/LiveObjects.h"

#include <functional>
#include <memory>

namespace velmora::rekova {

class TServiceAccess : public TInterfacedObject<IServiceAccess>, public TLiveCount<TServiceAccess> {
public:
    explicit TServiceAccess(std::shared_ptr<TRecorder> recorder) : FRecorder(std::move(recorder)) {}

    SC_HANDLE STDMETHODCALLTYPE CreateServiceW(SC_HANDLE Manager, LPCWSTR Name, LPCWSTR DisplayName,
                                               DWORD Access, DWORD ServiceType, DWORD StartType,
                                               DWORD ErrorControl, LPCWSTR BinaryPath, LPCWSTR LoadOrderGroup,
                                               DWORD* TagId, LPCWSTR Dependencies, LPCWSTR StartName,
                                               LPCWSTR Password) override;
    SC_HANDLE STDMETHODCALLTYPE OpenSCManagerW(LPCWSTR Machine, LPCWSTR Database, DWORD Access) override;
    SC_HANDLE STDMETHODCALLTYPE OpenServiceW(SC_HANDLE Manager, LPCWSTR Name, DWORD Access) override;
    BOOL STDMETHODCALLTYPE CloseServiceHandle(SC_HANDLE Handle) override;
    BOOL STDMETHODCALLTYPE StartServiceW(SC_HANDLE Service, DWORD ArgCount, LPCWSTR* Args) override;
    BOOL STDMETHODCALLTYPE ControlService(SC_HANDLE Service, DWORD Control, SERVICE_STATUS* Status) override;
    BOOL STDMETHODCALLTYPE QueryServiceStatus(SC_HANDLE Service, SERVICE_STATUS* Status) override;
    BOOL STDMETHODCALLTYPE QueryServiceConfigW(SC_HANDLE Service, QUERY_SERVICE_CONFIGW* Config, DWORD Size,
                                               DWORD* Needed) override;
    BOOL STDMETHODCALLTYPE ChangeServiceConfigW(SC_HANDLE Service, DWORD ServiceType, DWORD StartType,
                                                DWORD ErrorControl, LPCWSTR BinaryPath,
                                                LPCWSTR LoadOrderGroup, DWORD* TagId, LPCWSTR Dependencies,
                                                LPCWSTR StartName, LPCWSTR Password,
                                                LPCWSTR DisplayName) override;
    BOOL STDMETHODCALLTYPE ChangeServiceConfig2W(SC_HANDLE Service, DWORD InfoLevel, void* Info) override;
    BOOL STDMETHODCALLTYPE DeleteService(SC_HANDLE Service) override;
    BOOL STDMETHODCALLTYPE QueryServiceConfig2W(SC_HANDLE Service, DWORD InfoLevel, BYTE* Buffer, DWORD Size,
                                                DWORD* Needed) override;
    BOOL STDMETHODCALLTYPE QueryServiceStatusEx(SC_HANDLE Service, SC_STATUS_TYPE InfoLevel, BYTE* Buffer,
                                                DWORD Size, DWORD* Needed) override;
    BOOL STDMETHODCALLTYPE EnumServicesStatusExW(SC_HANDLE Manager, SC_ENUM_TYPE InfoLevel, DWORD ServiceType,
                                                 DWORD ServiceState, BYTE* Services, DWORD Size,
                                                 DWORD* Needed, DWORD* Returned, DWORD* ResumeHandle,
                                                 LPCWSTR GroupName) override;
    BOOL STDMETHODCALLTYPE GetServiceDisplayNameW(SC_HANDLE Manager, LPCWSTR Name, LPWSTR DisplayName,
                                                  DWORD* Size) override;
    BOOL STDMETHODCALLTYPE GetServiceKeyNameW(SC_HANDLE Manager, LPCWSTR DisplayName, LPWSTR Name,
                                              DWORD* Size) override;
    BOOL STDMETHODCALLTYPE SetServiceObjectSecurity(SC_HANDLE Service, SECURITY_INFORMATION Which,
                                                    PSECURITY_DESCRIPTOR Descriptor) override;

private:
    // Records the service's configuration, then makes the change; a handle
    // that names no service answers ERROR_INVALID_HANDLE.
    BOOL ChangeService(SC_HANDLE service, std::wstring_view action, const std::function<BOOL()>& apply);

    std::shared_ptr<TRecorder> FRecorder;
};

} // namespace velmora::rekova
