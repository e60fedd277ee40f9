#include "forceremove/ServiceManager.h"

#include "platform/OSError.h"

#include <cstdint>
#include <vector>

namespace velmora {

namespace {

constexpr DWORD EnumBufferSize = 147492;

} // namespace

TService::TService(SC_HANDLE manager, std::wstring name, std::wstring displayName)
    : FSCHandle(manager), FName(std::move(name)), FDisplayName(std::move(displayName)), FPath(ReadPath()) {}

// A service whose configuration cannot be read keeps an empty path, so that
// it is never taken for the program's.
std::wstring TService::ReadPath() const {
    unique_schandle service(OpenServiceW(FSCHandle, FName.c_str(), SERVICE_ALL_ACCESS));
    if (!service)
        return {};
    DWORD needed = 0;
    QueryServiceConfigW(service.get(), nullptr, 0, &needed);
    if (needed == 0)
        return {};
    std::vector<uint8_t> buffer(needed);
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    if (!QueryServiceConfigW(service.get(), config, needed, &needed) || !config->lpBinaryPathName)
        return {};
    return config->lpBinaryPathName;
}

TSvcManager::TSvcManager()
    : FHandle(OpenSCManagerW(nullptr, SERVICES_ACTIVE_DATABASEW, SC_MANAGER_ALL_ACCESS)) {
    CheckOS(static_cast<bool>(FHandle), L"Unable to open service manager");
}

void TSvcManager::Update() {
    FServices.clear();
    // ENUM_SERVICE_STATUSW holds pointers: the buffer keeps their alignment.
    std::vector<uint64_t> buffer(EnumBufferSize / sizeof(uint64_t) + 1);
    DWORD resume = 0;
    for (;;) {
        DWORD needed = 0;
        DWORD returned = 0;
        BOOL done = EnumServicesStatusW(FHandle.get(), SERVICE_WIN32, SERVICE_STATE_ALL,
                                        reinterpret_cast<ENUM_SERVICE_STATUSW*>(buffer.data()),
                                        EnumBufferSize, &needed, &returned, &resume);
        DWORD error = done ? ERROR_SUCCESS : GetLastError();
        if (!done && error != ERROR_MORE_DATA)
            throw EOSError(L"Unable to list services", error);
        const auto* services = reinterpret_cast<const ENUM_SERVICE_STATUSW*>(buffer.data());
        for (DWORD i = 0; i < returned; ++i)
            FServices.push_back(
                std::make_unique<TService>(FHandle.get(), services[i].lpServiceName,
                                           services[i].lpDisplayName ? services[i].lpDisplayName : L""));
        if (error != ERROR_MORE_DATA)
            break;
    }
}

} // namespace velmora
