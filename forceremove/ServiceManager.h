#pragma once
// The Win32 services of the local machine with their configured programs
// (Windows).
#include "platform/Handles.h"

#include <memory>
#include <string>
#include <vector>

namespace velmora {

class TService {
public:
    TService(SC_HANDLE manager, std::wstring name, std::wstring displayName);

    const std::wstring& Name() const { return FName; }
    const std::wstring& DisplayName() const { return FDisplayName; }
    // The configured program as stored (quotes and arguments kept); empty
    // when the configuration cannot be read.
    const std::wstring& Path() const { return FPath; }

private:
    std::wstring ReadPath() const;

    SC_HANDLE FSCHandle; // the manager's, not owned
    std::wstring FName;
    std::wstring FDisplayName;
    std::wstring FPath;
};

class TSvcManager {
public:
    // Opens the service manager; raises EOSError "Unable to open service manager".
    TSvcManager();

    // Reads the list of Win32 services anew; raises EOSError when the
    // manager refuses to list them.
    void Update();
    // Raises std::out_of_range for an index outside the list.
    const TService& GetService(size_t index) const { return *FServices.at(index); }
    size_t Count() const { return FServices.size(); }

private:
    unique_schandle FHandle;
    std::vector<std::unique_ptr<TService>> FServices;
};

} // namespace velmora
