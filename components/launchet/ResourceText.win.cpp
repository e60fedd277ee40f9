#include "components/launchet/ResourceText.h"

#include "platform/Text.h"

#include <windows.h>
#include <shlwapi.h>

namespace velmora::launchet {

namespace {

constexpr std::wstring_view ResourceScheme = L"ms-resource:";

bool IsIndirect(std::wstring_view text) {
    return text.size() > 2 && text.substr(0, 2) == L"@{";
}

} // namespace

std::wstring IndirectResourceString(std::wstring_view fullName, std::wstring_view packageName,
                                    std::wstring_view reference) {
    if (IsIndirect(reference))
        return std::wstring(reference);
    if (!StartsWithText(reference, ResourceScheme) || reference.size() == ResourceScheme.size())
        return {};
    std::wstring_view path = reference.substr(ResourceScheme.size());
    std::wstring uri;
    if (path.substr(0, 2) == L"//")
        uri = std::wstring(ResourceScheme) + std::wstring(path);
    else if (path[0] == L'/')
        uri = std::wstring(ResourceScheme) + L"//" + std::wstring(packageName) + std::wstring(path);
    else if (path.find(L'/') != std::wstring_view::npos)
        uri = std::wstring(ResourceScheme) + L"//" + std::wstring(packageName) + L"/" + std::wstring(path);
    else
        uri = std::wstring(ResourceScheme) + L"//" + std::wstring(packageName) + L"/Resources/" +
              std::wstring(path);
    return L"@{" + std::wstring(fullName) + L"?" + uri + L"}";
}

std::wstring ResourceText(std::wstring_view fullName, std::wstring_view packageName, std::wstring_view text) {
    if (!IsIndirect(text) && !StartsWithText(text, ResourceScheme))
        return std::wstring(text);
    const std::wstring source = IndirectResourceString(fullName, packageName, text);
    if (source.empty())
        return {};
    wchar_t buffer[1024] = {};
    if (FAILED(SHLoadIndirectString(source.c_str(), buffer, ARRAYSIZE(buffer), nullptr)))
        return {};
    // A resolver that hands the source back has not resolved it.
    return source == buffer ? std::wstring() : std::wstring(buffer);
}

} // namespace velmora::launchet
