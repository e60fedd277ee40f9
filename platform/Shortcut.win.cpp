#include "platform/Shortcut.h"

#include "platform/ComObject.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <iterator>

namespace velmora {

TLnkFileInfo::TLnkFileInfo(std::wstring_view linkFile) {
    // COM for the duration of one read.
    TComApartmentGuard com;
    TComPtr<IShellLinkW> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(link.put()))))
        return;
    TComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.put()))))
        return;
    std::wstring name(linkFile);
    if (FAILED(file->Load(name.c_str(), STGM_READ)))
        return;

    wchar_t buffer[2 * MAX_PATH] = {};
    // No resolution: it may search the disks or ask the user.
    if (SUCCEEDED(link->GetPath(buffer, MAX_PATH, nullptr, SLGP_RAWPATH)))
        FTargetPath = buffer;
    buffer[0] = 0;
    if (SUCCEEDED(link->GetPath(buffer, static_cast<int>(std::size(buffer)), nullptr, 0)))
        FExpandedTargetPath = buffer;
    buffer[0] = 0;
    int index = 0;
    if (SUCCEEDED(link->GetIconLocation(buffer, MAX_PATH, &index))) {
        FIconLocation = buffer;
        FIconIndex = FIconLocation.empty() ? 0 : index;
    }
}

} // namespace velmora
