#pragma once
// The names of registry handles: the predefined roots, the keys opened
// through the interface (with the view they were opened in), and any other
// key by the name the kernel gives it (\REGISTRY\MACHINE\..., \REGISTRY\USER\<sid>\...).
#include "platform/RegistryKeyText.h"

#include <windows.h>

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace velmora::rekova {

// The view an access mask selects; without a view flag, the process's own.
TRegView ViewOf(REGSAM access);
TRegistryKey SubKeyOf(const TRegistryKey& key, std::wstring_view subKey);

// A key below HKEY_CLASSES_ROOT as the real key it is: below
// HKCU\Software\Classes when it (or its nearest existing ancestor) is there,
// as Windows merges the two, else below HKLM\Software\Classes. Any other
// root is given back as it is.
std::pair<HKEY, std::wstring> RealClassesKey(HKEY root, std::wstring_view subKey, REGSAM access);

class TKeyNames {
public:
    void Remember(HKEY key, TRegistryKey name);
    void Forget(HKEY key);
    // Nothing when the handle cannot be named.
    std::optional<TRegistryKey> Name(HKEY key) const;

private:
    mutable std::mutex FLock;
    std::map<HKEY, TRegistryKey> FNames;
};

} // namespace velmora::rekova
