#include "components/procyra/AgentRegistration.h"

#include "api/Interfaces.Procyra.h"
#include "platform/Registry.h"
#include "platform/Text.h"

#include <olectl.h>

#include <string>

namespace velmora::procyra {
namespace {

std::wstring ClassKeyPath() {
    wchar_t clsid[40];
    StringFromGUID2(CLSID_PYAgentManager, clsid, 40);
    return std::wstring(L"Software\\Classes\\CLSID\\") + clsid;
}

} // namespace

HRESULT RegisterAgentClass(std::wstring_view modulePath) {
    std::wstring path = ClassKeyPath();
    bool existed = KeyExists(HKEY_LOCAL_MACHINE, path);
    TRegKey server = TRegKey::Create(HKEY_LOCAL_MACHINE, path + L"\\InprocServer32");
    bool written =
        server && server.WriteString(L"", modulePath) && server.WriteString(L"ThreadingModel", L"Both") &&
        TRegKey::Open(HKEY_LOCAL_MACHINE, path, KEY_SET_VALUE).WriteString(L"", L"Velmora process agent");
    if (written)
        return S_OK;
    // A half-written class of ours would point COM at nothing that works.
    if (!existed)
        DeleteKey(HKEY_LOCAL_MACHINE, path);
    return SELFREG_E_CLASS;
}

HRESULT UnregisterAgentClass(std::wstring_view modulePath) {
    std::wstring path = ClassKeyPath();
    auto registered = TRegKey::Open(HKEY_LOCAL_MACHINE, path + L"\\InprocServer32").ReadString(L"");
    if (!registered || !SameText(*registered, modulePath))
        return S_OK;
    return DeleteKey(HKEY_LOCAL_MACHINE, path) ? S_OK : SELFREG_E_CLASS;
}

} // namespace velmora::procyra
