#include "platform/Module.h"

namespace velmora {

HMODULE ThisModule() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ThisModule), &module);
    return module;
}

std::wstring ModuleFileName(HMODULE module) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0)
            return {};
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::wstring ThisModuleFileName() {
    return ModuleFileName(ThisModule());
}

std::wstring ThisModuleFolder() {
    std::wstring path = ThisModuleFileName();
    return path.substr(0, path.find_last_of(L"\\/") + 1);
}

std::wstring HostExecutableFileName() {
    return ModuleFileName(nullptr);
}

HMODULE LoadedModule(const wchar_t* name) {
    return GetModuleHandleW(name);
}

void* ModuleExport(HMODULE module, const char* name) {
    // Null is what a failed load answers, not a module to search.
    return module ? reinterpret_cast<void*>(GetProcAddress(module, name)) : nullptr;
}

} // namespace velmora
