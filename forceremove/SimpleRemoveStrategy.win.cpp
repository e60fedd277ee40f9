#include "forceremove/SimpleRemoveStrategy.h"

#include "platform/OSError.h"

namespace velmora {

TSimpleRemoveStrategy::TSimpleRemoveStrategy()
    : TRegistryRemoveStrategy(nullptr),
      FHandle(OpenSCManagerW(nullptr, SERVICES_ACTIVE_DATABASEW, SC_MANAGER_ALL_ACCESS)) {
    CheckOS(static_cast<bool>(FHandle), L"Unable to open service manager");
}

void TSimpleRemoveStrategy::RemoveDir(const std::wstring& path) {
    CheckOS(RemoveDirectoryW(path.c_str()), L"Cannot remove folder " + path);
}

void TSimpleRemoveStrategy::RemoveFile(const std::wstring& path) {
    CheckOS(DeleteFileW(path.c_str()), L"Cannot delete file " + path);
}

void TSimpleRemoveStrategy::RemoveService(const std::wstring& name) {
    unique_schandle service(OpenServiceW(FHandle.get(), name.c_str(), SERVICE_ALL_ACCESS));
    CheckOS(static_cast<bool>(service), L"Cannot open service " + name);
    CheckOS(DeleteService(service.get()), L"Cannot delete service " + name);
}

uint32_t TSimpleRemoveStrategy::FileGetAttr(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    CheckOS(attributes != INVALID_FILE_ATTRIBUTES, L"Cannot read the attributes of " + path);
    return attributes;
}

void TSimpleRemoveStrategy::FileSetAttr(const std::wstring& path, uint32_t attributes) {
    CheckOS(SetFileAttributesW(path.c_str(), attributes), L"Cannot set the attributes of " + path);
}

} // namespace velmora
