#include "forceremove/IDList.h"

#include "platform/Text.h"

namespace velmora {

void TIDList::Add(std::wstring_view id) {
    FStrings.insert(UpperCase(id));
}

bool TIDList::Exists(std::wstring_view id) const {
    return !id.empty() && FStrings.contains(UpperCase(id));
}

} // namespace velmora
