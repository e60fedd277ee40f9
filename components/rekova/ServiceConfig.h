#pragma once
// A service's configuration as the service manager reports it, saved as
// UTF-8 "Field: value" lines, and given back to the manager.
#include <windows.h>
#include <winsvc.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::rekova {

struct TServiceConfig {
    std::wstring Name;
    std::wstring DisplayName;
    DWORD ServiceType = 0;
    DWORD StartType = 0;
    DWORD ErrorControl = 0;
    std::wstring BinaryPath;
    std::wstring LoadOrderGroup;
    DWORD TagId = 0;
    std::vector<std::wstring> Dependencies;
    std::wstring StartName;
    std::wstring Description;
};

// The registry key the manager keeps the service in (below HKEY_LOCAL_MACHINE).
std::wstring ServiceKeyPath(std::wstring_view name);
// The key name of a service handle (asked by display name); empty when unknown.
std::wstring ServiceNameOf(SC_HANDLE service);
// Nothing (last error set) when the manager does not answer.
std::optional<TServiceConfig> ReadServiceConfig(SC_HANDLE service, std::wstring_view name);
std::string FormatServiceConfig(const TServiceConfig& config);
std::optional<TServiceConfig> ParseServiceConfig(std::string_view text);
// Gives an existing service the configuration, or creates it so (the
// password cannot be given back: an account other than the system's needs
// it set again). False (last error set) when the manager refused.
bool ApplyServiceConfig(const TServiceConfig& config);
// False (last error set) when the service exists and could not be deleted.
bool DeleteServiceNamed(std::wstring_view name);

} // namespace velmora::rekova
