#include "platform/RegistryKeyText.h"

#include "platform/Text.h"

#include <array>

namespace velmora {

namespace {

struct TRootName {
    TRegRoot Root;
    std::wstring_view Name;
    std::wstring_view Short;
};

constexpr std::array<TRootName, 5> RootNames{{
    {TRegRoot::ClassesRoot, L"HKEY_CLASSES_ROOT", L"HKCR"},
    {TRegRoot::CurrentUser, L"HKEY_CURRENT_USER", L"HKCU"},
    {TRegRoot::LocalMachine, L"HKEY_LOCAL_MACHINE", L"HKLM"},
    {TRegRoot::Users, L"HKEY_USERS", L"HKU"},
    {TRegRoot::CurrentConfig, L"HKEY_CURRENT_CONFIG", L"HKCC"},
}};

constexpr std::wstring_view Prefix32 = L"(x32)";
constexpr std::wstring_view Prefix64 = L"(x64)";

std::wstring_view TrimBackslashes(std::wstring_view path) {
    while (!path.empty() && path.front() == L'\\')
        path.remove_prefix(1);
    while (!path.empty() && path.back() == L'\\')
        path.remove_suffix(1);
    return path;
}

} // namespace

uint32_t RegViewFlag(TRegView view) {
    switch (view) {
    case TRegView::x32:
        return RegViewFlag32;
    case TRegView::x64:
        return RegViewFlag64;
    default:
        return 0;
    }
}

TRegView RegViewFromFlags(uint32_t accessMask) {
    if (accessMask & RegViewFlag64)
        return TRegView::x64;
    if (accessMask & RegViewFlag32)
        return TRegView::x32;
    return TRegView::Default;
}

std::wstring_view RegRootName(TRegRoot root) {
    for (const auto& r : RootNames)
        if (r.Root == root)
            return r.Name;
    return {};
}

std::optional<TRegRoot> RegRootFromName(std::wstring_view name) {
    for (const auto& r : RootNames)
        if (SameText(name, r.Name) || SameText(name, r.Short))
            return r.Root;
    return std::nullopt;
}

std::wstring RegistryKeyToStr(TRegView view, TRegRoot root, std::wstring_view path) {
    std::wstring text;
    if (view == TRegView::x32)
        text = Prefix32;
    else if (view == TRegView::x64)
        text = Prefix64;
    text += RegRootName(root);
    if (!path.empty()) {
        if (path.front() != L'\\')
            text += L'\\';
        text += path;
    }
    return text;
}

bool ExtractKeyParams(std::wstring_view text, TRegView& view, TRegRoot& root, std::wstring& path) {
    TRegView parsedView = TRegView::Default;
    if (StartsWithText(text, Prefix32)) {
        parsedView = TRegView::x32;
        text.remove_prefix(Prefix32.size());
    } else if (StartsWithText(text, Prefix64)) {
        parsedView = TRegView::x64;
        text.remove_prefix(Prefix64.size());
    }
    size_t end = text.find(L'\\');
    auto parsedRoot = RegRootFromName(text.substr(0, end));
    if (!parsedRoot)
        return false;
    view = parsedView;
    root = *parsedRoot;
    path = end == std::wstring_view::npos ? std::wstring() : std::wstring(TrimBackslashes(text.substr(end)));
    return true;
}

std::wstring TRegistryKey::Text() const {
    return RegistryKeyToStr(View, Root, Path);
}

bool TRegistryKey::SameKey(const TRegistryKey& other) const {
    return View == other.View && Root == other.Root &&
           SameText(TrimBackslashes(Path), TrimBackslashes(other.Path));
}

std::optional<TRegistryKey> TRegistryKey::FromText(std::wstring_view text) {
    TRegistryKey key;
    if (!ExtractKeyParams(text, key.View, key.Root, key.Path))
        return std::nullopt;
    return key;
}

bool SameRegistryKey(std::wstring_view a, std::wstring_view b) {
    auto keyA = TRegistryKey::FromText(a);
    auto keyB = TRegistryKey::FromText(b);
    if (keyA && keyB)
        return keyA->SameKey(*keyB);
    if (keyA || keyB)
        return false;
    while (!a.empty() && a.back() == L'\\')
        a.remove_suffix(1);
    while (!b.empty() && b.back() == L'\\')
        b.remove_suffix(1);
    return SameText(a, b);
}

} // namespace velmora
