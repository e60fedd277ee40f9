#include "components/rekova/ServiceAccess.h"

#include "components/rekova/Boundary.h"

namespace velmora::rekova {

BOOL TServiceAccess::ChangeService(SC_HANDLE service, std::wstring_view action,
                                   const std::function<BOOL()>& apply) {
    return Guarded(
        *FRecorder,
        [&] {
            std::wstring name = FRecorder->ServiceName(service);
            if (name.empty())
                throw EOSError(L"The service handle names no service this component can record",
                               ERROR_INVALID_HANDLE);
            BOOL done = FRecorder->Change([&name] { return TCaptures{CaptureService(name)}; }, apply,
                                          [](BOOL ok) { return ok != FALSE; });
            if (!done) {
                DWORD error = GetLastError();
                FRecorder->SetError(Format(L"Cannot %s %s: %s", action, name, SystemErrorMessage(error)));
                SetLastError(error);
            }
            return done;
        },
        LastErrorFailure(FALSE));
}

SC_HANDLE STDMETHODCALLTYPE TServiceAccess::CreateServiceW(
    SC_HANDLE Manager, LPCWSTR Name, LPCWSTR DisplayName, DWORD Access, DWORD ServiceType, DWORD StartType,
    DWORD ErrorControl, LPCWSTR BinaryPath, LPCWSTR LoadOrderGroup, DWORD* TagId, LPCWSTR Dependencies,
    LPCWSTR StartName, LPCWSTR Password) {
    if (!Name) {
        SetLastError(ERROR_INVALID_NAME);
        return nullptr;
    }
    return Guarded(
        *FRecorder,
        [&] {
            SC_HANDLE service = FRecorder->Change([Name] { return TCaptures{CaptureNewService(Name)}; },
                                                  [&] {
                                                      return ::CreateServiceW(
                                                          Manager, Name, DisplayName, Access, ServiceType,
                                                          StartType, ErrorControl, BinaryPath, LoadOrderGroup,
                                                          TagId, Dependencies, StartName, Password);
                                                  },
                                                  [](SC_HANDLE h) { return h != nullptr; });
            if (service)
                FRecorder->RememberService(service, Name);
            return service;
        },
        LastErrorFailure(SC_HANDLE{}));
}

SC_HANDLE STDMETHODCALLTYPE TServiceAccess::OpenSCManagerW(LPCWSTR Machine, LPCWSTR Database, DWORD Access) {
    return ::OpenSCManagerW(Machine, Database, Access);
}

SC_HANDLE STDMETHODCALLTYPE TServiceAccess::OpenServiceW(SC_HANDLE Manager, LPCWSTR Name, DWORD Access) {
    return Guarded(
        *FRecorder,
        [&] {
            SC_HANDLE service = ::OpenServiceW(Manager, Name, Access);
            if (service && Name)
                FRecorder->RememberService(service, Name);
            return service;
        },
        LastErrorFailure(SC_HANDLE{}));
}

BOOL STDMETHODCALLTYPE TServiceAccess::CloseServiceHandle(SC_HANDLE Handle) {
    FRecorder->ForgetService(Handle);
    return ::CloseServiceHandle(Handle);
}

BOOL STDMETHODCALLTYPE TServiceAccess::StartServiceW(SC_HANDLE Service, DWORD ArgCount, LPCWSTR* Args) {
    return ::StartServiceW(Service, ArgCount, Args);
}

BOOL STDMETHODCALLTYPE TServiceAccess::ControlService(SC_HANDLE Service, DWORD Control,
                                                      SERVICE_STATUS* Status) {
    return ::ControlService(Service, Control, Status);
}

BOOL STDMETHODCALLTYPE TServiceAccess::QueryServiceStatus(SC_HANDLE Service, SERVICE_STATUS* Status) {
    return ::QueryServiceStatus(Service, Status);
}

BOOL STDMETHODCALLTYPE TServiceAccess::QueryServiceConfigW(SC_HANDLE Service, QUERY_SERVICE_CONFIGW* Config,
                                                           DWORD Size, DWORD* Needed) {
    return ::QueryServiceConfigW(Service, Config, Size, Needed);
}

BOOL STDMETHODCALLTYPE TServiceAccess::ChangeServiceConfigW(SC_HANDLE Service, DWORD ServiceType,
                                                            DWORD StartType, DWORD ErrorControl,
                                                            LPCWSTR BinaryPath, LPCWSTR LoadOrderGroup,
                                                            DWORD* TagId, LPCWSTR Dependencies,
                                                            LPCWSTR StartName, LPCWSTR Password,
                                                            LPCWSTR DisplayName) {
    return ChangeService(Service, L"change the configuration of the service", [&] {
        return ::ChangeServiceConfigW(Service, ServiceType, StartType, ErrorControl, BinaryPath,
                                      LoadOrderGroup, TagId, Dependencies, StartName, Password, DisplayName);
    });
}

BOOL STDMETHODCALLTYPE TServiceAccess::ChangeServiceConfig2W(SC_HANDLE Service, DWORD InfoLevel, void* Info) {
    return ChangeService(Service, L"change the configuration of the service",
                         [&] { return ::ChangeServiceConfig2W(Service, InfoLevel, Info); });
}

BOOL STDMETHODCALLTYPE TServiceAccess::DeleteService(SC_HANDLE Service) {
    return ChangeService(Service, L"delete the service", [Service] { return ::DeleteService(Service); });
}

BOOL STDMETHODCALLTYPE TServiceAccess::QueryServiceConfig2W(SC_HANDLE Service, DWORD InfoLevel, BYTE* Buffer,
                                                            DWORD Size, DWORD* Needed) {
    return ::QueryServiceConfig2W(Service, InfoLevel, Buffer, Size, Needed);
}

BOOL STDMETHODCALLTYPE TServiceAccess::QueryServiceStatusEx(SC_HANDLE Service, SC_STATUS_TYPE InfoLevel,
                                                            BYTE* Buffer, DWORD Size, DWORD* Needed) {
    return ::QueryServiceStatusEx(Service, InfoLevel, Buffer, Size, Needed);
}

BOOL STDMETHODCALLTYPE TServiceAccess::EnumServicesStatusExW(SC_HANDLE Manager, SC_ENUM_TYPE InfoLevel,
                                                             DWORD ServiceType, DWORD ServiceState,
                                                             BYTE* Services, DWORD Size, DWORD* Needed,
                                                             DWORD* Returned, DWORD* ResumeHandle,
                                                             LPCWSTR GroupName) {
    return ::EnumServicesStatusExW(Manager, InfoLevel, ServiceType, ServiceState, Services, Size, Needed,
                                   Returned, ResumeHandle, GroupName);
}

BOOL STDMETHODCALLTYPE TServiceAccess::GetServiceDisplayNameW(SC_HANDLE Manager, LPCWSTR Name,
                                                              LPWSTR DisplayName, DWORD* Size) {
    return ::GetServiceDisplayNameW(Manager, Name, DisplayName, Size);
}

BOOL STDMETHODCALLTYPE TServiceAccess::GetServiceKeyNameW(SC_HANDLE Manager, LPCWSTR DisplayName, LPWSTR Name,
                                                          DWORD* Size) {
    return ::GetServiceKeyNameW(Manager, DisplayName, Name, Size);
}

BOOL STDMETHODCALLTYPE TServiceAccess::SetServiceObjectSecurity(SC_HANDLE Service, SECURITY_INFORMATION Which,
                                                                PSECURITY_DESCRIPTOR Descriptor) {
    return ChangeService(Service, L"change the security of the service",
                         [&] { return ::SetServiceObjectSecurity(Service, Which, Descriptor); });
}

} // namespace velmora::rekova
