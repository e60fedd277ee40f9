#pragma once
// Shell shortcuts for tests, written through the shell's link object.
#include "platform/ComObject.h"
#include "tests/TestBase.h"

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

namespace velmora::testing {

// Writes linkFile (its folder created) pointing to target; fails the test
// when the shell refuses.
inline void WriteShortcut(const std::filesystem::path& linkFile, const std::filesystem::path& target) {
    std::filesystem::create_directories(linkFile.parent_path());
    TComApartmentGuard com;
    TComPtr<IShellLinkW> link;
    ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                              reinterpret_cast<void**>(link.put())));
    ASSERT_HRESULT_SUCCEEDED(link->SetPath(target.c_str()));
    TComPtr<IPersistFile> file;
    ASSERT_HRESULT_SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.put())));
    ASSERT_HRESULT_SUCCEEDED(file->Save(linkFile.c_str(), TRUE));
}

} // namespace velmora::testing
