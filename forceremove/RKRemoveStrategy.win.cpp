#include "forceremove/RKRemoveStrategy.h"

#include "frame/StringsLocalized.h"
#include "platform/ComText.h"
#include "platform/FileVersionInfo.h"
#include "platform/Format.h"
#include "platform/Module.h"
#include "platform/OSError.h"

namespace velmora {

namespace {

// The description of the running program, as its version resource gives it.
std::wstring ProcessDescription() {
    return TFileVersionInfo(ModuleFileName(nullptr)).GetValue(L"FileDescription");
}

// Closes a service handle through the component.
class TServiceHandle {
public:
    TServiceHandle(IServiceAccess& svc, SC_HANDLE handle) : FSvc(svc), FHandle(handle) {}
    ~TServiceHandle() {
        if (FHandle)
            FSvc.CloseServiceHandle(FHandle);
    }
    TServiceHandle(const TServiceHandle&) = delete;
    TServiceHandle& operator=(const TServiceHandle&) = delete;
    SC_HANDLE get() const { return FHandle; }

private:
    IServiceAccess& FSvc;
    SC_HANDLE FHandle;
};

} // namespace

TRKRemoveStrategy::TRKRemoveStrategy(const std::wstring& productName, TComPtr<IRekova> rekova)
    : TRegistryRemoveStrategy(rekova.get()), FRekova(std::move(rekova)), FProductName(productName) {
    CheckHResult(FRekova->GetServiceAccess(FSvc.put()), L"Unable to get the backup component's services");
    const std::wstring name = Format(DLLStringsLocalized::RekovaSessionName(), FProductName);
    BSTR id = nullptr;
    CheckHResult(FRekova->BeginBackupSet(name.c_str(), ProcessDescription().c_str(), 0, &id),
                 L"Unable to begin the backup set " + name);
    SysFreeString(id);
}

TRKRemoveStrategy::~TRKRemoveStrategy() {
    FSvc.reset();
    FRekova->EndBackupSet(true);
}

TComPtr<IFileAccess> TRKRemoveStrategy::Files() const {
    TComPtr<IFileAccess> files;
    CheckHResult(FRekova->GetFileAccess(files.put()), L"Unable to get the backup component's files");
    return files;
}

void TRKRemoveStrategy::RemoveDir(const std::wstring& path) {
    CheckHResult(Files()->RemoveFolder(path.c_str()), L"Cannot remove folder " + path);
}

void TRKRemoveStrategy::RemoveFile(const std::wstring& path) {
    CheckHResult(Files()->RemoveFile(path.c_str()), L"Cannot delete file " + path);
}

uint32_t TRKRemoveStrategy::FileGetAttr(const std::wstring& path) {
    DWORD attributes = Files()->GetAttributes(path.c_str());
    CheckOS(attributes != INVALID_FILE_ATTRIBUTES, L"Cannot read the attributes of " + path);
    return attributes;
}

void TRKRemoveStrategy::FileSetAttr(const std::wstring& path, uint32_t attributes) {
    CheckHResult(Files()->SetAttributes(path.c_str(), attributes), L"Cannot set the attributes of " + path);
}

void TRKRemoveStrategy::RemoveService(const std::wstring& name) {
    TServiceHandle manager(*FSvc,
                           FSvc->OpenSCManagerW(nullptr, SERVICES_ACTIVE_DATABASEW, SC_MANAGER_ALL_ACCESS));
    CheckOS(manager.get() != nullptr, L"Unable to open service manager");
    TServiceHandle service(*FSvc, FSvc->OpenServiceW(manager.get(), name.c_str(), SERVICE_ALL_ACCESS));
    CheckOS(service.get() != nullptr, L"Cannot open service " + name);
    CheckOS(FSvc->DeleteService(service.get()), L"Cannot delete service " + name);
}

} // namespace velmora
