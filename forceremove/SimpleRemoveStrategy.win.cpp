#include "forceremove/SimpleRemoveStrategy.h"

#include "platform/OSError.h"
#include "platform/Registry.h"

namespace velmora {

namespace {

// The key opened for changing its values; empty when it does not exist.
TRegKey OpenForValues(const TRegistryKey& key) {
    TRegKey reg = TRegKey::Open(key.Root, key.Path, KEY_QUERY_VALUE | KEY_SET_VALUE, key.View);
    if (!reg && reg.Status() != ERROR_FILE_NOT_FOUND)
        throw EOSError(L"Cannot open registry key " + key.Text(), static_cast<DWORD>(reg.Status()));
    return reg;
}

} // namespace

TSimpleRemoveStrategy::TSimpleRemoveStrategy()
    : FHandle(OpenSCManagerW(nullptr, SERVICES_ACTIVE_DATABASEW, SC_MANAGER_ALL_ACCESS)) {
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

bool TSimpleRemoveStrategy::RegKeyExists(const TRegistryKey& key) {
    return KeyExists(key.Root, key.Path, key.View);
}

void TSimpleRemoveStrategy::DeleteRegValue(const TRegistryKey& key, const std::wstring& name) {
    TRegKey reg = OpenForValues(key);
    if (reg && reg.ValueExists(name))
        CheckOS(reg.DeleteValue(name), L"Cannot delete registry value " + name + L" of " + key.Text());
}

void TSimpleRemoveStrategy::DeleteRegKey(const TRegistryKey& key) {
    // Gone since it was found is as good as deleted.
    if (!DeleteKey(key.Root, key.Path, key.View) && GetLastError() != ERROR_FILE_NOT_FOUND)
        throw EOSError(L"Cannot delete registry key " + key.Text(), GetLastError());
}

void TSimpleRemoveStrategy::WriteRegNumber(const TRegistryKey& key, const std::wstring& name,
                                           uint32_t value) {
    if (TRegKey reg = OpenForValues(key))
        CheckOS(reg.WriteNumber(name, value), L"Cannot write registry value " + name + L" of " + key.Text());
}

} // namespace velmora
