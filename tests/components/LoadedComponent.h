#pragma once
// A component DLL loaded from the bin folder beside the test, as the library
// loads it, with its exports.
#include "platform/Handles.h"
#include "platform/Module.h"

#include <windows.h>

namespace velmora {

struct TLoadedComponent {
    explicit TLoadedComponent(const wchar_t* fileName)
        : Module(LoadLibraryExW((ThisModuleFolder() + fileName).c_str(), nullptr,
                                LOAD_WITH_ALTERED_SEARCH_PATH)) {}

    template <class Fn> Fn Function(const char* name) const { return ModuleFunction<Fn>(Module.get(), name); }
    HRESULT GetInstance(REFIID iid, void** out) const {
        return Function<HRESULT(WINAPI*)(REFIID, void**)>("DllGetInstance")(iid, out);
    }
    HRESULT CanUnloadNow() const { return Function<HRESULT(WINAPI*)()>("DllCanUnloadNow")(); }

    unique_hmodule Module;
};

} // namespace velmora
