#pragma once
// The shortcuts into the program that a forced removal reports.
#include "forceremove/Leftovers.h"

#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

namespace velmora {

class TFRShortcutList {
public:
    // Adds a shortcut for a file entry of the file list unless one with the
    // same path (exact text) is listed. True when added.
    bool Add(TFRFile& file, std::wstring target);

    // Raises std::out_of_range for an index outside the list.
    TFRShortcut& GetItem(size_t index) const { return *FList.at(index); }
    size_t Count() const { return FList.size(); }
    void Clear();

private:
    std::vector<std::unique_ptr<TFRShortcut>> FList;
    std::unordered_set<std::wstring> FHash;
};

} // namespace velmora
