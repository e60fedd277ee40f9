#pragma once
// Text as an XML element or attribute value holds it, for the kits that
// write manifests.
#include <string>
#include <string_view>

namespace velmora::testing {

inline std::wstring XmlText(std::wstring_view text) {
    std::wstring out;
    for (wchar_t c : text) {
        const wchar_t* entity = c == L'&'   ? L"&amp;"
                                : c == L'<' ? L"&lt;"
                                : c == L'>' ? L"&gt;"
                                : c == L'"' ? L"&quot;"
                                            : nullptr;
        entity ? out += entity : out += c;
    }
    return out;
}

} // namespace velmora::testing
