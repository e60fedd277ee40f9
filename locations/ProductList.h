#pragma once
// The keyed lists of the registry uninstall location: the temporary records
// of one read, merged while the registry is scanned, before they are
// published. Portable: plain values only.
#include "inventory/TemporaryInfo.h"

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// Ordinal case-insensitive order, for the product-code indices.
struct TTextLess {
    bool operator()(std::wstring_view a, std::wstring_view b) const;
    using is_transparent = void;
};

// An owning list of records with an index from product code to record. The
// first record mapped to a code keeps it; several codes may map to one record.
class TProductList {
public:
    TTemporaryInfo* Add(std::unique_ptr<TTemporaryInfo> info);
    void Map(const std::wstring& guid, TTemporaryInfo* info);
    TTemporaryInfo* GetInfoByGUID(std::wstring_view guid) const;
    // By code through the index, else (for a name) the first record whose
    // display name or internal name equals it.
    TTemporaryInfo* Find(std::wstring_view guid, std::wstring_view name) const;
    // The first record with a key whose text ends with suffix (case-insensitive).
    TTemporaryInfo* FindByKeySuffix(std::wstring_view suffix) const;
    // The first record whose display or internal name contains part (case-sensitive).
    TTemporaryInfo* FindByNamePart(std::wstring_view part) const;

    // Takes the record out of the list together with its codes in the index.
    std::unique_ptr<TTemporaryInfo> Extract(const TTemporaryInfo* info);
    void Remove(const TTemporaryInfo* info) { Extract(info); }
    void Clear();

    size_t Count() const { return FItems.size(); }
    bool Empty() const { return FItems.empty(); }
    TTemporaryInfo& operator[](size_t index) const { return *FItems[index]; }
    bool Contains(const TTemporaryInfo* info) const;

private:
    std::vector<std::unique_ptr<TTemporaryInfo>> FItems;
    std::map<std::wstring, TTemporaryInfo*, TTextLess> FGUIDList;
};

// The knowledge-base number named by the last component of an update key
// path: "KB" and "Q" prefixes removed, cut before the first non-digit.
std::wstring ExtractKBNumber(std::wstring_view path);

// An "ARPLink" value as the suffix it is matched with: a trailing "\" added.
std::wstring ARPLinkSuffix(std::wstring_view link);
// The record of updates, else of programs, with a key matching the link;
// a program record found is moved to the updates (as a copy, appended).
TTemporaryInfo* FindByARPLink(TProductList& programs, TProductList& updates, std::wstring_view link);
// The record whose names contain the key's knowledge-base number (at least 4
// digits), updates first, moved from the programs as FindByARPLink does.
TTemporaryInfo* FindByKBNumber(TProductList& programs, TProductList& updates, std::wstring_view keyPath);
// Moves a program record to the end of the updates; answers the new record.
TTemporaryInfo* MoveToUpdates(TProductList& programs, TProductList& updates, const TTemporaryInfo* program);

// Every update absorbs the first program with the same display name and
// product code (both case-insensitive): its keys join the update's and the
// program record goes.
void MergeUpdates(TProductList& programs, TProductList& updates);

} // namespace velmora
