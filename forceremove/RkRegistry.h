#pragma once
// Registry access whose changing operations go through the backup
// component's registry interface, which records the state before each
// change; reads use the ordinary calls on the handles it returned. Without
// the component every operation is the ordinary registry call (Windows).
#include "api/Interfaces.Rekova.h"
#include "platform/ComObject.h"

#include <cstdint>
#include <string>
#include <utility>

namespace velmora {

class TRkRegistry {
public:
    // rekova may be null.
    explicit TRkRegistry(IRekova* rekova, REGSAM access = KEY_ALL_ACCESS);
    ~TRkRegistry();
    TRkRegistry(const TRkRegistry&) = delete;
    TRkRegistry& operator=(const TRkRegistry&) = delete;

    // Key paths are relative to the root; a leading "\" is dropped. The
    // access mask carries the registry view. Below HKEY_CLASSES_ROOT a key is
    // the real one: HKCU\Software\Classes when it (or its nearest existing
    // ancestor) is there, as Windows merges them, else HKLM\Software\Classes.
    void SetRoot(HKEY root) { FRootKey = root; }
    void SetAccess(REGSAM access) { FAccess = access; }

    bool KeyExists(const std::wstring& path) const;
    // Makes the key current (ERROR_SUCCESS); creates it when missing and canCreate.
    LSTATUS OpenKey(const std::wstring& path, bool canCreate);
    LSTATUS OpenKeyReadOnly(const std::wstring& path);
    bool IsKeyOpen() const { return FCurrentKey != nullptr; }
    // Flushes the current key, then closes it.
    void CloseKey();

    // On the current key.
    bool ValueExists(const std::wstring& name) const;
    // A failure, or a refusal of the component, raises EOSError.
    void DeleteValue(const std::wstring& name);
    // One set-value call each.
    LSTATUS WriteInteger(const std::wstring& name, uint32_t value);
    LSTATUS WriteValue(const std::wstring& name, DWORD type, const void* data, DWORD size);

    // Deletes the key with every subkey and value.
    LSTATUS DeleteKey(const std::wstring& path);

private:
    // The root and path of the key the path names.
    std::pair<HKEY, std::wstring> Real(const std::wstring& path) const;
    LSTATUS Open(HKEY parent, const std::wstring& path, REGSAM access, HKEY& key) const;
    LSTATUS Close(HKEY key) const;
    // Deletes the subkeys (last index first) and the values of an open key.
    void EmptyKey(HKEY key);

    TComPtr<IRegistryAccess> FRegAccess;
    HKEY FRootKey = HKEY_CURRENT_USER;
    REGSAM FAccess;
    HKEY FCurrentKey = nullptr;
    bool FReadOnly = false;
};

} // namespace velmora
