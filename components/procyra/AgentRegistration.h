#pragma once
// The agent's COM registration: the manager class (CLSID_PYAgentManager) as
// an in-process server of the machine, under
// HKEY_LOCAL_MACHINE\Software\Classes\CLSID in the module's own registry
// view. Writing there needs administrator rights; without them registering
// fails with SELFREG_E_CLASS.
#include <windows.h>

#include <string_view>

namespace velmora::procyra {

// Writes the class key with its InprocServer32 naming the module.
HRESULT RegisterAgentClass(std::wstring_view modulePath);
// Removes the class key when it names the module; a registration of another
// file is left alone. S_OK also when nothing was registered.
HRESULT UnregisterAgentClass(std::wstring_view modulePath);

} // namespace velmora::procyra
