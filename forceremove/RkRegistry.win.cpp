#include "forceremove/RkRegistry.h"

#include "platform/OSError.h"

#include <vector>

namespace velmora {

namespace {

std::wstring Relative(const std::wstring& path) {
    return !path.empty() && path[0] == L'\\' ? path.substr(1) : path;
}

constexpr REGSAM ViewBits = KEY_WOW64_32KEY | KEY_WOW64_64KEY;

// The names below an open key, read up front: deleting shifts the indices.
std::vector<std::wstring> SubKeyNames(HKEY key) {
    std::vector<std::wstring> names;
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = static_cast<DWORD>(std::size(name));
        if (RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            return names;
        names.emplace_back(name, length);
    }
}

std::vector<std::wstring> ValueNames(HKEY key) {
    std::vector<std::wstring> names;
    std::vector<wchar_t> name(16384);
    for (DWORD i = 0;; ++i) {
        DWORD length = static_cast<DWORD>(name.size());
        if (RegEnumValueW(key, i, name.data(), &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            return names;
        names.emplace_back(name.data(), length);
    }
}

} // namespace

std::pair<HKEY, std::wstring> TRkRegistry::Real(const std::wstring& path) const {
    std::wstring relative = Relative(path);
    if (FRootKey != HKEY_CLASSES_ROOT)
        return {FRootKey, relative};
    while (!relative.empty() && relative.back() == L'\\')
        relative.pop_back();
    const std::wstring classes = L"Software\\Classes";
    const std::wstring real = relative.empty() ? classes : classes + L"\\" + relative;
    for (std::wstring probe = relative; !probe.empty();) {
        for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
            HKEY key = nullptr;
            if (RegOpenKeyExW(root, (classes + L"\\" + probe).c_str(), 0, KEY_READ | (FAccess & ViewBits),
                              &key) == ERROR_SUCCESS) {
                RegCloseKey(key);
                return {root, real};
            }
        }
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

LSTATUS TRkRegistry::Open(HKEY parent, const std::wstring& path, REGSAM access, HKEY& key) const {
    key = nullptr;
    return FRegAccess ? FRegAccess->RegOpenKeyExW(parent, path.c_str(), 0, access, &key)
                      : RegOpenKeyExW(parent, path.c_str(), 0, access, &key);
}

LSTATUS TRkRegistry::Close(HKEY key) const {
    return FRegAccess ? FRegAccess->RegCloseKey(key) : RegCloseKey(key);
}

bool TRkRegistry::KeyExists(const std::wstring& path) const {
    const auto [root, real] = Real(path);
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, real.c_str(), 0, KEY_READ | (FAccess & ViewBits), &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

LSTATUS TRkRegistry::OpenKey(const std::wstring& path, bool canCreate) {
    CloseKey();
    const auto [root, real] = Real(path);
    HKEY key = nullptr;
    LSTATUS status = Open(root, real, FAccess, key);
    if (status == ERROR_FILE_NOT_FOUND && canCreate)
        status = FRegAccess
                     ? FRegAccess->RegCreateKeyExW(root, real.c_str(), 0, nullptr, 0, FAccess, nullptr, &key,
                                                   nullptr)
                     : RegCreateKeyExW(root, real.c_str(), 0, nullptr, 0, FAccess, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS)
        return status;
    FCurrentKey = key;
    FReadOnly = false;
    return ERROR_SUCCESS;
}

LSTATUS TRkRegistry::OpenKeyReadOnly(const std::wstring& path) {
    CloseKey();
    const auto [root, real] = Real(path);
    HKEY key = nullptr;
    if (LSTATUS status = Open(root, real, KEY_READ | (FAccess & ViewBits), key); status != ERROR_SUCCESS)
        return status;
    FCurrentKey = key;
    FReadOnly = true;
    return ERROR_SUCCESS;
}

void TRkRegistry::CloseKey() {
    if (!FCurrentKey)
        return;
    if (!FReadOnly)
        FRegAccess ? FRegAccess->RegFlushKey(FCurrentKey) : RegFlushKey(FCurrentKey);
    Close(FCurrentKey);
    FCurrentKey = nullptr;
}

bool TRkRegistry::ValueExists(const std::wstring& name) const {
    return FCurrentKey &&
           RegQueryValueExW(FCurrentKey, name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

void TRkRegistry::DeleteValue(const std::wstring& name) {
    LSTATUS status = FRegAccess ? FRegAccess->RegDeleteValueW(FCurrentKey, name.c_str())
                                : RegDeleteValueW(FCurrentKey, name.c_str());
    if (status != ERROR_SUCCESS)
        throw EOSError(L"Cannot delete registry value " + name, static_cast<DWORD>(status));
}

LSTATUS TRkRegistry::WriteInteger(const std::wstring& name, uint32_t value) {
    DWORD data = value;
    return WriteValue(name, REG_DWORD, &data, sizeof(data));
}

LSTATUS TRkRegistry::WriteValue(const std::wstring& name, DWORD type, const void* data, DWORD size) {
    const auto* bytes = static_cast<const BYTE*>(data);
    return FRegAccess ? FRegAccess->RegSetValueExW(FCurrentKey, name.c_str(), 0, type, bytes, size)
                      : RegSetValueExW(FCurrentKey, name.c_str(), 0, type, bytes, size);
}

LSTATUS TRkRegistry::DeleteKey(const std::wstring& path) {
    const auto [root, relative] = Real(path);
    const size_t slash = relative.rfind(L'\\');
    const std::wstring parentPath = slash == std::wstring::npos ? std::wstring() : relative.substr(0, slash);
    const std::wstring name = slash == std::wstring::npos ? relative : relative.substr(slash + 1);
    if (name.empty())
        return ERROR_INVALID_PARAMETER;

    HKEY key = nullptr;
    if (LSTATUS status = Open(root, relative, FAccess, key); status != ERROR_SUCCESS)
        return status;
    EmptyKey(key);
    Close(key);

    // Deleted through its parent opened in the key's view: a plain delete
    // of a path would always reach the process's own view.
    HKEY parent = nullptr;
    if (LSTATUS status = Open(root, parentPath, FAccess, parent); status != ERROR_SUCCESS)
        return status;
    LSTATUS status =
        FRegAccess ? FRegAccess->RegDeleteKeyW(parent, name.c_str()) : RegDeleteKeyW(parent, name.c_str());
    Close(parent);
    return status;
}

void TRkRegistry::EmptyKey(HKEY key) {
    std::vector<std::wstring> subKeys = SubKeyNames(key);
    for (size_t i = subKeys.size(); i-- > 0;) {
        HKEY subKey = nullptr;
        if (Open(key, subKeys[i], FAccess, subKey) != ERROR_SUCCESS)
            continue;
        EmptyKey(subKey);
        Close(subKey);
        FRegAccess ? FRegAccess->RegDeleteKeyW(key, subKeys[i].c_str())
                   : RegDeleteKeyW(key, subKeys[i].c_str());
    }
    for (const std::wstring& value : ValueNames(key))
        FRegAccess ? FRegAccess->RegDeleteValueW(key, value.c_str()) : RegDeleteValueW(key, value.c_str());
}

} // namespace velmora
