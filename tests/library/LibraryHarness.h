#pragma once
// Loads VelmoraHelper.dll from the test's own folder, as a front end does.
#include "api/Interfaces.Velmora.h"
#include "platform/ComObject.h"
#include "platform/Handles.h"
#include "platform/Module.h"
#include "tests/Polling.h"

#include <gtest/gtest.h>

namespace velmora::testing {

class TLoadedLibrary {
public:
    HMODULE Module() const { return FModule.get(); }
    template <class Fn> Fn Export(const char* name) const {
        auto fn = ModuleFunction<Fn>(FModule.get(), name);
        return fn ? fn : throw std::runtime_error(std::string("missing export ") + name);
    }
    HRESULT GetInstance(REFIID iid, void** out) const {
        return Export<TDllGetInstance>("DllGetInstance")(iid, out);
    }
    TComPtr<IVelmora> NewRoot() const {
        TComPtr<IVelmora> root;
        EXPECT_EQ(GetInstance(__uuidof(IVelmora), reinterpret_cast<void**>(root.put())), S_OK);
        return root;
    }

private:
    unique_hmodule FModule{LoadLibraryExW((ThisModuleFolder() + L"VelmoraHelper.dll").c_str(), nullptr,
                                          LOAD_WITH_ALTERED_SEARCH_PATH)};
};

} // namespace velmora::testing
