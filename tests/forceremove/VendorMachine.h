#pragma once
// The machine of the end-to-end forced removal, laid into the test prefix's
// real system folders and registry and removed afterwards: the two programs
// of one vendor (TTwoPrograms) registered as installed, with what their
// installations left besides their folders.
#include "TwoPrograms.h"
#include "WindowsTestKit.h"

#include <optional>
#include <string>

namespace velmora::testing {

inline constexpr wchar_t UninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
inline constexpr wchar_t SharedDllsKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

// An uninstall entry (64-bit view of HKEY_LOCAL_MACHINE, the display name as
// its key name) whose uninstaller is missing; deleted afterwards. It records
// a size, so that the inventory does not measure the folder and write one back.
class TUninstallEntry {
public:
    TUninstallEntry(const std::wstring& displayName, const std::wstring& installLocation,
                    const std::wstring& publisher);
    ~TUninstallEntry();
    TUninstallEntry(const TUninstallEntry&) = delete;
    TUninstallEntry& operator=(const TUninstallEntry&) = delete;

    bool Exists() const;
    const std::wstring KeyPath; // below HKEY_LOCAL_MACHINE
};

// A value of the system's shared-DLL list (64-bit view); deleted afterwards.
class TSharedDllCount {
public:
    TSharedDllCount(std::wstring path, DWORD count);
    ~TSharedDllCount();
    TSharedDllCount(const TSharedDllCount&) = delete;
    TSharedDllCount& operator=(const TSharedDllCount&) = delete;

    std::optional<DWORD> Count() const;
    const std::wstring Path;
};

// Both programs with an uninstall entry each, their shortcuts in one vendor
// folder of the common Programs menu and on the user's and the all-users
// desktop, a service each whose program lies in its folder, and shared DLLs:
// in A's folder one that another program holds too (count 2, its path
// recorded in upper case, as installers write paths in their own letter
// case) and one only A holds (count 1), in B's one of B's (count 1). A
// program is running from A's folder.
class TVendorMachine {
public:
    TVendorMachine();
    ~TVendorMachine();
    TVendorMachine(const TVendorMachine&) = delete;
    TVendorMachine& operator=(const TVendorMachine&) = delete;

    TTwoPrograms Programs;
    const TUninstallEntry EntryA, EntryB;
    const std::wstring MenuFolder, MenuA, MenuB, DesktopA, DesktopB, PublicDesktopA, PublicDesktopB;
    const TTestService ServiceA, ServiceB;
    const TSharedDllCount SharedTwiceA, SharedOnceA, SharedOnceB;
    const TWaitingProgram ProcessA;
};

} // namespace velmora::testing
