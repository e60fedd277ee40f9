#pragma once
// What a program owns on the machine, byte for byte: files (with their
// content and attributes), folders (with their attributes), links, registry values and service
// configurations, keyed by a readable name, so that two snapshots compare entry by entry.
#include "platform/RegistryKeyText.h"

#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace velmora::testing {

class TMachineSnapshot {
public:
    // The folder and everything below it; a link is one entry, not entered.
    void AddFolder(const std::wstring& folder);
    // One file's content, or its absence.
    void AddFile(const std::wstring& path);
    // Every value of the key and of its subkeys, or the key's absence.
    void AddKey(TRegRoot root, const std::wstring& path, TRegView view);
    // One value, or its absence.
    void AddValue(TRegRoot root, const std::wstring& path, const std::wstring& name, TRegView view);
    // Every value of the key except those named.
    void AddValuesExcept(TRegRoot root, const std::wstring& path, TRegView view,
                         const std::vector<std::wstring>& except);
    // The service's configuration as the service manager reports it, or its absence.
    void AddService(const std::wstring& name);

    // The entries that differ, one line each ("changed", "gone" or "new").
    std::vector<std::string> DifferencesTo(const TMachineSnapshot& later) const;

private:
    std::map<std::wstring, std::string> FEntries;
};

} // namespace velmora::testing
