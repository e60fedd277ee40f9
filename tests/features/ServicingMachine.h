#pragma once
// A servicing machine laid out in the running prefix for the feature tests:
// package manifests in %WINDIR%\servicing\Packages, their registry data under
// HKLM\...\Component Based Servicing (64-bit view), and the servicing tool
// doubles (targets Dism_double and PkgMgr_double, copied from the test's
// folder) in the system folder. Clear() and the destructor remove it all.
#include "platform/Handles.h"

#include <windows.h>

#include <map>
#include <optional>
#include <utility>
#include <string>
#include <vector>

namespace velmora::testing {

// One "update" element of a manifest.
struct TServicingUpdate {
    std::wstring Name;
    std::wstring DisplayName;
    std::wstring Description;
    // The parent update's name; empty for none.
    std::wstring Parent;
    // The parent is named by applicable/detectUpdate/update (true) or by
    // applicable/detectUpdate/parent (false).
    bool ParentViaUpdate = true;
    // selectable/detectNone's "default"; nothing leaves the element out.
    std::optional<bool> DefaultEnabled;
};

struct TServicingPackage {
    // The parts of the package key Name~PublicKeyToken~Architecture~Locale~Version.
    std::wstring Name;
    std::wstring PublicKeyToken = L"0123456789abcdef";
    std::wstring Architecture = L"amd64";
    std::wstring Locale; // empty for a language-neutral package
    std::wstring Version = L"6.1.7601.17514";
    std::wstring ReleaseType = L"Feature Pack"; // empty: no "releaseType"
    // package's "identifier"; empty: the package name.
    std::wstring Identifier;
    // package's "permanence"; empty leaves it out.
    std::wstring Permanence;
    // assembly's "displayName"; nothing leaves it out.
    std::optional<std::wstring> DisplayName;
    std::vector<TServicingUpdate> Updates;
    // Names of the packages that updates of this one contain
    // (update/package/assemblyIdentity).
    std::vector<std::wstring> ContainedPackages;

    // The values of the package's Updates key: update name -> state
    // (1 enabled, 0 disabled, 6 enable pending, 5 disable pending).
    std::map<std::wstring, DWORD> States;
    // The package key's values; those left empty (or without a time) are
    // not written.
    std::wstring InstallClient;
    std::wstring InstallLocation;
    std::optional<FILETIME> InstallTime; // InstallTimeHigh and InstallTimeLow
    std::wstring InstallUser;            // a security identifier ("S-1-5-18")
    // The servicing state ("CurrentState"; 0x70 installed) and the Owners
    // key's values (owner package key -> state); nothing leaves them out.
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

    // The package's "CurrentState"; nothing when it has none.
    static std::optional<DWORD> PackageState(const std::wstring& packageKey);

    // The state value of the update in the first package that has one,
    // language-neutral packages first (as the doubles write it).
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
