#pragma once
// The module (DLL or executable) that this code was linked into, modules
// already loaded, and the functions they export.
#include <windows.h>

#include <string>
#include <type_traits>

namespace velmora {

HMODULE ThisModule();
std::wstring ModuleFileName(HMODULE module);
std::wstring ThisModuleFileName();
// Folder of this module with a trailing backslash.
std::wstring ThisModuleFolder();
// File name of the host executable of the process.
std::wstring HostExecutableFileName();

// A module this process has already loaded ("kernel32.dll"), without loading
// it or counting a reference; nullptr when it is not loaded.
HMODULE LoadedModule(const wchar_t* name);

// The address of a function the module exports; nullptr for a null module or
// a name it does not export. Untyped: use ModuleFunction.
void* ModuleExport(HMODULE module, const char* name);

// A function the module exports, as the function pointer type the caller
// declares: ModuleFunction<int(WINAPI*)(LPCWSTR)>(module, "Name"). A function
// that a later Windows added is looked up so, never imported.
template <class Fn> Fn ModuleFunction(HMODULE module, const char* name) {
    static_assert(std::is_pointer_v<Fn> && std::is_function_v<std::remove_pointer_t<Fn>>,
                  "a function pointer type");
    return reinterpret_cast<Fn>(ModuleExport(module, name));
}
template <class Fn> Fn ModuleFunction(const wchar_t* loadedModule, const char* name) {
    return ModuleFunction<Fn>(LoadedModule(loadedModule), name);
}

} // namespace velmora
