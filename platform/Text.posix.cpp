#include "platform/TextSystem.h"

namespace velmora {

std::optional<int> SystemCompareText(std::wstring_view, std::wstring_view) {
    return std::nullopt;
}

std::optional<int> SystemCompareTextLocale(std::wstring_view, std::wstring_view) {
    return std::nullopt;
}

} // namespace velmora
