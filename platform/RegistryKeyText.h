#pragma once
// The text form of a registry key: an optional view prefix "(x32)" or "(x64)",
// the root name and the path, e.g.
//   (x64)HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall\App
// Portable: the roots and views are our own enumerations; platform/Registry.h
// maps them to HKEY values and access flags.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

enum class TRegRoot : uint8_t { ClassesRoot, CurrentUser, LocalMachine, Users, CurrentConfig };
enum class TRegView : uint8_t { Default, x32, x64 };

// The view bits of a registry access mask (KEY_WOW64_64KEY, KEY_WOW64_32KEY).
inline constexpr uint32_t RegViewFlag64 = 0x100;
inline constexpr uint32_t RegViewFlag32 = 0x200;
uint32_t RegViewFlag(TRegView view);
// The view an access mask selects; 64-bit wins when a mask carries both bits.
TRegView RegViewFromFlags(uint32_t accessMask);

// "HKEY_LOCAL_MACHINE", ...
std::wstring_view RegRootName(TRegRoot root);
// Canonical names and the short forms HKLM, HKCU, HKCR, HKU, HKCC, any case.
std::optional<TRegRoot> RegRootFromName(std::wstring_view name);

// Prefix, canonical root name, "\" and the path exactly as given (a trailing
// "\" stays); an empty path gives the root name alone.
std::wstring RegistryKeyToStr(TRegView view, TRegRoot root, std::wstring_view path);

// Splits a key text into view, root and path (without leading or trailing
// "\"). False, with the outputs untouched, when the text names no root.
bool ExtractKeyParams(std::wstring_view text, TRegView& view, TRegRoot& root, std::wstring& path);

// A registry key as view, root and path. The path is kept as it was built
// (a trailing "\" included), so that Text() gives the key text it was made for.
struct TRegistryKey {
    TRegView View = TRegView::Default;
    TRegRoot Root = TRegRoot::LocalMachine;
    std::wstring Path;

    // RegistryKeyToStr of the three parts.
    std::wstring Text() const;
    // Same view and root, paths equal without regard to case or leading and
    // trailing "\".
    bool SameKey(const TRegistryKey& other) const;
    // The key a text from outside names (ExtractKeyParams); nothing when it
    // names no root.
    static std::optional<TRegistryKey> FromText(std::wstring_view text);
};

// True when both texts name the same key: view, root and path compared after
// parsing, the path without regard to case or a trailing "\". Texts that do not
// parse are compared as text (case-insensitive, trailing "\" ignored).
bool SameRegistryKey(std::wstring_view a, std::wstring_view b);

} // namespace velmora
