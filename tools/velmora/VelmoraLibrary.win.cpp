#include "tools/velmora/VelmoraLibrary.h"

#include "platform/Format.h"
#include "platform/Module.h"
#include "platform/OSError.h"

namespace velmora::cli {

namespace {
using TDllGetVersion = HRESULT(WINAPI*)(DLLVERSIONINFO2*);
} // namespace

TVelmoraLibrary::TVelmoraLibrary() : FPath(ThisModuleFolder() + L"VelmoraHelper.dll") {
    FModule.reset(LoadLibraryExW(FPath.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (!FModule)
        FError = Format(L"Cannot load %s: %s", FPath, SystemErrorMessage(GetLastError()));
}

TVelmoraLibrary::~TVelmoraLibrary() {
    if (!FModule)
        return;
    for (ULONGLONG deadline = GetTickCount64() + 5000; CanUnloadNow() != S_OK;) {
        if (GetTickCount64() > deadline) {
            FModule.release();
            return;
        }
        Sleep(10);
    }
}

TComPtr<IVelmora> TVelmoraLibrary::CreateRoot() {
    TComPtr<IVelmora> root;
    auto getInstance = ModuleFunction<TDllGetInstance>(FModule.get(), "DllGetInstance");
    if (!getInstance) {
        FError = L"VelmoraHelper.dll does not export DllGetInstance.";
        return root;
    }
    HRESULT hr = getInstance(__uuidof(IVelmora), reinterpret_cast<void**>(root.put()));
    if (FAILED(hr) || !root) {
        FError = Format(L"DllGetInstance failed: %s", SystemErrorMessage(static_cast<DWORD>(hr)));
        root.reset();
    }
    return root;
}

std::wstring TVelmoraLibrary::Version() {
    auto getVersion = ModuleFunction<TDllGetVersion>(FModule.get(), "DllGetVersion");
    DLLVERSIONINFO2 info{};
    info.info1.cbSize = sizeof info;
    if (!getVersion || FAILED(getVersion(&info)))
        return {};
    auto part = [&](int shift) { return static_cast<unsigned>((info.ullVersion >> shift) & 0xFFFF); };
    return Format(L"%d.%d.%d.%d", part(48), part(32), part(16), part(0));
}

HRESULT TVelmoraLibrary::CanUnloadNow() {
    auto canUnload = ModuleFunction<TDllCanUnloadNow>(FModule.get(), "DllCanUnloadNow");
    return canUnload ? canUnload() : E_FAIL;
}

} // namespace velmora::cli
