#include "forceremove/RegistryRemoveStrategy.h"

#include "platform/OSError.h"
#include "platform/Registry.h"

namespace velmora {

void TRegistryRemoveStrategy::Select(const TRegistryKey& key) {
    FReg.SetRoot(RootKey(key.Root));
    FReg.SetAccess(KEY_ALL_ACCESS | ViewAccess(key.View));
}

bool TRegistryRemoveStrategy::RegKeyExists(const TRegistryKey& key) {
    Select(key);
    return FReg.KeyExists(key.Path);
}

// A key that is missing holds no value to delete; one that does not open raises.
void TRegistryRemoveStrategy::OpenForValues(const TRegistryKey& key) {
    Select(key);
    LSTATUS status = FReg.OpenKey(key.Path);
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
        throw EOSError(L"Cannot open registry key " + key.Text(), static_cast<DWORD>(status));
}

void TRegistryRemoveStrategy::DeleteRegValue(const TRegistryKey& key, const std::wstring& name) {
    OpenForValues(key);
    if (FReg.ValueExists(name))
        FReg.DeleteValue(name);
    FReg.CloseKey();
}

void TRegistryRemoveStrategy::DeleteRegKey(const TRegistryKey& key) {
    Select(key);
    // Gone since it was found is as good as deleted.
    LSTATUS status = FReg.DeleteKey(key.Path);
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
        throw EOSError(L"Cannot delete registry key " + key.Text(), static_cast<DWORD>(status));
}

void TRegistryRemoveStrategy::WriteRegNumber(const TRegistryKey& key, const std::wstring& name,
                                             uint32_t value) {
    OpenForValues(key);
    LSTATUS status = FReg.IsKeyOpen() ? FReg.WriteInteger(name, value) : ERROR_SUCCESS;
    FReg.CloseKey();
    if (status != ERROR_SUCCESS)
        throw EOSError(L"Cannot write registry value " + name + L" of " + key.Text(),
                       static_cast<DWORD>(status));
}

} // namespace velmora
