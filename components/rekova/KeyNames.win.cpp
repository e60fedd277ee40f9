#include "components/rekova/KeyNames.h"

#include "platform/Handles.h"
#include "platform/Registry.h"
#include "platform/Text.h"

#include <sddl.h>

#include <vector>

namespace velmora::rekova {

namespace {

std::wstring CurrentUserSid() {
    unique_handle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put()))
        return {};
    BYTE buffer[256];
    DWORD size = sizeof(buffer);
    if (!GetTokenInformation(token.get(), TokenUser, buffer, size, &size))
        return {};
    unique_hlocal_string text;
    if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, text.put()))
        return {};
    return text.get();
}

// "\REGISTRY\MACHINE\path" and "\REGISTRY\USER\<sid>\path" as root and path.
std::optional<TRegistryKey> KeyFromKernelName(std::wstring_view name) {
    auto rest = [&name](std::wstring_view prefix) -> std::optional<std::wstring> {
        if (!StartsWithText(name, prefix) || (name.size() > prefix.size() && name[prefix.size()] != L'\\'))
            return std::nullopt;
        return std::wstring(name.substr(std::min(name.size(), prefix.size() + 1)));
    };
    if (auto path = rest(L"\\REGISTRY\\MACHINE"))
        return TRegistryKey{TRegView::x64, TRegRoot::LocalMachine, *path};
    if (auto path = rest(L"\\REGISTRY\\USER")) {
        std::wstring sid = CurrentUserSid();
        if (!sid.empty() && StartsWithText(*path, sid) &&
            (path->size() == sid.size() || (*path)[sid.size()] == L'\\'))
            return TRegistryKey{TRegView::x64, TRegRoot::CurrentUser,
                                path->substr(std::min(path->size(), sid.size() + 1))};
        return TRegistryKey{TRegView::x64, TRegRoot::Users, *path};
    }
    return std::nullopt;
}

} // namespace

TRegView ViewOf(REGSAM access) {
    TRegView view = RegViewFromFlags(access);
    if (view != TRegView::Default)
        return view;
    return sizeof(void*) == 8 ? TRegView::x64 : TRegView::x32;
}

TRegistryKey SubKeyOf(const TRegistryKey& key, std::wstring_view subKey) {
    while (!subKey.empty() && subKey.front() == L'\\')
        subKey.remove_prefix(1);
    while (!subKey.empty() && subKey.back() == L'\\')
        subKey.remove_suffix(1);
    if (subKey.empty())
        return key;
    return {key.View, key.Root,
            key.Path.empty() ? std::wstring(subKey) : key.Path + L"\\" + std::wstring(subKey)};
}

std::pair<HKEY, std::wstring> RealClassesKey(HKEY root, std::wstring_view subKey, REGSAM access) {
    if (root != HKEY_CLASSES_ROOT)
        return {root, std::wstring(subKey)};
    while (!subKey.empty() && subKey.front() == L'\\')
        subKey.remove_prefix(1);
    while (!subKey.empty() && subKey.back() == L'\\')
        subKey.remove_suffix(1);
    const std::wstring classes = L"Software\\Classes";
    const std::wstring real = subKey.empty() ? classes : classes + L"\\" + std::wstring(subKey);
    const TRegView view = RegViewFromFlags(access);
    for (std::wstring_view probe = subKey; !probe.empty();) {
        for (HKEY candidate : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE})
            if (KeyExists(candidate, classes + L"\\" + std::wstring(probe), view))
                return {candidate, real};
        const size_t slash = probe.rfind(L'\\');
        probe = slash == std::wstring_view::npos ? std::wstring_view() : probe.substr(0, slash);
    }
    return {HKEY_LOCAL_MACHINE, real};
}

void TKeyNames::Remember(HKEY key, TRegistryKey name) {
    std::lock_guard lock(FLock);
    FNames[key] = std::move(name);
}

void TKeyNames::Forget(HKEY key) {
    std::lock_guard lock(FLock);
    FNames.erase(key);
}

std::optional<TRegistryKey> TKeyNames::Name(HKEY key) const {
    if (auto root = RootFromKey(key))
        return TRegistryKey{ViewOf(0), *root, {}};
    {
        std::lock_guard lock(FLock);
        if (auto known = FNames.find(key); known != FNames.end())
            return known->second;
    }
    const std::wstring name = KeyObjectName(key);
    return name.empty() ? std::nullopt : KeyFromKernelName(name);
}

} // namespace velmora::rekova
