#include "forceremove/RkRegistry.h"

#include "platform/OSError.h"
#include "platform/RegistryKeyText.h"

#include <vector>

namespace velmora {

namespace {

std::wstring Relative(const std::wstring& path) {
    return !path.empty() && path[0] == L'\\' ? path.substr(1) : path;
}

constexpr REGSAM ViewBits = KEY_WOW64_32KEY | KEY_WOW64_64KEY;

// The names below an open key, read up front: deleting shifts the indices.
std::vector<std::wstring> Names(HKEY key, TRegNameRange::TKind kind) {
    return TRegNameRange(key, kind).ToVector();
}

} // namespace

TRegView TRkRegistry::View() const {
    return RegViewFromFlags(FAccess);
}

std::pair<HKEY, std::wstring> TRkRegistry::Real(const std::wstring& path) const {
    std::wstring relative = Relative(path);
    if (FRootKey != HKEY_CLASSES_ROOT)
        return {FRootKey, relative};
    while (!relative.empty() && relative.back() == L'\\')
        relative.pop_back();
    const std::wstring classes = L"Software\\Classes";
    const std::wstring real = relative.empty() ? classes : classes + L"\\" + relative;
    for (std::wstring probe = relative; !probe.empty();) {
        for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE})
            if (velmora::KeyExists(root, classes + L"\\" + probe, View()))
                return {root, real};
        const size_t slash = probe.rfind(L'\\');
        probe.resize(slash == std::wstring::npos ? 0 : slash);
    }
    return {HKEY_LOCAL_MACHINE, real};
}

TRkRegistry::TRkRegistry(IRekova* rekova, REGSAM access) : FAccess(access) {
    if (rekova)
        rekova->GetRegistryAccess(FRegAccess.put());
}

TRkRegistry::~TRkRegistry() {
    CloseKey();
}

bool TRkRegistry::KeyExists(const std::wstring& path) const {
    const auto [root, real] = Real(path);
    return velmora::KeyExists(root, real, View());
}

LSTATUS TRkRegistry::OpenKey(const std::wstring& path) {
    CloseKey();
    const auto [root, real] = Real(path);
    if (!FRegAccess) {
        FDirectKey = TRegKey::Open(root, real, FAccess & ~ViewBits, View());
        return FDirectKey.Status();
    }
    HKEY key = nullptr;
    if (LSTATUS status = FRegAccess->RegOpenKeyExW(root, real.c_str(), 0, FAccess, &key);
        status != ERROR_SUCCESS)
        return status;
    FCurrentKey = key;
    return ERROR_SUCCESS;
}

void TRkRegistry::CloseKey() {
    if (FDirectKey) {
        FDirectKey.Flush();
        FDirectKey = {};
    }
    if (FCurrentKey) {
        FRegAccess->RegFlushKey(FCurrentKey);
        FRegAccess->RegCloseKey(FCurrentKey);
        FCurrentKey = nullptr;
    }
}

bool TRkRegistry::ValueExists(const std::wstring& name) const {
    return FRegAccess ? FCurrentKey && ValueExistsIn(FCurrentKey, name) : FDirectKey.ValueExists(name);
}

void TRkRegistry::DeleteValue(const std::wstring& name) {
    LSTATUS status = ERROR_SUCCESS;
    if (FRegAccess)
        status = FRegAccess->RegDeleteValueW(FCurrentKey, name.c_str());
    else if (!FDirectKey.DeleteValue(name))
        status = static_cast<LSTATUS>(GetLastError());
    if (status != ERROR_SUCCESS)
        throw EOSError(L"Cannot delete registry value " + name, static_cast<DWORD>(status));
}

LSTATUS TRkRegistry::WriteInteger(const std::wstring& name, uint32_t value) {
    if (!FRegAccess)
        return FDirectKey.WriteNumber(name, value) ? ERROR_SUCCESS : static_cast<LSTATUS>(GetLastError());
    const DWORD data = value;
    return FRegAccess->RegSetValueExW(FCurrentKey, name.c_str(), 0, REG_DWORD,
                                      reinterpret_cast<const BYTE*>(&data), sizeof(data));
}

LSTATUS TRkRegistry::DeleteKey(const std::wstring& path) {
    const auto [root, relative] = Real(path);
    const size_t slash = relative.rfind(L'\\');
    const std::wstring parentPath = slash == std::wstring::npos ? std::wstring() : relative.substr(0, slash);
    const std::wstring name = slash == std::wstring::npos ? relative : relative.substr(slash + 1);
    if (name.empty())
        return ERROR_INVALID_PARAMETER;
    if (!FRegAccess)
        return velmora::DeleteKey(root, relative, View()) ? ERROR_SUCCESS
                                                          : static_cast<LSTATUS>(GetLastError());

    HKEY key = nullptr;
    if (LSTATUS status = FRegAccess->RegOpenKeyExW(root, relative.c_str(), 0, FAccess, &key);
        status != ERROR_SUCCESS)
        return status;
    EmptyKey(key);
    FRegAccess->RegCloseKey(key);

    // Deleted through its parent opened in the key's view: a plain delete
    // of a path would always reach the process's own view.
    HKEY parent = nullptr;
    if (LSTATUS status = FRegAccess->RegOpenKeyExW(root, parentPath.c_str(), 0, FAccess, &parent);
        status != ERROR_SUCCESS)
        return status;
    LSTATUS status = FRegAccess->RegDeleteKeyW(parent, name.c_str());
    FRegAccess->RegCloseKey(parent);
    return status;
}

void TRkRegistry::EmptyKey(HKEY key) {
    std::vector<std::wstring> subKeys = Names(key, TRegNameRange::TKind::SubKeys);
    for (size_t i = subKeys.size(); i-- > 0;) {
        HKEY subKey = nullptr;
        if (FRegAccess->RegOpenKeyExW(key, subKeys[i].c_str(), 0, FAccess, &subKey) != ERROR_SUCCESS)
            continue;
        EmptyKey(subKey);
        FRegAccess->RegCloseKey(subKey);
        FRegAccess->RegDeleteKeyW(key, subKeys[i].c_str());
    }
    for (const std::wstring& value : Names(key, TRegNameRange::TKind::Values))
        FRegAccess->RegDeleteValueW(key, value.c_str());
}

} // namespace velmora
