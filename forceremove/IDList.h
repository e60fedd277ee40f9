#pragma once
// AppIDs or class identifiers found so far, compared without regard to case.
#include <string>
#include <string_view>
#include <unordered_set>

namespace velmora {

class TIDList {
public:
    void Add(std::wstring_view id);
    // False for an empty identifier.
    bool Exists(std::wstring_view id) const;

private:
    std::unordered_set<std::wstring> FStrings; // upper-cased
};

} // namespace velmora
