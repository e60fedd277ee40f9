#include "components/launchet/AppLogo.h"

#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/Text.h"

#include <climits>
#include <cwchar>

namespace velmora::launchet {

namespace {

// The number after prefix in a qualifier ("scale-150" -> 150), -1 when it is
// not one of that kind.
int QualifierNumber(std::wstring_view qualifier, std::wstring_view prefix) {
    if (!StartsWithText(qualifier, prefix) || qualifier.size() == prefix.size())
        return -1;
    int value = 0;
    for (wchar_t c : qualifier.substr(prefix.size())) {
        if (c < L'0' || c > L'9' || value > 100000)
            return -1;
        value = value * 10 + (c - L'0');
    }
    return value;
}

// How well a file name's qualifiers ("scale-200", "targetsize-48_altform-unplated")
// suit the choice: lower is better.
int LogoQualifierRank(std::wstring_view qualifiers) {
    int rank = 3000000;
    bool contrast = false;
    size_t start = 0;
    while (start <= qualifiers.size()) {
        size_t end = qualifiers.find(L'_', start);
        if (end == std::wstring_view::npos)
            end = qualifiers.size();
        const std::wstring_view qualifier = qualifiers.substr(start, end - start);
        if (StartsWithText(qualifier, L"contrast-"))
            contrast = true;
        else if (int scale = QualifierNumber(qualifier, L"scale-"); scale >= 0)
            rank = scale >= 100 ? scale - 100 : 1000 + (100 - scale);
        else if (int size = QualifierNumber(qualifier, L"targetsize-"); size >= 0)
            rank = 1000000 - size;
        start = end + 1;
    }
    return contrast ? rank + 4000000 : rank;
}

} // namespace

std::wstring FindLogo(const std::wstring& rootFolder, std::wstring_view logo) {
    if (logo.empty())
        return {};
    std::wstring path = rootFolder + L"\\" + std::wstring(logo);
    if (FileExists(path))
        return path;
    const size_t slash = path.find_last_of(L'\\');
    const size_t dot = path.find_last_of(L'.');
    if (dot == std::wstring::npos || dot < slash)
        return {};
    const std::wstring folder = path.substr(0, slash + 1);
    const std::wstring base = path.substr(slash + 1, dot - slash - 1);
    const std::wstring extension = path.substr(dot);
    std::wstring best;
    int bestRank = INT_MAX;
    for (const auto& found : FindFiles(folder + base + L".*" + extension)) {
        const std::wstring name(found.Name());
        if (found.IsFolder() || name.size() <= base.size() + 1 + extension.size())
            continue;
        const int rank = LogoQualifierRank(std::wstring_view(name).substr(
            base.size() + 1, name.size() - base.size() - 1 - extension.size()));
        if (rank < bestRank) {
            bestRank = rank;
            best = folder + name;
        }
    }
    return best;
}

} // namespace velmora::launchet
