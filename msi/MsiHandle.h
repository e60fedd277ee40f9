#pragma once
// Owner of an installer handle (MSIHANDLE), closed with MsiCloseHandle. Windows
// wants it closed on the thread that created it: the engine keeps its owners
// on its installer thread (InstallerThread.h).
#include "platform/Handles.h"

#include <msi.h>
#include <msiquery.h>

namespace velmora {

namespace traits {
inline void CloseMsiHandle(MSIHANDLE h) noexcept {
    MsiCloseHandle(h);
}
} // namespace traits

using unique_msihandle = TUniqueHandle<traits::Handle<MSIHANDLE, traits::CloseMsiHandle>>;

} // namespace velmora
