#pragma once
// The module (DLL or executable) that this code was linked into.
#include <windows.h>

#include <string>

namespace velmora {

HMODULE ThisModule();
std::wstring ModuleFileName(HMODULE module);
std::wstring ThisModuleFileName();
// Folder of this module with a trailing backslash.
std::wstring ThisModuleFolder();
// File name of the host executable of the process.
std::wstring HostExecutableFileName();

} // namespace velmora
