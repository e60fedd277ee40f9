#pragma once
// What the registry scanners read of the system: the registry through key
// texts, and the files and variables that turn a recorded command into a
// program path. Windows has its own (SystemRegistrySource); tests bring theirs.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

class TRegistrySource {
public:
    virtual ~TRegistrySource() = default;

    // A key text without a view prefix is read in the 64-bit view; the 32-bit
    // one ("(x32)" in front) has keys of its own only on 64-bit Windows.
    virtual bool Is64BitWindows() const = 0;
    // A key that does not open has no subkeys and no values.
    virtual std::vector<std::wstring> SubKeyNames(std::wstring_view keyText) const = 0;
    virtual std::vector<std::wstring> ValueNames(std::wstring_view keyText) const = 0;
    // A value of the plain string type (REG_SZ); nothing for another type.
    virtual std::optional<std::wstring> ReadString(std::wstring_view keyText,
                                                   std::wstring_view name) const = 0;
    // A value of either text type (REG_SZ, REG_EXPAND_SZ), unexpanded.
    virtual std::optional<std::wstring> ReadText(std::wstring_view keyText, std::wstring_view name) const = 0;
    virtual bool KeyExists(std::wstring_view keyText) const = 0;
    // The key (its text names no view) is one key in the 64-bit and the
    // 32-bit view; false when either view does not open it.
    virtual bool SharedByBothViews(std::wstring_view keyText) const = 0;
    virtual bool FileExists(const std::wstring& path) const = 0;
    virtual std::optional<std::wstring> Variable(const std::wstring& name) const = 0;
};

// The running Windows (RegistrySource.win.cpp).
const TRegistrySource& SystemRegistrySource();

} // namespace velmora
