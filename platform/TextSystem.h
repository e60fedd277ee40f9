#pragma once
// The system's side of the text rules, one implementation per OS.
#include <optional>
#include <string_view>

namespace velmora {

// The system's ordinal case-insensitive comparison (-1, 0, 1), or nothing
// where the system has none and the portable case table decides.
std::optional<int> SystemCompareText(std::wstring_view a, std::wstring_view b);
// The same for the user's locale (linguistic order, case ignored).
std::optional<int> SystemCompareTextLocale(std::wstring_view a, std::wstring_view b);

} // namespace velmora
