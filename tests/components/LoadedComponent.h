#pragma once
// What the component tests share: a component DLL loaded from the bin folder
// beside the test, as the library loads it, with its exports.
#include "platform/ComObject.h"
#include "platform/ComText.h"
#include "platform/Handles.h"
#include "platform/Module.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
#include "tests/TestBase.h"

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

// The text of a string the component handed out, which is freed.
inline std::wstring TakeText(BSTR text) {
    unique_bstr owner(text);
    return BstrText(text);
}

} // namespace velmora
