#include "forceremove/ShortcutList.h"

namespace velmora {

bool TFRShortcutList::Add(TFRFile& file, std::wstring target) {
    if (!FHash.insert(file.Path()).second)
        return false;
    FList.push_back(std::make_unique<TFRShortcut>(file, std::move(target)));
    return true;
}

void TFRShortcutList::Clear() {
    FList.clear();
    FHash.clear();
}

} // namespace velmora
