#include "msi/MsiShortcut.h"

#include <windows.h>
#include <msi.h>

namespace velmora {

std::wstring AdvertisedShortcutTarget(const std::wstring& linkFile) {
    wchar_t productCode[39] = {};
    wchar_t componentCode[39] = {};
    if (MsiGetShortcutTargetW(linkFile.c_str(), productCode, nullptr, componentCode) != ERROR_SUCCESS)
        return {};
    wchar_t path[MAX_PATH + 1] = {};
    DWORD length = MAX_PATH + 1;
    INSTALLSTATE state = MsiGetComponentPathW(productCode, componentCode, path, &length);
    if (state != INSTALLSTATE_LOCAL && state != INSTALLSTATE_SOURCE)
        return {};
    return path;
}

} // namespace velmora
