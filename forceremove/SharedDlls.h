#pragma once
// The system's shared-DLL counters: a file that other programs still use
// (count 2 or more) stays; after the removal every shared DLL the scan met
// has its count lowered by one, and its value removed when no other
// program is left. Both changes go through the remove strategy.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace velmora {

class IRemoveStrategy;

// What the system's shared-DLL list says: each value name is a file path,
// each value its reference count.
class TSharedDllCounts {
public:
    virtual ~TSharedDllCounts() = default;
    virtual std::vector<std::wstring> Paths() const = 0;
    // Nothing when the value is missing or not a number.
    virtual std::optional<int64_t> Count(const std::wstring& path) const = 0;
};

// The list of HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\SharedDLLs,
// read in the 64-bit view (Windows only).
std::unique_ptr<TSharedDllCounts> SystemSharedDllCounts();

class TFRSharedDlls {
public:
    // The key of the list below HKEY_LOCAL_MACHINE.
    static constexpr std::wstring_view KeyPath = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

    // Reads the list's paths at once.
    explicit TFRSharedDlls(std::unique_ptr<TSharedDllCounts> counts);

    // Forgets what was met and reads the list's paths anew.
    void Reset();
    // True for a file the list does not name. A listed one is remembered
    // and may go only when no other program holds it (count below 2; a
    // missing or unreadable count counts as -1).
    bool CanDelete(std::wstring_view path);
    // Lowers the count of every remembered path, reading it anew: below 2
    // its value is removed, otherwise it is written back less one. A
    // failure is logged and the next path follows.
    void Recalculate(IRemoveStrategy& strategy);

private:
    int64_t CountOf(const std::wstring& path) const;

    std::unique_ptr<TSharedDllCounts> FCounts;
    std::unordered_set<std::wstring> FList; // upper-cased paths
    std::vector<std::wstring> FSelected;
};

} // namespace velmora
