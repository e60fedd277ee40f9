#pragma once
// VelmoraHelper.dll as a front end sees it: loaded from the folder of this
// program and reached only through its exports.
#include "api/Interfaces.Velmora.h"
#include "platform/ComObject.h"
#include "platform/Handles.h"

#include <shlwapi.h>

#include <string>

namespace velmora::cli {

class TVelmoraLibrary {
public:
    // Loads the library; Loaded() tells whether that worked and Error() why not.
    TVelmoraLibrary();
    // Unloads the library once it says it can be (its threads may still be
    // finishing); a library that does not say so within a few seconds stays
    // loaded until the process ends.
    ~TVelmoraLibrary();
    TVelmoraLibrary(const TVelmoraLibrary&) = delete;
    TVelmoraLibrary& operator=(const TVelmoraLibrary&) = delete;
    bool Loaded() const { return static_cast<bool>(FModule); }
    const std::wstring& Error() const { return FError; }
    const std::wstring& Path() const { return FPath; }

    // A new root object, or an empty pointer (Error() says why).
    TComPtr<IVelmora> CreateRoot();
    // "major.minor.build.revision" from DllGetVersion, empty on failure.
    std::wstring Version();
    // S_OK when no object of the library is alive.
    HRESULT CanUnloadNow();

private:
    std::wstring FPath;
    std::wstring FError;
    unique_hmodule FModule;
};

} // namespace velmora::cli
