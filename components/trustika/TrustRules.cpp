#include "components/trustika/TrustRules.h"

#include "platform/Text.h"

namespace velmora::trustika {

bool FileEntryMatches(std::wstring_view entry, std::wstring_view path) {
    if (entry.empty() || path.empty())
        return false;
    if (entry.back() == L'\\')
        return path.size() > entry.size() && StartsWithText(path, entry);
    return SameText(entry, path);
}

bool CompanyEntryMatches(std::wstring_view entry, std::wstring_view company) {
    return !entry.empty() && SameText(entry, company);
}

std::wstring NormalizePath(std::wstring_view path) {
    std::wstring_view text = Trim(path);
    if (text.size() >= 2 && text.front() == L'"' && text.back() == L'"')
        text = Trim(text.substr(1, text.size() - 2));
    else if (!text.empty() && text.front() == L'"')
        text = Trim(text.substr(1));
    std::wstring result;
    result.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        wchar_t c = text[i] == L'/' ? L'\\' : text[i];
        // "\\server" and "\\?\" keep their two leading separators.
        if (c == L'\\' && i > 1 && !result.empty() && result.back() == L'\\')
            continue;
        result += c;
    }
    return result;
}

bool IsNetworkSharePath(std::wstring_view path) {
    if (StartsWithText(path, L"\\\\?\\UNC\\"))
        return true;
    if (path.size() < 3 || path[0] != L'\\' || path[1] != L'\\')
        return false;
    // "\\?\C:\..." and "\\.\device" are local.
    return path[2] != L'?' && path[2] != L'.';
}

TSoftwareRating DecideFileRating(const TFileEvidence& evidence) {
    if (evidence.ListedRisky)
        return TSoftwareRating::stRisky;
    if (evidence.ListedTrusted)
        return TSoftwareRating::stTrustWorthy;
    if (evidence.SignatureVerifies && evidence.SignatureVerifies())
        return TSoftwareRating::stTrustWorthy;
    return TSoftwareRating::stUnknown;
}

TSoftwareRating DecideCompanyRating(bool listedRisky, bool listedTrusted) {
    if (listedRisky)
        return TSoftwareRating::stRisky;
    return listedTrusted ? TSoftwareRating::stTrustWorthy : TSoftwareRating::stUnknown;
}

} // namespace velmora::trustika
