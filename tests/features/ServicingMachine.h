#pragma once
// A servicing machine in the prefix: manifests in %WINDIR%\servicing\Packages,
// registry data under HKLM\...\Component Based Servicing (64-bit view) and the
// tool doubles in the system folder; Clear() and the destructor remove it all.
#include "platform/Handles.h"

#include <windows.h>

#include <map>
#include <optional>
#include <utility>
#include <string>
#include <vector>

namespace velmora::testing {

// One "update" element of a manifest. The parent (empty: none) is named by
// applicable/detectUpdate/update or, without ParentViaUpdate, .../parent;
// DefaultEnabled is selectable/detectNone's "default" (nothing: left out).
struct TServicingUpdate {
    std::wstring Name, DisplayName, Description, Parent;
    bool ParentViaUpdate = true;
    std::optional<bool> DefaultEnabled;
};

// A package: the parts of its key Name~PublicKeyToken~Architecture~Locale~Version
// (an empty locale: language-neutral), its manifest's attributes (empty or
// nothing: left out; an empty identifier is the name), its updates and the
// packages its updates contain; its registry data: Updates' states (1 enabled,
// 0 disabled, 6 enable pending, 5 disable pending), the key's values (empty or
// nothing: not written), CurrentState (0x70 installed) and the Owners key's
// values (owner package key -> state).
struct TServicingPackage {
    std::wstring Name, PublicKeyToken = L"0123456789abcdef", Architecture = L"amd64", Locale,
                       Version = L"6.1.7601.17514";
    std::wstring ReleaseType = L"Feature Pack", Identifier, Permanence;
    std::optional<std::wstring> DisplayName;
    std::vector<TServicingUpdate> Updates;
    std::vector<std::wstring> ContainedPackages;

    std::map<std::wstring, DWORD> States;
    std::wstring InstallClient, InstallLocation;
    std::optional<FILETIME> InstallTime; // InstallTimeHigh and InstallTimeLow
    std::wstring InstallUser;            // a security identifier ("S-1-5-18")
    std::optional<DWORD> CurrentState;
    std::optional<std::map<std::wstring, DWORD>> Owners;

    std::wstring Key() const;
};

// Held, it makes the servicing tool doubles answer 183: another operation runs.
unique_handle HoldServicingLock();

class TServicingMachine {
public:
    TServicingMachine() = default;
    ~TServicingMachine() { Clear(); }
    TServicingMachine(const TServicingMachine&) = delete;
    TServicingMachine& operator=(const TServicingMachine&) = delete;

    // Writes the package's manifest and registry data; returns its key.
    std::wstring AddPackage(const TServicingPackage& package);
    // Copies DISM.exe and PkgMgr.exe from this test's folder into the system
    // folder (keeping a file of that name that was there) and has Wine load
    // them instead of its own programs of those names.
    void InstallDoubles();
    // Removes every manifest, key and double added, and the servicing keys
    // and folders this machine created.
    void Clear();

    // The state value of the update in the first package that has one.
    std::optional<DWORD> UpdateState(const std::wstring& updateName) const;

private:
    static std::wstring PackagesFolder();
    static std::wstring ManifestPath(const std::wstring& packageKey);
    void RememberCreatedRoots();

    std::vector<std::wstring> FPackages;
    // The doubles' paths, each with whether a file it replaced was kept aside.
    std::vector<std::pair<std::wstring, bool>> FDoubles;
    std::vector<std::wstring> FOverrides;
    std::vector<std::wstring> FCreatedFolders;
    bool FCreatedServicingKey = false;
    bool FRootsChecked = false;
};

} // namespace velmora::testing
