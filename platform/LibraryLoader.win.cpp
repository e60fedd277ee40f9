#include "platform/LibraryLoader.h"

#include "platform/Handles.h"
#include "platform/Module.h"
#include "platform/Text.h"

#include <map>
#include <mutex>
#include <string>

namespace velmora {

namespace {

std::mutex LoadedLock;
// Upper-cased file name to module; entries are never removed.
std::map<std::wstring, HMODULE>& Loaded() {
    static auto* loaded = new std::map<std::wstring, HMODULE>();
    return *loaded;
}

} // namespace

HMODULE DllRoutines::Load(std::wstring_view dllName) {
    if (dllName.empty())
        return nullptr;
    std::wstring key = UpperCase(dllName);
    std::lock_guard lock(LoadedLock);
    auto found = Loaded().find(key);
    if (found != Loaded().end())
        return found->second;
    // A failed load is not remembered: the file may be installed later.
    std::wstring path = ThisModuleFolder() + std::wstring(dllName);
    HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (module)
        Loaded().emplace(std::move(key), module);
    return module;
}

bool DllRoutines::GetInstance(std::wstring_view dllName, REFIID iid, void** out) {
    if (!out)
        return false;
    *out = nullptr;
    HMODULE module = Load(dllName);
    if (!module)
        return false;
    using TDllGetInstance = HRESULT(WINAPI*)(REFIID, void**);
    auto getInstance = ModuleFunction<TDllGetInstance>(module, "DllGetInstance");
    if (!getInstance)
        return false;
    void* instance = nullptr;
    if (FAILED(getInstance(iid, &instance)) || !instance)
        return false;
    *out = instance;
    return true;
}

bool RegisterLibrary(const std::wstring& path, bool doRegister) {
    unique_hmodule module(LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    using TRegisterServer = HRESULT(WINAPI*)();
    auto call = ModuleFunction<TRegisterServer>(module.get(),
                                                doRegister ? "DllRegisterServer" : "DllUnregisterServer");
    return call && SUCCEEDED(call());
}

} // namespace velmora
