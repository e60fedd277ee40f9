#include "locations/ProductList.h"

#include "platform/Text.h"

#include <algorithm>

namespace velmora {

namespace {

bool IsDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}

// Removes every occurrence of what (case-insensitive).
std::wstring RemoveAllText(std::wstring_view text, std::wstring_view what) {
    std::wstring result;
    size_t i = 0;
    while (i < text.size()) {
        if (i + what.size() <= text.size() && SameText(text.substr(i, what.size()), what)) {
            i += what.size();
            continue;
        }
        result += text[i++];
    }
    return result;
}

} // namespace

bool TTextLess::operator()(std::wstring_view a, std::wstring_view b) const {
    return CompareText(a, b) < 0;
}

TTemporaryInfo* TProductList::Add(std::unique_ptr<TTemporaryInfo> info) {
    FItems.push_back(std::move(info));
    return FItems.back().get();
}

void TProductList::Map(const std::wstring& guid, TTemporaryInfo* info) {
    if (!guid.empty())
        FGUIDList.emplace(guid, info);
}

TTemporaryInfo* TProductList::GetInfoByGUID(std::wstring_view guid) const {
    auto it = FGUIDList.find(guid);
    return it == FGUIDList.end() ? nullptr : it->second;
}

TTemporaryInfo* TProductList::Find(std::wstring_view guid, std::wstring_view name) const {
    if (TTemporaryInfo* info = GetInfoByGUID(guid))
        return info;
    if (name.empty())
        return nullptr;
    for (const auto& info : FItems) {
        if (SameText(info->FDisplayName, name) || SameText(info->FInternalName, name))
            return info.get();
    }
    return nullptr;
}

TTemporaryInfo* TProductList::FindByKeySuffix(std::wstring_view suffix) const {
    // Key texts of uninstall entries carry no trailing "\" while the link gets
    // one: compare both in the form with the separator.
    for (const auto& info : FItems) {
        for (const auto& key : info->FRegistryKeys) {
            std::wstring text = key.Text();
            if (text.empty() || text.back() != L'\\')
                text += L'\\';
            if (EndsWithText(text, suffix))
                return info.get();
        }
    }
    return nullptr;
}

TTemporaryInfo* TProductList::FindByNamePart(std::wstring_view part) const {
    for (const auto& info : FItems) {
        if (info->FDisplayName.find(part) != std::wstring::npos ||
            info->FInternalName.find(part) != std::wstring::npos)
            return info.get();
    }
    return nullptr;
}

std::unique_ptr<TTemporaryInfo> TProductList::Extract(const TTemporaryInfo* info) {
    auto it = std::find_if(FItems.begin(), FItems.end(), [&](const auto& p) { return p.get() == info; });
    if (it == FItems.end())
        return nullptr;
    std::erase_if(FGUIDList, [&](const auto& entry) { return entry.second == info; });
    auto result = std::move(*it);
    FItems.erase(it);
    return result;
}

void TProductList::Clear() {
    FGUIDList.clear();
    FItems.clear();
}

bool TProductList::Contains(const TTemporaryInfo* info) const {
    return std::any_of(FItems.begin(), FItems.end(), [&](const auto& p) { return p.get() == info; });
}

std::wstring ExtractKBNumber(std::wstring_view path) {
    while (!path.empty() && path.back() == L'\\')
        path.remove_suffix(1);
    size_t slash = path.rfind(L'\\');
    std::wstring name(slash == std::wstring_view::npos ? path : path.substr(slash + 1));
    if (StartsWithText(name, L"KB"))
        name = RemoveAllText(name, L"KB");
    if (StartsWithText(name, L"Q"))
        name = RemoveAllText(name, L"Q");
    auto end = std::find_if(name.begin(), name.end(), [](wchar_t c) { return !IsDigit(c); });
    name.erase(end, name.end());
    return name;
}

std::wstring ARPLinkSuffix(std::wstring_view link) {
    std::wstring suffix(link);
    suffix += L'\\';
    return suffix;
}

TTemporaryInfo* MoveToUpdates(TProductList& programs, TProductList& updates, const TTemporaryInfo* program) {
    TTemporaryInfo* moved = updates.Add(program->Clone());
    programs.Remove(program);
    return moved;
}

TTemporaryInfo* FindByARPLink(TProductList& programs, TProductList& updates, std::wstring_view link) {
    std::wstring suffix = ARPLinkSuffix(link);
    if (TTemporaryInfo* info = updates.FindByKeySuffix(suffix))
        return info;
    if (TTemporaryInfo* info = programs.FindByKeySuffix(suffix))
        return MoveToUpdates(programs, updates, info);
    return nullptr;
}

TTemporaryInfo* FindByKBNumber(TProductList& programs, TProductList& updates, std::wstring_view keyPath) {
    std::wstring kb = ExtractKBNumber(keyPath);
    if (kb.size() < 4)
        return nullptr;
    if (TTemporaryInfo* info = updates.FindByNamePart(kb))
        return info;
    if (TTemporaryInfo* info = programs.FindByNamePart(kb))
        return MoveToUpdates(programs, updates, info);
    return nullptr;
}

void MergeUpdates(TProductList& programs, TProductList& updates) {
    for (size_t u = 0; u < updates.Count(); ++u) {
        TTemporaryInfo& update = updates[u];
        for (size_t p = 0; p < programs.Count(); ++p) {
            TTemporaryInfo& program = programs[p];
            if (SameText(program.FDisplayName, update.FDisplayName) &&
                SameText(program.FGUID, update.FGUID)) {
                update.AddKeys(program);
                programs.Remove(&program);
                break;
            }
        }
    }
}

} // namespace velmora
