#pragma once
// Program A of two programs of one vendor, registered as an installer would
// register it, besides its folders: an uninstall entry, a service, a
// shared-DLL count, vendor keys of both roots holding values of every common
// type, an autorun value, a class with its ProgID, and an open-with value on
// an extension another program owns. Removed afterwards.
#include "MachineSnapshot.h"
#include "VendorMachine.h"

#include <string>

namespace velmora::testing {

class TRegisteredProgram {
public:
    TRegisteredProgram();
    ~TRegisteredProgram();
    TRegisteredProgram(const TRegisteredProgram&) = delete;
    TRegisteredProgram& operator=(const TRegisteredProgram&) = delete;

    // Every place the installation touched, and B's folder, as they are now.
    TMachineSnapshot Snapshot() const;

    TTwoPrograms Programs;
    const TUninstallEntry Entry;
    const TTestService Service;
    const TSharedDllCount SharedDll;
    const std::wstring VendorKey; // Software\<vendor>, in both roots
    const std::wstring RunValue;  // a value of the user's Run key
    const std::wstring ClassId, ProgId, Extension, OtherProgId;
};

inline constexpr wchar_t RunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr wchar_t ServicesKey[] = L"SYSTEM\\CurrentControlSet\\Services\\";

} // namespace velmora::testing
