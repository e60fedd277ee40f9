#pragma once
// Loads VelmoraHelper.dll from the test's own folder, as a front end does.
#include "frame/Interfaces.Velmora.h"
#include "platform/ComObject.h"
#include "platform/Handles.h"
#include "platform/Module.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

namespace velmora::testing {

class TLoadedLibrary {
public:
    TLoadedLibrary() {
        FModule.reset(LoadLibraryExW((ThisModuleFolder() + L"VelmoraHelper.dll").c_str(), nullptr,
                                     LOAD_WITH_ALTERED_SEARCH_PATH));
    }
    HMODULE Module() const { return FModule.get(); }
    HRESULT GetInstance(REFIID iid, void** out) const {
        return Export<TDllGetInstance>("DllGetInstance")(iid, out);
    }
    HRESULT CanUnloadNow() const { return Export<TDllCanUnloadNow>("DllCanUnloadNow")(); }
    TComPtr<IVelmora> NewRoot() const {
        TComPtr<IVelmora> root;
        EXPECT_EQ(GetInstance(__uuidof(IVelmora), reinterpret_cast<void**>(root.put())), S_OK);
        return root;
    }
    template <class Fn> Fn Export(const char* name) const {
        auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(FModule.get(), name)));
        if (!fn)
            throw std::runtime_error(std::string("missing export ") + name);
        return fn;
    }

private:
    unique_hmodule FModule;
};

// Polls a condition every 10 ms until it holds or the timeout passes.
inline bool WaitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds timeout = std::chrono::seconds(30)) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

} // namespace velmora::testing
