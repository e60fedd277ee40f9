#include "platform/TextSystem.h"

#include <windows.h>

#include <climits>

namespace velmora {

std::optional<int> SystemCompareText(std::wstring_view a, std::wstring_view b) {
    if (a.empty() || b.empty()) // an empty view may carry no pointer
        return a.empty() ? (b.empty() ? 0 : -1) : 1;
    if (a.size() > INT_MAX || b.size() > INT_MAX)
        return std::nullopt;
    int result = CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                      static_cast<int>(b.size()), TRUE);
    if (result == 0)
        return std::nullopt;
    return result - CSTR_EQUAL;
}

std::optional<int> SystemCompareTextLocale(std::wstring_view a, std::wstring_view b) {
    if (a.size() > INT_MAX || b.size() > INT_MAX)
        return std::nullopt;
    int result = CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()),
                                b.data(), static_cast<int>(b.size()));
    if (result == 0)
        return std::nullopt;
    return result - CSTR_EQUAL;
}

} // namespace velmora
