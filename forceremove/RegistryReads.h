#pragma once
// The registry reads the leftover scanners share, each given a key text.
// A key opens read-only in the view its text names, else in the 64-bit
// one; a key that does not open yields nothing.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

std::vector<std::wstring> ReadSubKeyNames(std::wstring_view keyText);
std::vector<std::wstring> ReadValueNames(std::wstring_view keyText);
// The key's default value when it is text; else empty.
std::wstring ReadDefaultString(std::wstring_view keyText);
// A value of the plain string type (REG_SZ); nothing for another type.
std::optional<std::wstring> ReadStringValue(std::wstring_view keyText, std::wstring_view name);
// A value of either text type (REG_SZ, REG_EXPAND_SZ), unexpanded.
std::optional<std::wstring> ReadTextValue(std::wstring_view keyText, std::wstring_view name);

} // namespace velmora
