#pragma once
// Registry access whose changing operations go through the backup
// component's registry interface, which records the state before each
// change; reads use the ordinary calls on the handles it returned. Without
// the component every operation is an ordinary registry key's (Windows).
#include "api/Interfaces.Rekova.h"
#include "platform/ComObject.h"
#include "platform/Registry.h"

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
    // Makes the existing key current (ERROR_SUCCESS).
    LSTATUS OpenKey(const std::wstring& path);
    bool IsKeyOpen() const { return FCurrentKey || FDirectKey; }
    // Flushes the current key, then closes it.
    void CloseKey();

    // On the current key.
    bool ValueExists(const std::wstring& name) const;
    // A failure, or a refusal of the component, raises EOSError.
    void DeleteValue(const std::wstring& name);
    LSTATUS WriteInteger(const std::wstring& name, uint32_t value);

    // Deletes the key with every subkey and value.
    LSTATUS DeleteKey(const std::wstring& path);

private:
    // The root and path of the key the path names.
    std::pair<HKEY, std::wstring> Real(const std::wstring& path) const;
    TRegView View() const;
    // Through the component: deletes the subkeys (last index first) and the
    // values of a key it opened.
    void EmptyKey(HKEY key);

    TComPtr<IRegistryAccess> FRegAccess;
    HKEY FRootKey = HKEY_CURRENT_USER;
    REGSAM FAccess;
    HKEY FCurrentKey = nullptr; // opened by the component
    TRegKey FDirectKey;         // opened without it
};

} // namespace velmora
