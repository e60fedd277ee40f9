// The native build has no registry and no icons: an update there keeps what
// its source gave it.
#include "inventory/ItemUpdate.h"

#include "platform/OSInfoText.h"

namespace velmora {

namespace update_os {

void CreateIconList() {}
void FreeIconList() {}
void FreeUpdateIcon(int32_t) {}

std::wstring RunningWindowsName() {
    return std::wstring(WindowsVersionName(TWindowsVersion::wvUnknown));
}

} // namespace update_os

void TItemUpdate::ReadDetails() {}
void TItemUpdate::DoReadSlowInfo() {}

} // namespace velmora
