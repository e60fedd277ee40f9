#include "components/trustika/TrustLists.h"

#include "components/trustika/TrustRules.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
#include "platform/Text.h"

#include <windows.h>

namespace velmora::trustika {

std::wstring_view ListSubKeyName(TList list) {
    switch (list) {
    case TList::TrustedFiles:
        return L"TrustedFiles";
    case TList::RiskyFiles:
        return L"RiskyFiles";
    case TList::TrustedCompanies:
        return L"TrustedCompanies";
    case TList::RiskyCompanies:
        return L"RiskyCompanies";
    }
    return {};
}

std::vector<std::wstring> ReadListEntries(TList list) {
    std::wstring path = std::wstring(ListsKeyPath) + L"\\" + std::wstring(ListSubKeyName(list));
    std::vector<std::wstring> entries;
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        TRegKey key = TRegKey::Open(root, path, KEY_READ, TRegView::x64);
        if (!key)
            continue;
        for (const std::wstring& name : key.ValueNames())
            if (!name.empty()) // the default value is no entry
                entries.push_back(name);
    }
    return entries;
}

std::wstring CanonicalFilePath(std::wstring_view path) {
    std::wstring text = NormalizePath(ExpandEnvironment(NormalizePath(path)));
    if (text.empty())
        return text;
    DWORD size = GetFullPathNameW(text.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        return text;
    std::wstring full(size, L'\0');
    size = GetFullPathNameW(text.c_str(), size, full.data(), nullptr);
    if (size == 0 || size >= full.size())
        return text;
    full.resize(size);
    return full;
}

bool FileListed(TList list, std::wstring_view canonicalPath) {
    for (const std::wstring& entry : ReadListEntries(list)) {
        std::wstring folderOrFile = CanonicalFilePath(entry);
        // GetFullPathNameW keeps a trailing "\", so a folder entry stays one.
        if (FileEntryMatches(folderOrFile, canonicalPath))
            return true;
    }
    return false;
}

bool CompanyListed(TList list, std::wstring_view company) {
    for (const std::wstring& entry : ReadListEntries(list))
        if (CompanyEntryMatches(Trim(entry), company))
            return true;
    return false;
}

} // namespace velmora::trustika
