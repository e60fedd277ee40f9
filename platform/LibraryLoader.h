#pragma once
// The suite's sibling libraries, loaded from the folder of this module and
// asked for interfaces through their export DllGetInstance.
#include <windows.h>

#include <string>
#include <string_view>

namespace velmora {

class DllRoutines {
public:
    // Loads the library once per process (LOAD_WITH_ALTERED_SEARCH_PATH, so
    // its own dependencies come from its folder first) and calls its
    // DllGetInstance. False with *out == nullptr when the file, the export or
    // the interface is missing. A loaded library is never unloaded: the
    // interfaces it hands out may outlive any owner of ours.
    static bool GetInstance(std::wstring_view dllName, REFIID iid, void** out);
    // The loaded library, or nullptr when it cannot be loaded.
    static HMODULE Load(std::wstring_view dllName);
};

// Registers a COM server library for this machine through its
// DllRegisterServer (or removes it through DllUnregisterServer), loading it
// only for the call. False when the file, the export or the call fails.
bool RegisterLibrary(const std::wstring& path, bool doRegister);

} // namespace velmora
